// The skinned, animated model and its keyframe file that the export fuzz target patches
// and the seed corpora start from.
#include "fuzz/support/sample_model.h"

#include "data/nif/nif_blocks.h"
#include "data/nif/nif_writer.h"

namespace tarkeep::fuzz {
namespace {

using namespace tarkeep::data;
using data::add_nif_block;

NifRef node(NifFile& file, const char* name, NifVec3 translation) {
    NiNode n;
    n.name = name;
    n.translation = translation;
    return add_nif_block(file, "NiNode", n);
}

}  // namespace

std::vector<std::uint8_t> built_model() {
    NifFile file = data::make_nif_file();
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
    return data::write_nif(file);
}

std::vector<std::uint8_t> built_kf() {
    NifFile file = data::make_nif_file();
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
    return data::write_nif(file);
}

}  // namespace tarkeep::fuzz
