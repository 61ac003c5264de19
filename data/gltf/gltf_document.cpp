// The glTF document helpers (buffer views, accessors, images), its JSON and the GLB container.
#include "data/gltf/gltf_document.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace tarkeep::data {
namespace {

constexpr const char* kGenerator = "Tarkeep core gltf (port of dazizore)";

void pad_to_4(std::vector<std::uint8_t>& bytes, std::uint8_t fill) {
    while (bytes.size() % 4 != 0) bytes.push_back(fill);
}

void put_u32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

JsonValue accessor(std::size_t view, int component_type, std::size_t count, std::string_view type) {
    JsonValue out = JsonValue::object();
    out.set("bufferView", view);
    out.set("componentType", component_type);
    out.set("count", count);
    out.set("type", type);
    return out;
}

void set_array_member(JsonValue& out, const char* key, const std::vector<JsonValue>& items) {
    if (items.empty()) return;
    JsonValue array = JsonValue::array();
    for (const JsonValue& item : items) array.push(item);
    out.set(key, std::move(array));
}

}  // namespace

std::size_t add_buffer_view(GltfDocument& doc, std::span<const std::uint8_t> bytes, int target) {
    pad_to_4(doc.bin, 0);
    JsonValue view = JsonValue::object();
    view.set("buffer", 0);
    view.set("byteOffset", doc.bin.size());
    view.set("byteLength", bytes.size());
    if (target != kTargetNone) view.set("target", target);
    doc.buffer_views.push_back(std::move(view));
    doc.bin.insert(doc.bin.end(), bytes.begin(), bytes.end());
    return doc.buffer_views.size() - 1;
}

std::size_t add_float_accessor(GltfDocument& doc, const std::vector<double>& values, std::size_t components,
                               std::string_view type, int target, bool bounds, std::string_view what) {
    const std::size_t count = values.size() / components;
    std::vector<std::uint8_t> bytes(values.size() * 4);
    for (std::size_t i = 0; i < values.size(); ++i) {
        // Judged in float range, not as a double: a value finite as a double can still be
        // infinite once stored (a model scaled far up), and converting it would be undefined.
        if (!(std::fabs(values[i]) <= std::numeric_limits<float>::max())) {
            throw GltfError("non-finite value in " +
                            (what.empty() ? "accessor " + std::to_string(doc.accessors.size()) : std::string(what)));
        }
        const float value = static_cast<float>(values[i]);
        std::memcpy(bytes.data() + i * 4, &value, 4);  // little-endian hosts only
    }
    JsonValue out = accessor(add_buffer_view(doc, bytes, target), kComponentFloat, count, type);
    if (bounds) {
        if (count == 0) throw GltfError("min() of an empty accessor");
        JsonValue min = JsonValue::array(), max = JsonValue::array();
        for (std::size_t c = 0; c < components; ++c) {
            double low = values[c], high = values[c];
            for (std::size_t e = 1; e < count; ++e) {
                low = std::min(low, values[e * components + c]);
                high = std::max(high, values[e * components + c]);
            }
            min.push(low);
            max.push(high);
        }
        out.set("min", std::move(min));
        out.set("max", std::move(max));
    }
    doc.accessors.push_back(std::move(out));
    return doc.accessors.size() - 1;
}

std::size_t add_uint_accessor(GltfDocument& doc, const std::vector<std::uint32_t>& values, std::size_t components,
                              std::string_view type, int component_type, int target) {
    const std::size_t width = component_type == kComponentU8 ? 1 : component_type == kComponentU16 ? 2 : 4;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(values.size() * width);
    for (const std::uint32_t value : values) {
        if (width < 4 && value >= (1u << (8 * width))) throw GltfError("value out of range for the accessor type");
        for (std::size_t b = 0; b < width; ++b) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * b)));
    }
    doc.accessors.push_back(
        accessor(add_buffer_view(doc, bytes, target), component_type, values.size() / components, type));
    return doc.accessors.size() - 1;
}

