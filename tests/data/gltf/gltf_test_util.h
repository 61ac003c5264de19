#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "data/gltf/gltf_convert.h"
#include "data/texture/png.h"
#include "platform/shell.h"
#include "tests/support/nif_writer.h"
#include "tests/support/program_run.h"

// Shared by the glTF library and export tests: model building, accessor reading, and the
// Khronos validator as an outside oracle.
namespace tarkeep::test {

using data::JsonValue;

// A 2 x 2 PNG of one colour.
inline std::vector<std::uint8_t> tiny_png(std::uint8_t alpha = 255) {
    const std::vector<std::uint8_t> pixels{200, 10, 10, alpha, 10, 200, 10, alpha, 10, 10, 200, alpha, 9, 9, 9, alpha};
    return data::encode_png(2, 2, pixels.data(), true);
}

// Y-up at scale 1, every texture present and given as tiny_png.
inline data::GltfConvertOptions test_options() {
    data::GltfConvertOptions options;
    options.scale = 1;
    options.texture_exists = [](const std::string&) { return true; };
    options.texture_provider = [](const std::string& name, char) {
        auto image = std::make_shared<data::GltfImage>();
        image->png = tiny_png();
        image->player_colour = name.find("_pc") != std::string::npos;
        return std::shared_ptr<const data::GltfImage>(image);
    };
    return options;
}

inline data::NifRef add_node(data::NifFile& file, const std::string& name, std::vector<data::NifRef> children = {},
                             data::NifVec3 translation = {}) {
    data::NiNode node;
    node.name = name;
    node.children = std::move(children);
    node.translation = translation;
    return add_nif_block(file, "NiNode", std::move(node));
}

inline void add_child(data::NifFile& file, data::NifRef parent, data::NifRef child) {
    dynamic_cast<data::NiNode&>(*file.blocks[std::size_t(parent)]).children.push_back(child);
}

// A quad in the x-z plane (normals -y), UVs over the whole texture; returns the shape.
inline data::NifRef add_quad(data::NifFile& file, const std::string& name, std::vector<data::NifRef> properties = {},
                             bool mirrored_uv = false) {
    data::NiTriShapeData quad;
    quad.num_vertices = 4;
    quad.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 0, 2}, {0, 0, 2}};
    quad.vector_flags = 1;
    quad.normals.assign(4, data::NifVec3{0, -1, 0});
    quad.uv_sets = {{{0, 1}, {1, 1}, {1, 0}, {0, 0}}};
    if (mirrored_uv) quad.uv_sets = {{{1, 1}, {0, 1}, {0, 0}, {1, 0}}};
    quad.num_triangles = 2;
    quad.num_triangle_points = 6;
    quad.triangles = {{0, 1, 2}, {0, 2, 3}};
    data::NiGeometry shape;
    shape.name = name;
    shape.properties = std::move(properties);
    shape.data = add_nif_block(file, "NiTriShapeData", std::move(quad));
    return add_nif_block(file, "NiTriShape", std::move(shape));
}

inline data::NifRef add_texturing(data::NifFile& file, const std::string& texture) {
    data::NiSourceTexture source;
    source.external = 1;
    source.file_name = texture;
    data::NiTexturingProperty texturing;
    texturing.texture_count = 7;
    texturing.slots[data::kSlotBase].present = true;
    texturing.slots[data::kSlotBase].desc.source = add_nif_block(file, "NiSourceTexture", std::move(source));
    return add_nif_block(file, "NiTexturingProperty", std::move(texturing));
}

// Written and read back, so that every model the tests convert is one the reader accepts.
inline data::NifFile round_trip(const data::NifFile& file) { return data::read_nif(write_nif(file)); }

inline const JsonValue& member(const JsonValue& value, const std::string& key) {
    const JsonValue* found = value.find(key);
    if (found == nullptr) throw std::runtime_error("no member " + key);
    return *found;
}

inline std::vector<double> numbers(const JsonValue& array) {
    std::vector<double> out;
    for (const JsonValue& item : array.items()) out.push_back(item.as_number());
    return out;
}

// The values of an accessor, read back from the binary buffer.
inline std::vector<double> accessor_values(const data::GltfDocument& doc, std::int64_t index) {
    const JsonValue& accessor = doc.accessors.at(std::size_t(index));
    const JsonValue& view = doc.buffer_views.at(std::size_t(member(accessor, "bufferView").as_int()));
    const std::size_t offset = std::size_t(member(view, "byteOffset").as_int());
    const std::size_t length = std::size_t(member(view, "byteLength").as_int());
    const std::int64_t type = member(accessor, "componentType").as_int();
    const std::size_t width = type == 5121 ? 1 : type == 5123 ? 2 : 4;
    std::vector<double> out;
    for (std::size_t at = offset; at < offset + length; at += width) {
        if (type == 5126) {
            float value;
            std::memcpy(&value, doc.bin.data() + at, 4);
            out.push_back(value);
        } else {
            std::uint32_t value = 0;
            for (std::size_t b = 0; b < width; ++b) value |= std::uint32_t(doc.bin[at + b]) << (8 * b);
            out.push_back(value);
        }
    }
    return out;
}

inline const JsonValue& primitive(const data::GltfDocument& doc, std::size_t mesh) {
    return member(doc.meshes.at(mesh), "primitives").items().at(0);
}

inline std::vector<double> attribute(const data::GltfDocument& doc, std::size_t mesh, const std::string& name) {
    return accessor_values(doc, member(member(primitive(doc, mesh), "attributes"), name).as_int());
}

// The node whose name is `name`, or -1.
inline std::int64_t node_named(const data::GltfDocument& doc, const std::string& name) {
    for (std::size_t i = 0; i < doc.nodes.size(); ++i) {
        const JsonValue* n = doc.nodes[i].find("name");
        if (n != nullptr && n->as_string() == name) return std::int64_t(i);
    }
    return -1;
}

// Runs the Khronos glTF validator (npm package gltf-validator, installed by .ci/deps under
// build/gltf-validator) over the files; returns its report (one line per issue and a
// summary line per file), or nothing when node or the package is missing.
inline std::optional<ProgramResult> run_gltf_validator(const std::vector<std::filesystem::path>& files) {
    const std::filesystem::path modules = std::filesystem::path(TARKEEP_SOURCE_DIR) / "build" / "gltf-validator";
    const std::filesystem::path node = "/usr/bin/node";
    if (!platform::has_posix_shell() || !std::filesystem::exists(node) ||
        !std::filesystem::exists(modules / "node_modules" / "gltf-validator")) {
        return std::nullopt;
    }
    std::vector<std::string> arguments{
        (std::filesystem::path(TARKEEP_SOURCE_DIR) / "tests" / "data" / "gltf" / "validate_glb.js").string(),
        modules.string()};
    for (const auto& file : files) arguments.push_back(file.string());
    return run_program(node, arguments);
}

}  // namespace tarkeep::test
