// NIF seeds (the sample model and keyframes, texture files, a file of many other block
// types, and framed inputs) and export_model seeds in both of that target's input modes.
#include <algorithm>
#include <stdexcept>

#include "data/nif/nif_blocks.h"
#include "data/nif/nif_registry.h"
#include "data/nif/nif_writer.h"
#include "data/texture/texcache_writer.h"
#include "fuzz/seeds/seed_corpus.h"
#include "fuzz/support/nif_frame.h"
#include "fuzz/support/sample_model.h"

namespace tarkeep::fuzz {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace tarkeep::data;
using data::add_nif_block;

// About 96 bytes a level: the seed stays under the corpus's 64 KiB.
constexpr int kDeepSeedLevels = 600;

// Blocks the sample model leaves out: strips, particles, lights, extra data, properties.
NifFile assorted_blocks(std::uint32_t version) {
    NifFile file = data::make_nif_file(version);
    NiNode root;
    root.name = "Root";
    add_nif_block(file, "NiNode", root);
    NiTriStripsData strips;
    strips.num_vertices = 4;
    strips.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    strips.num_triangles = 2;
    strips.strip_lengths = {4};
    strips.strips = {{0, 1, 2, 3}};
    NiGeometry shape;
    shape.name = "Strip";
    shape.data = add_nif_block(file, "NiTriStripsData", strips);
    const NifRef strip_shape = add_nif_block(file, "NiTriStrips", shape);
    NiStringExtraData text;
    text.string = "note";
    NiFloatExtraData number;
    number.value = 2.5f;
    NiBillboardNode billboard;
    billboard.name = "Sign";
    billboard.extra_data = {add_nif_block(file, "NiStringExtraData", text),
                            add_nif_block(file, "NiFloatExtraData", number)};
    billboard.properties = {add_nif_block(file, "NiMaterialProperty", NiMaterialProperty{}),
                            add_nif_block(file, "NiZBufferProperty", NiZBufferProperty{}),
                            add_nif_block(file, "NiSpecularProperty", NiFlagsProperty{}),
                            add_nif_block(file, "NiStencilProperty", NiStencilProperty{})};
    billboard.children = {strip_shape};
    const NifRef sign = add_nif_block(file, "NiBillboardNode", billboard);
    const NifRef light = add_nif_block(file, "NiDirectionalLight", NiDirectionalLight{});
    static_cast<NiNode&>(*file.blocks[0]).children = {sign, light};
    file.roots = {0};
    return file;
}

NifFile single_shape() {
    NifFile file = data::make_nif_file();
    NiTriShapeData triangle;
    triangle.num_vertices = 3;
    triangle.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    triangle.num_triangles = 1;
    triangle.num_triangle_points = 3;
    triangle.triangles = {{0, 1, 2}};
    NiGeometry shape;
    shape.name = "Tri";
    NiNode root;
    root.children = {1};
    add_nif_block(file, "NiNode", root);
    shape.data = 2;
    add_nif_block(file, "NiTriShape", shape);
    add_nif_block(file, "NiTriShapeData", triangle);
    file.roots = {0};
    return file;
}

// Nodes nested `levels` deep with a quad at the bottom: a tree deeper than a walk with one
// call per level would survive, in a seed small enough for the fuzzers.
NifFile deep_nodes(int levels) {
    NifFile file = data::make_nif_file();
    NifRef parent = data::add_nif_node(file, "Top");
    for (int level = 1; level < levels; ++level) parent = data::add_nif_node(file, "", {}, parent);
    data::add_nif_quad(file, {"Leaf", {}, parent});
    file.roots = {0};
    return file;
}

// The same file as a framed input: control bytes naming its type table and block types
// (at most four types and five blocks), then its bytes after the header.
Seed framed_seed(std::string name, const NifFile& file, const Bytes& bytes) {
    std::vector<std::string> table;
    for (const auto& type : file.block_types) {
        if (std::find(table.begin(), table.end(), type) == table.end()) table.push_back(type);
    }
    const auto types = nif_block_types();
    Bytes control = {1, std::uint8_t(table.size() - 1), 0};
    for (const auto& type : table) {
        const auto found = std::find_if(types.begin(), types.end(), [&](const auto& t) { return t.name == type; });
        control.push_back(std::uint8_t(found - types.begin()));
    }
    control.push_back(std::uint8_t(file.blocks.size()));
    for (const auto& type : file.block_types) {
        control.push_back(std::uint8_t(std::find(table.begin(), table.end(), type) - table.begin()));
    }
    const Bytes header = framed_nif(control.data(), control.size());
    if (table.size() > 4 || file.blocks.size() > 5 || !std::equal(header.begin(), header.end(), bytes.begin())) {
        throw std::logic_error("framed seed does not rebuild " + name);
    }
    control.insert(control.end(), bytes.begin() + std::ptrdiff_t(header.size()), bytes.end());
    return {std::move(name), control};
}

Bytes small_texture(std::uint32_t format, bool mips) {
    Bytes rgba;
    for (std::uint32_t i = 0; i < 8 * 8; ++i)
        rgba.insert(rgba.end(), {std::uint8_t(i * 4), 90, std::uint8_t(255 - i), std::uint8_t(i * 3)});
    return data::dxt_texcache(rgba, 8, 8, format, mips);
}

// [flags][split] + model + keyframes, the split byte chosen so that the target cuts the
// input exactly after the model; the keyframe part is padded where no split byte fits.
Seed whole_export_seed(std::string name, std::uint8_t flags, const Bytes& model, Bytes kf) {
    for (std::size_t total = model.size() + kf.size();; ++total) {
        for (unsigned split = 1; split < 256; ++split) {
            if (total * split / 256 != model.size()) continue;
            kf.resize(total - model.size(), 0);
            Seed seed{std::move(name), {flags, std::uint8_t(split)}};
            seed.bytes.insert(seed.bytes.end(), model.begin(), model.end());
            seed.bytes.insert(seed.bytes.end(), kf.begin(), kf.end());
            return seed;
        }
    }
}

}  // namespace

