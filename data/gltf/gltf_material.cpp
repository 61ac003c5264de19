// Materials: colour factors, alpha modes and embedded textures of a geometry's properties.
#include <algorithm>

#include "data/gltf/gltf_convert.h"

namespace tarkeep::data {
namespace {

JsonValue texture_ref(std::size_t index) {
    JsonValue out = JsonValue::object();
    out.set("index", index);
    return out;
}

// glTF requires factors in 0..1; a NaN stays and is reported when the file is written.
double unit(double value) { return value < 0 ? 0 : value > 1 ? 1 : value; }

}  // namespace

std::pair<std::uint32_t, std::uint32_t> png_size(const std::vector<std::uint8_t>& png) {
    if (png.size() < 24) return {0, 0};
    const auto be32 = [&](std::size_t at) {
        return std::uint32_t(png[at]) << 24 | std::uint32_t(png[at + 1]) << 16 | std::uint32_t(png[at + 2]) << 8 |
               std::uint32_t(png[at + 3]);
    };
    return {be32(16), be32(20)};
}

std::size_t GltfConverter::convert_material(const NiGeometry& geometry) {
    JsonValue material = JsonValue::object();
    material.set("name", geometry.name);
    JsonValue pbr = JsonValue::object();
    pbr.set("metallicFactor", 0.0);
    pbr.set("roughnessFactor", 1.0);
    material.set("pbrMetallicRoughness", JsonValue::object());
    std::string texture_name;
    bool player_colour = false;
    for (const NifRef ref : geometry.properties) {
        const NiObject& property = any_block(ref, "property");
        if (const auto* colours = dynamic_cast<const NiMaterialProperty*>(&property)) {
            const NifColor3& a = colours->ambient;
            const NifColor3& d = colours->diffuse;
            const NifColor3& e = colours->emissive;
            const bool unlit = e.r == 0 && e.g == 0 && e.b == 0;
            std::vector<double> factor{unlit ? std::max(a.r, d.r) : d.r, unlit ? std::max(a.g, d.g) : d.g,
                                       unlit ? std::max(a.b, d.b) : d.b, colours->alpha};
            for (double& value : factor) value = unit(value);
            pbr.set("baseColorFactor", JsonValue::array_of(factor));
        } else if (const auto* alpha = dynamic_cast<const NiAlphaProperty*>(&property)) {
            if (alpha->flags & 1) {
                material.set("alphaMode", "BLEND");
            } else if (alpha->flags & 0x200) {
                material.set("alphaMode", "MASK");
                material.set("alphaCutoff", alpha->threshold / 255.0);
            }
        } else if (const auto* texturing = dynamic_cast<const NiTexturingProperty*>(&property)) {
            add_texture_slots(*texturing, material, pbr, texture_name, player_colour);
        }
    }
    material.set("pbrMetallicRoughness", std::move(pbr));
    if (!texture_name.empty()) {
        JsonValue extras = JsonValue::object();
        extras.set("texture", texture_name);
        extras.set("player_colour", player_colour ? JsonValue(std::string(1, options_.colour)) : JsonValue());
        material.set("extras", std::move(extras));
        if (player_colour) stats_.player_colour = true;
    }
    doc_.materials.push_back(std::move(material));
    return doc_.materials.size() - 1;
}

void GltfConverter::add_texture_slots(const NiTexturingProperty& texturing, JsonValue& material, JsonValue& pbr,
                                      std::string& texture_name, bool& player_colour) {
    const NifTextureSlot& base = texturing.slots[kSlotBase];
    if (!base.present || base.desc.source < 0) return;
    const auto& source = block_as<NiSourceTexture>(base.desc.source, "source texture");
    if (source.external == 0 || !options_.embed_textures || !options_.texture_exists ||
        !options_.texture_exists(source.file_name)) {
        return;
    }
    auto entry = textures_.find(source.file_name);
    if (entry == textures_.end()) {
        const auto image =
            options_.texture_provider ? options_.texture_provider(source.file_name, options_.colour) : nullptr;
        if (!image) return;
        const auto [width, height] = png_size(image->png);
        const std::size_t index = add_png_texture(doc_, image->png, source.file_name);
        ++stats_.images;
        entry = textures_.emplace(source.file_name, TextureEntry{index, width, height, image->player_colour}).first;
    }
    pbr.set("baseColorTexture", texture_ref(entry->second.index));
    texture_name = source.file_name;
    player_colour = entry->second.player_colour;
    if (!options_.companions) return;
    auto maps = pbr_textures_.find(source.file_name);
    if (maps == pbr_textures_.end()) {
        const auto images = options_.companions(source.file_name, entry->second.width, entry->second.height);
        if (!images) return;
        const std::size_t normal = add_png_texture(doc_, images->normal_png, source.file_name + "#normal");
        const std::size_t orm = add_png_texture(doc_, images->orm_png, source.file_name + "#orm");
        maps = pbr_textures_.emplace(source.file_name, PbrEntry{normal, orm, images->normal_scale}).first;
    }
    JsonValue normal = texture_ref(maps->second.normal);
    normal.set("scale", maps->second.normal_scale);
    material.set("normalTexture", std::move(normal));
    material.set("occlusionTexture", texture_ref(maps->second.orm));
    pbr.set("metallicRoughnessTexture", texture_ref(maps->second.orm));
    pbr.set("metallicFactor", 1.0);
    pbr.set("roughnessFactor", 1.0);
    needs_tangents_ = true;
    ++stats_.pbr_materials;
}

}  // namespace tarkeep::data
