// Fuzzes export_model over NIF bytes: a model and a keyframe file, either whole inputs or a
// built-in skinned, animated model with bytes overwritten at chosen offsets (so that the
// fuzzer spends its time past the NIF reader). Every export either fails with one of the
// system's own errors or yields a .glb whose header and JSON are sound.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "data/gltf_error.h"
#include "data/nif/nif_blocks.h"
#include "data/texture/dxt.h"
#include "data/texture/tex_error.h"
#include "io/zip_error.h"
#include "tests/support/nif_writer.h"
#include "tests/support/texcache_writer.h"
#include "tools/upscale/model_export.h"

namespace {

using namespace tarkeep;
using namespace tarkeep::data;
using test::add_nif_block;

NifRef node(NifFile& file, const char* name, NifVec3 translation) {
    NiNode n;
    n.name = name;
    n.translation = translation;
    return add_nif_block(file, "NiNode", n);
}

std::vector<std::uint8_t> built_model() {
    NifFile file = test::make_nif_file();
    node(file, "Root", {0, 0, 0});
    node(file, "Bip01", {0, 0, 1});
    NiSourceTexture source;
    source.external = 1;
    source.file_name = "skin";
    NiTexturingProperty texturing;
    texturing.texture_count = 7;
    texturing.slots[kSlotBase].present = true;
    texturing.slots[kSlotBase].desc.source = add_nif_block(file, "NiSourceTexture", source);
    NiAlphaProperty alpha;
    alpha.flags = 0x200;
    NiTriShapeData quad;
    quad.num_vertices = 4;
    quad.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 0, 2}, {0, 0, 2}};
    quad.vector_flags = 1;
    quad.normals.assign(4, NifVec3{0, -1, 0});
    quad.uv_sets = {{{0, 1}, {1, 1}, {1, 0}, {0, 0}}};
    quad.num_triangles = 2;
    quad.num_triangle_points = 6;
    quad.triangles = {{0, 1, 2}, {0, 2, 3}};
    NiSkinData skin;
    skin.has_weights = true;
    skin.bones.resize(2);
    skin.bones[0].weights = {{0, 0.5f}, {1, 1}, {2, 0.25f}};
    skin.bones[1].weights = {{0, 0.5f}, {2, 0.75f}, {3, 1}};
    for (auto& bone : skin.bones) bone.num_weights = static_cast<std::uint16_t>(bone.weights.size());
    NiSkinInstance instance;
    instance.data = add_nif_block(file, "NiSkinData", skin);
    instance.skeleton_root = 0;
    instance.bones = {0, 1};
    NiGeometry shape;
    shape.name = "Body";
    shape.properties = {add_nif_block(file, "NiTexturingProperty", texturing),
                        add_nif_block(file, "NiAlphaProperty", alpha)};
    shape.data = add_nif_block(file, "NiTriShapeData", quad);
    shape.skin_instance = add_nif_block(file, "NiSkinInstance", instance);
    const NifRef body = add_nif_block(file, "NiTriShape", shape);
    shape.skin_instance = kNoRef;
    shape.name = "Sword";
    const NifRef sword = add_nif_block(file, "NiTriShape", shape);
    NiRangeLODData ranges;
    ranges.ranges = {{0, 10}};
    NiLODNode lod;
    lod.name = "Lod";
    lod.lod_data = add_nif_block(file, "NiRangeLODData", ranges);
    lod.children = {sword};
    const NifRef lod_ref = add_nif_block(file, "NiLODNode", lod);
    static_cast<NiNode&>(*file.blocks[0]).children = {1, body};
    static_cast<NiNode&>(*file.blocks[1]).children = {lod_ref};
    file.roots = {0};
    return test::write_nif(file);
}