std::vector<Seed> nif_seeds() {
    constexpr std::uint8_t kWhole = 0;
    const NifFile shape = single_shape();
    const NifFile texture_file = read_nif(small_texture(5, true));
    return {mode_seed("model.nif", kWhole, built_model()),
            mode_seed("keyframes.kf", kWhole, built_kf()),
            mode_seed("texture.texcache", kWhole, small_texture(6, true)),
            mode_seed("assorted.nif", kWhole, data::write_nif(assorted_blocks(kNifVersion10_1_0_0))),
            mode_seed("assorted_10_0_1_0.nif", kWhole, data::write_nif(assorted_blocks(kNifVersion10_0_1_0))),
            mode_seed("deep_nodes.nif", kWhole, data::write_nif(deep_nodes(kDeepSeedLevels))),
            framed_seed("framed_shape", shape, data::write_nif(shape)),
            framed_seed("framed_texture", texture_file, small_texture(5, true))};
}

std::vector<Seed> export_model_seeds() {
    // Flag bits of the target: 1 patches the built-in files, 2 colours the texture,
    // 4 scales channels, 8 skips the keyframe pass, 16 exports the keyframe file.
    const Bytes model = built_model(), kf = built_kf();
    return {
        whole_export_seed("whole_model", 0, model, {}),
        whole_export_seed("whole_model_kf", 16, model, kf),
        whole_export_seed("whole_model_kf_coloured", 16 | 2 | 4, model, kf),
        whole_export_seed("whole_deep_nodes", 0, data::write_nif(deep_nodes(kDeepSeedLevels)), {}),
        {"patched", {1 | 16, 128}},
        {"patched_no_keyframe_pass", {1 | 16 | 8 | 2, 128}},
        {"patched_bytes", {1 | 16 | 4, 128, 0x60, 0x00, 0x3F, 0xA0, 0x01, 0x7F, 0x40, 0x00, 0x02, 0x90, 0x01, 0xC0}}};
}

}  // namespace tarkeep::fuzz