std::size_t add_png_texture(GltfDocument& doc, std::span<const std::uint8_t> png, std::string_view name) {
    JsonValue image = JsonValue::object();
    image.set("bufferView", add_buffer_view(doc, png, kTargetNone));
    image.set("mimeType", "image/png");
    image.set("name", name);
    doc.images.push_back(std::move(image));
    JsonValue texture = JsonValue::object();
    texture.set("sampler", 0);
    texture.set("source", doc.images.size() - 1);
    doc.textures.push_back(std::move(texture));
    return doc.textures.size() - 1;
}

JsonValue document_json(GltfDocument& doc) {
    JsonValue out = JsonValue::object();
    JsonValue asset = JsonValue::object();
    asset.set("version", "2.0");
    asset.set("generator", kGenerator);
    out.set("asset", std::move(asset));
    out.set("scene", 0);
    JsonValue scene = JsonValue::object();
    scene.set("nodes", JsonValue::array_of(doc.scene_nodes));
    if (doc.scene_extras.kind() == JsonValue::Kind::object && doc.scene_extras.size() != 0) {
        scene.set("extras", doc.scene_extras);
    }
    JsonValue scenes = JsonValue::array();
    scenes.push(std::move(scene));
    out.set("scenes", std::move(scenes));
    set_array_member(out, "nodes", doc.nodes);
    set_array_member(out, "meshes", doc.meshes);
    set_array_member(out, "bufferViews", doc.buffer_views);
    set_array_member(out, "accessors", doc.accessors);
    set_array_member(out, "materials", doc.materials);
    set_array_member(out, "textures", doc.textures);
    set_array_member(out, "images", doc.images);
    JsonValue sampler = JsonValue::object();
    sampler.set("magFilter", 9729);
    sampler.set("minFilter", 9987);
    sampler.set("wrapS", 10497);
    sampler.set("wrapT", 10497);
    JsonValue samplers = JsonValue::array();
    samplers.push(std::move(sampler));
    out.set("samplers", std::move(samplers));
    set_array_member(out, "skins", doc.skins);
    set_array_member(out, "animations", doc.animations);
    pad_to_4(doc.bin, 0);
    JsonValue buffer = JsonValue::object();
    buffer.set("byteLength", doc.bin.size());
    JsonValue buffers = JsonValue::array();
    buffers.push(std::move(buffer));
    out.set("buffers", std::move(buffers));
    return out;
}

std::vector<std::uint8_t> write_glb(GltfDocument& doc) {
    const JsonValue json = document_json(doc);
    if (auto path = find_non_finite(json)) {
        // Name the element by its "name" when it has one: that is what a user recognises.
        std::string where = *path;
        const auto close = where.find(']');
        const JsonValue* top = json.find(where.substr(1, where.find('[') - 1));
        if (top != nullptr && close != std::string::npos) {
            const std::size_t index = std::stoul(where.substr(where.find('[') + 1));
            if (const JsonValue* name = top->items()[index].find("name");
                name != nullptr && name->kind() == JsonValue::Kind::string) {
                where += " (\"" + name->as_string() + "\")";
            }
        }
        throw GltfError("non-finite number in " + where.substr(1));
    }
    std::string text = to_json(json);
    while (text.size() % 4 != 0) text += ' ';
    std::vector<std::uint8_t> out;
    out.reserve(28 + text.size() + doc.bin.size());
    put_u32(out, 0x46546C67);
    put_u32(out, 2);
    put_u32(out, static_cast<std::uint32_t>(28 + text.size() + doc.bin.size()));
    put_u32(out, static_cast<std::uint32_t>(text.size()));
    put_u32(out, 0x4E4F534A);
    out.insert(out.end(), text.begin(), text.end());
    put_u32(out, static_cast<std::uint32_t>(doc.bin.size()));
    put_u32(out, 0x004E4942);
    out.insert(out.end(), doc.bin.begin(), doc.bin.end());
    return out;
}

}  // namespace tarkeep::data