std::vector<std::uint8_t> built_kf() {
    NifFile file = test::make_nif_file();
    NiControllerSequence sequence;
    sequence.name = "Walk";
    sequence.accum_root_name = "Bip01";
    add_nif_block(file, "NiControllerSequence", sequence);
    NiKeyframeData keys;
    keys.num_rotation_keys = 1;
    keys.rotation_type = kRotationXyz;
    keys.xyz_rotations[2].interpolation = 1;
    keys.xyz_rotations[2].keys = {{0, 0, 0, 0, {}}, {1, 2, 0, 0, {}}};
    keys.translations.interpolation = 1;
    keys.translations.keys = {{0, {0, 0, 0}, {}, {}, {}}, {1, {0, 1, 0}, {}, {}, {}}};
    keys.scales.interpolation = 1;
    keys.scales.keys = {{0, 1, 0, 0, {}}};
    NiDataController controller;
    controller.data = add_nif_block(file, "NiKeyframeData", keys);
    const NifRef keyframe = add_nif_block(file, "NiKeyframeController", controller);
    NiVisData visibility;
    visibility.keys = {{0, 1}, {0.5f, 0}};
    controller.data = add_nif_block(file, "NiVisData", visibility);
    const NifRef vis = add_nif_block(file, "NiVisController", controller);
    NiTextKeyExtraData text;
    text.keys = {{0, "start"}};
    auto& seq = static_cast<NiControllerSequence&>(*file.blocks[0]);
    seq.text_keys = add_nif_block(file, "NiTextKeyExtraData", text);
    seq.blocks = {{"Bip01", keyframe}, {"Sword", vis}, {"Body\nPROP\nNiAlphaProperty", vis}};
    file.roots = {0};
    return test::write_nif(file);
}

// Overwrites bytes of `base`: each triple of input bytes is (offset low, offset high, value).
std::vector<std::uint8_t> patched(std::vector<std::uint8_t> base, const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i + 2 < size; i += 3) {
        const std::size_t at = (std::size_t(data[i]) | std::size_t(data[i + 1]) << 8) % base.size();
        base[at] = data[i + 2];
    }
    return base;
}

void check(const std::vector<std::uint8_t>& glb) {
    const auto u32 = [&](std::size_t at) {
        return std::uint32_t(glb[at]) | std::uint32_t(glb[at + 1]) << 8 | std::uint32_t(glb[at + 2]) << 16 |
               std::uint32_t(glb[at + 3]) << 24;
    };
    if (glb.size() < 28 || u32(8) != glb.size() || u32(12) % 4 != 0) __builtin_trap();
    const std::string json(glb.begin() + 20, glb.begin() + 20 + u32(12));
    if (json.find("NaN") != std::string::npos || json.find("Infinity") != std::string::npos) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::uint8_t> model = built_model();
    static const std::vector<std::uint8_t> kf = built_kf();
    static const std::vector<std::uint8_t> texture = test::write_texcache(test::texcache_fields(
        format_dxt1, test::dxt_levels(std::vector<std::uint8_t>(64, 200), 4, 4, format_dxt1, false)));
    if (size < 2) return 0;
    std::vector<std::uint8_t> model_bytes, kf_bytes;
    const std::size_t split = 2 + (size - 2) * data[1] / 256;
    if (data[0] & 1) {
        model_bytes = patched(model, data + 2, split - 2);
        kf_bytes = patched(kf, data + split, size - split);
    } else {
        model_bytes.assign(data + 2, data + split);
        kf_bytes.assign(data + split, data + size);
    }
    upscale::GameFiles files;
    files.contains = [](std::string_view) { return true; };
    files.read = [&](std::string_view name) { return name.ends_with(".texcache") ? texture : kf_bytes; };
    upscale::ModelExportOptions options;
    options.colour = (data[0] & 2) ? 'B' : 0;
    options.scale_channels = data[0] & 4;
    options.keyframe_pass = !(data[0] & 8);
    std::vector<std::string> kfs;
    if (data[0] & 16) kfs.push_back("walk.kf");
    upscale::GltfTextureCache cache;
    try {
        check(upscale::export_model_bytes(files, model_bytes, kfs, options, cache).glb);
    } catch (const GltfError&) {
    } catch (const NifError&) {
    } catch (const TexError&) {
    } catch (const io::ZipError&) {}
    return 0;
}
