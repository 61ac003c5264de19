#pragma once
#include <cmath>

#include "tests/data/gltf/gltf_test_util.h"

// Models the conversion tests use, each also checked by the glTF validator.
namespace tarkeep::test {

// Root (translated 1, 2, 3) with an LOD node of three quads; a material with every rule.
inline data::NifFile scene_model() {
    data::NifFile file = make_nif_file();
    const auto root = add_node(file, "Root", {}, {1, 2, 3});
    data::NiMaterialProperty colours;
    colours.ambient = {1, 0, 0};
    colours.diffuse = {0, 1, 0};
    colours.alpha = 0.5f;
    const auto material = add_nif_block(file, "NiMaterialProperty", colours);
    data::NiAlphaProperty mask;
    mask.flags = 0x200;
    mask.threshold = 128;
    const auto masked = add_nif_block(file, "NiAlphaProperty", mask);
    mask.flags = 0x201;
    const auto blended = add_nif_block(file, "NiAlphaProperty", mask);
    data::NiRangeLODData ranges;
    ranges.ranges = {{0, 10}, {10, 50}, {50, 1000}};
    data::NiLODNode lod;
    lod.name = "Levels";
    lod.lod_data = add_nif_block(file, "NiRangeLODData", ranges);
    lod.children = {add_quad(file, "Near", {material, masked, add_texturing(file, "knight_pc")}),
                    add_quad(file, "Middle", {blended, add_texturing(file, "knight")}), add_quad(file, "Far")};
    add_child(file, root, add_nif_block(file, "NiLODNode", lod));
    file.roots = {0};
    return round_trip(file);
}

// A bone chain Root > Bip01 > Bip01 Spine and a skinned quad: vertex 0 with five
// influences, vertex 1 with two equal ones, vertex 2 with zero weights, vertex 3 none.
inline data::NifFile skinned_model(std::size_t extra_nodes = 0) {
    data::NifFile file = make_nif_file();
    const auto root = add_node(file, "Root");
    const auto hip = add_node(file, "Bip01", {}, {0, 0, 1});
    const auto spine = add_node(file, "Bip01 Spine", {}, {0, 0, 1});
    add_child(file, root, hip);
    add_child(file, hip, spine);
    for (std::size_t i = 0; i < extra_nodes; ++i) add_child(file, root, add_node(file, "Extra" + std::to_string(i)));
    const auto shape = add_quad(file, "Body");
    add_child(file, root, shape);
    data::NiSkinData skin;
    skin.has_weights = true;
    skin.bones.resize(5);
    const float weights[5] = {0.1f, 0.4f, 0.2f, 0.2f, 0.3f};
    for (std::size_t b = 0; b < 5; ++b) skin.bones[b].weights.push_back({0, weights[b]});
    skin.bones[1].weights.push_back({1, 0.25f});
    skin.bones[3].weights.push_back({1, 0.25f});
    skin.bones[0].weights.push_back({2, 0.0f});
    // Bind poses: bone transforms are the inverses of the node tree's (consistent data).
    const float z[5] = {0, -1, -2, 0, -1};
    for (std::size_t b = 0; b < 5; ++b) {
        skin.bones[b].transform.translation = {0, 0, z[b]};
        skin.bones[b].num_weights = static_cast<std::uint16_t>(skin.bones[b].weights.size());
    }
    data::NiSkinInstance instance;
    instance.data = add_nif_block(file, "NiSkinData", skin);
    instance.skeleton_root = root;
    instance.bones = {root, hip, spine, root, hip};
    dynamic_cast<data::NiGeometry&>(*file.blocks[std::size_t(shape)]).skin_instance =
        add_nif_block(file, "NiSkinInstance", instance);
    file.roots = {0};
    return round_trip(file);
}

// Keyframe file: one sequence on `target` with the given controllers' data.
struct SequenceSpec {
    std::string target = "Bip01";
    std::string accum_root = "Bip01";
    std::optional<data::NiKeyframeData> keyframes;
    std::optional<data::NiVisData> visibility;
    std::vector<std::string> property_targets;
};

inline SequenceSpec keys_on(data::NiKeyframeData keys, std::string target = "Bip01") {
    SequenceSpec spec;
    spec.target = std::move(target);
    spec.keyframes = std::move(keys);
    return spec;
}

inline data::NifFile sequence_file(const std::string& name, const SequenceSpec& spec) {
    data::NifFile file = make_nif_file();
    data::NiControllerSequence sequence;
    sequence.name = name;
    sequence.accum_root_name = spec.accum_root;
    const auto root = add_nif_block(file, "NiControllerSequence", sequence);
    data::NiTextKeyExtraData text;
    text.keys = {{0, "start"}, {1, "end"}};
    auto& seq = dynamic_cast<data::NiControllerSequence&>(*file.blocks[std::size_t(root)]);
    seq.text_keys = add_nif_block(file, "NiTextKeyExtraData", text);
    const auto controller = [&](const char* type, data::NifRef data) {
        data::NiDataController c;
        c.data = data;
        return add_nif_block(file, type, c);
    };
    auto& entries = dynamic_cast<data::NiControllerSequence&>(*file.blocks[std::size_t(root)]).blocks;
    if (spec.keyframes) {
        const auto data = add_nif_block(file, "NiKeyframeData", *spec.keyframes);
        entries.push_back({spec.target, controller("NiKeyframeController", data)});
    }
    if (spec.visibility) {
        const auto data = add_nif_block(file, "NiVisData", *spec.visibility);
        entries.push_back({spec.target, controller("NiVisController", data)});
    }
    for (const std::string& target : spec.property_targets) {
        data::NiFloatData floats;
        const auto data = add_nif_block(file, "NiFloatData", floats);
        entries.push_back({target, controller("NiAlphaController", data)});
    }
    file.roots = {std::uint32_t(root)};
    return round_trip(file);
}

inline data::NiKeyframeData walk_keys(float distance) {
    data::NiKeyframeData data;
    data.num_rotation_keys = 2;
    data.rotation_type = 1;
    const float half = 0.5f * 0.7f;
    data.rotations = {{0, {1, 0, 0, 0}, {}}, {1, {std::cos(half), 0, 0, std::sin(half)}, {}}};
    data.translations.interpolation = 1;
    data.translations.keys = {{0, {0, 0, 0}, {}, {}, {}}, {1, {0, distance, 0}, {}, {}, {}}};
    return data;
}

}  // namespace tarkeep::test
