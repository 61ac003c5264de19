// Skins and animations of converted models.
#include "tests/data/gltf/gltf_models.h"

namespace tarkeep::test {
namespace {

using data::GltfError;

struct KfRef {
    const char* path;
    const data::NifFile& file;
};

data::GltfConvertResult convert_with(const data::NifFile& model, std::initializer_list<KfRef> files,
                                     bool scale_channels = false) {
    auto options = test_options();
    options.scale_channels = scale_channels;
    std::vector<data::GltfKeyframeFile> kfs;
    for (const KfRef& file : files) kfs.push_back({file.path, round_trip(file.file)});
    return data::convert_model(model, kfs, options);
}

TEST(GltfSkin, InfluencesAreOrderedCutToFourAndRenormalised) {
    const auto result = data::convert_model(skinned_model(), {}, test_options());
    const auto& doc = result.doc;
    const auto joints = attribute(doc, 0, "JOINTS_0");
    const auto weights = attribute(doc, 0, "WEIGHTS_0");
    // Vertex 0: hip 0.4 + 0.3 (two bones on one node), then of the equal 0.2s the
    // higher-numbered bone (the root) first, then the spine; 0.1 is cut; sum 1.1.
    // Vertex 1: two equal weights, higher bone (root) first. Vertex 2: weights summing
    // to zero; vertex 3: no influence: both follow the first joint / the skeleton root.
    EXPECT_EQ(joints, (std::vector<double>{1, 0, 2, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    const std::vector<double> expected{0.7 / 1.1, 0.2 / 1.1, 0.2 / 1.1, 0, 0.5, 0.5, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(weights[i], expected[i], 1e-6) << i;
    EXPECT_EQ(result.stats.vertices_without_influence, 1u);
    EXPECT_EQ(result.stats.max_influences, 5u);
    EXPECT_EQ(member(doc.accessors[std::size_t(member(member(primitive(doc, 0), "attributes"), "JOINTS_0").as_int())],
                     "componentType").as_int(),
              data::kComponentU8);
    // The skinned mesh hangs on its own root node with the skin; inverse binds undo the
    // bones' rest positions (Bip01 Spine at height 2: y after the axis change).
    const std::int64_t node = node_named(doc, "Body_skinned");
    ASSERT_GE(node, 0);
    EXPECT_EQ(member(doc.nodes[std::size_t(node)], "skin").as_int(), 0);
    EXPECT_EQ(doc.scene_nodes, (std::vector<std::int64_t>{0, node}));
    const JsonValue& skin = doc.skins.at(0);
    EXPECT_EQ(numbers(member(skin, "joints")), (std::vector<double>{0, 1, 2, 3}));
    const auto inverse_binds = accessor_values(doc, member(skin, "inverseBindMatrices").as_int());
    ASSERT_EQ(inverse_binds.size(), 64u);
    EXPECT_EQ(std::vector<double>(inverse_binds.begin() + 44, inverse_binds.begin() + 48),
              (std::vector<double>{0, -2, 0, 1}));
}

TEST(GltfSkin, JointComponentTypeFollowsTheJointCount) {
    // 4 nodes of the model + extras: 255 joints fit a byte, 256 do not.
    for (const std::size_t joints : {255u, 256u}) {
        const auto result = data::convert_model(skinned_model(joints - 4), {}, test_options());
        const auto accessor = member(member(primitive(result.doc, 0), "attributes"), "JOINTS_0").as_int();
        EXPECT_EQ(member(result.doc.accessors[std::size_t(accessor)], "componentType").as_int(),
                  joints < 256 ? data::kComponentU8 : data::kComponentU16);
        EXPECT_EQ(member(result.doc.skins[0], "joints").size(), joints);
    }
}

TEST(GltfSkin, BindPosesFromTheSkinDataWhenTheNodeTreeDisagrees) {
    data::NifFile file = skinned_model();
    auto& skin = dynamic_cast<data::NiSkinData&>(*file.blocks[std::size_t(
        dynamic_cast<data::NiSkinInstance&>(*file.blocks.back()).data)]);
    skin.bones[2].transform.translation = {0, 0, -5};  // spine bound at height 5, not 2
    const auto result = data::convert_model(file, {}, test_options());
    const auto inverse_binds = accessor_values(result.doc, member(result.doc.skins[0], "inverseBindMatrices").as_int());
    EXPECT_EQ(inverse_binds[45], -5);
    EXPECT_EQ(inverse_binds[29], -1);  // Bip01 agrees with the tree
}

TEST(GltfSkin, DamagedSkinsEndWithAGltfError) {
    const struct {
        std::function<void(data::NiSkinInstance&, data::NiSkinData&)> damage;
        const char* error;
    } cases[] = {
        {[](auto& instance, auto&) { instance.bones.push_back(0); }, "skin data has fewer bones than the skin instance"},
        {[](auto&, auto& skin) { skin.bones[0].weights.push_back({4, 0.5f}); }, "skin weight for a vertex out of range"},
        {[](auto& instance, auto&) { instance.bones[1] = 3; }, "skin bone outside the node tree"},
        {[](auto& instance, auto&) { instance.bones.pop_back(); }, "skin weight for a bone out of range"},
        {[](auto& instance, auto&) { instance.data = 0; }, "unexpected block type for skin data: NiNode"},
        {[](auto&, auto& skin) { skin.bones[0].weights[0].weight = NAN; }, "non-finite skin weight in geometry Body"},
    };
    for (const auto& c : cases) {
        data::NifFile file = skinned_model();
        auto& instance = dynamic_cast<data::NiSkinInstance&>(*file.blocks.back());
        auto& skin = dynamic_cast<data::NiSkinData&>(*file.blocks[std::size_t(instance.data)]);
        c.damage(instance, skin);
        try {
            data::convert_model(file, {}, test_options());
            ADD_FAILURE() << "no error, expected " << c.error;
        } catch (const GltfError& e) {
            EXPECT_STREQ(e.what(), c.error);
        }
    }
}

TEST(GltfAnimation, KeyframeChannelsTextKeysAndMoves) {
    const auto result = convert_with(skinned_model(), {{"walk.kf", sequence_file("Walk", keys_on(walk_keys(2)))},
                                                       {"idle.kf", sequence_file("Idle", keys_on(walk_keys(0)))}});
    ASSERT_EQ(result.doc.animations.size(), 2u);
    const JsonValue& walk = result.doc.animations[0];
    EXPECT_EQ(data::to_json(member(walk, "channels")),
              "[{\"sampler\":0,\"target\":{\"node\":1,\"path\":\"rotation\"}},"
              "{\"sampler\":1,\"target\":{\"node\":1,\"path\":\"translation\"}}]");
    EXPECT_EQ(data::to_json(member(walk, "extras")),
              "{\"sequence\":\"Walk\",\"text_keys\":[{\"time\":0.0,\"text\":\"start\"},{\"time\":1.0,\"text\":\"end\"}],"
              "\"accum_root\":\"Bip01\",\"not_in_gltf_core\":[],\"moves\":true}");
    EXPECT_EQ(member(member(result.doc.animations[1], "extras"), "moves").as_bool(), false);
    const JsonValue& sampler = member(walk, "samplers").items()[1];
    EXPECT_EQ(member(sampler, "interpolation").as_string(), "LINEAR");
    EXPECT_EQ(data::to_json(member(result.doc.accessors[std::size_t(member(sampler, "input").as_int())], "max")),
              "[1.0]");
    // Translation (0, 2, 0) in the file is (0, 0, -2) in glTF.
    EXPECT_EQ(accessor_values(result.doc, member(sampler, "output").as_int()),
              (std::vector<double>{0, 0, 0, 0, 0, -2}));
    const auto rotation = accessor_values(result.doc, member(member(walk, "samplers").items()[0], "output").as_int());
    EXPECT_NEAR(rotation[5], std::sin(0.35), 1e-6);  // about z in the file: y in glTF
    EXPECT_NEAR(rotation[7], std::cos(0.35), 1e-6);
}

TEST(GltfAnimation, VisibilityKeysBecomeASteppedScale) {
    data::NiVisData visibility;
    visibility.keys = {{0, 1}, {0.5f, 0}, {1, 1}};
    data::NifFile model = skinned_model();
    dynamic_cast<data::NiNode&>(*model.blocks[1]).scale = 2;
    const auto result = convert_with(model, {{"blink.kf", sequence_file("Blink", [&] {
                                                    SequenceSpec spec;
                                                    spec.visibility = visibility;
                                                    return spec;
                                                }())}});
    const JsonValue& animation = result.doc.animations.at(0);
    const JsonValue& sampler = member(animation, "samplers").items().at(0);
    EXPECT_EQ(member(sampler, "interpolation").as_string(), "STEP");
    EXPECT_EQ(data::to_json(member(member(animation, "channels").items()[0], "target")),
              "{\"node\":1,\"path\":\"scale\"}");
    EXPECT_EQ(accessor_values(result.doc, member(sampler, "output").as_int()),
              (std::vector<double>{2, 2, 2, 0, 0, 0, 2, 2, 2}));
}

TEST(GltfAnimation, PropertyTargetsAreListedNotAnimated) {
    const auto result = convert_with(
        skinned_model(), {{"fade.kf", sequence_file("Fade", [] {
                                             SequenceSpec spec = keys_on(walk_keys(0));
                                             spec.property_targets = {"Body\nPROP\nNiAlphaProperty"};
                                             return spec;
                                         }())}});
    const JsonValue& extras = member(result.doc.animations.at(0), "extras");
    EXPECT_EQ(data::to_json(member(extras, "not_in_gltf_core")), "[\"Body | PROP | NiAlphaProperty\"]");
    EXPECT_EQ(member(result.doc.animations[0], "channels").size(), 2u);
    // A sequence with nothing glTF can animate is left out (an animation needs a channel).
    const auto only = convert_with(skinned_model(),
                                   {{"p.kf", sequence_file("P", [] {
                                       SequenceSpec spec;
                                       spec.property_targets = {"X\nPROP\nY"};
                                       return spec;
                                   }())}});
    EXPECT_TRUE(only.doc.animations.empty());
    EXPECT_EQ(only.stats.warnings.size(), 1u);
}

TEST(GltfAnimation, XyzRotationsAreSubdividedQuaternionKeys) {
    data::NiKeyframeData data;
    data.num_rotation_keys = 1;
    data.rotation_type = data::kRotationXyz;
    data.xyz_rotations[2].interpolation = 1;
    data.xyz_rotations[2].keys = {{0, 0, 0, 0, {}}, {1, 3.0f, 0, 0, {}}};  // 3 radians about z
    data.xyz_rotations[0].interpolation = 1;
    data.xyz_rotations[0].keys = {{0.5f, 0.25f, 0, 0, {}}};  // a constant tilt about x
    const auto result = convert_with(skinned_model(), {{"turn.kf", sequence_file("Turn", keys_on(data))}});
    const JsonValue& sampler = member(result.doc.animations.at(0), "samplers").items().at(0);
    const auto times = accessor_values(result.doc, member(sampler, "input").as_int());
    // 0 .. 0.5 turns 1.5 radians, less than three times pi / 6: three steps; 0.5 .. 1 likewise.
    const std::vector<double> expected{0, 1 / 6.0, 2 / 6.0, 0.5, 4 / 6.0, 5 / 6.0, 1};
    ASSERT_EQ(times.size(), expected.size());
    for (std::size_t i = 0; i < times.size(); ++i) EXPECT_NEAR(times[i], expected[i], 1e-6) << i;
    const auto keys = accessor_values(result.doc, member(sampler, "output").as_int());
    // The last key: Rz(3) * Rx(0.25) = (cz sx, sz sx, sz cx, cz cx) in the file's order
    // (x, y, z, w) with half angles, then the axis change (x, z, -y, w).
    const double sx = std::sin(0.125), cx = std::cos(0.125), sz = std::sin(1.5), cz = std::cos(1.5);
    const std::vector<double> last(keys.end() - 4, keys.end());
    EXPECT_NEAR(last[0], cz * sx, 1e-6);
    EXPECT_NEAR(last[1], sz * cx, 1e-6);
    EXPECT_NEAR(last[2], -sz * sx, 1e-6);
    EXPECT_NEAR(last[3], cz * cx, 1e-6);
    data.xyz_rotations[0].keys.clear();
    data.xyz_rotations[2].keys.clear();
    try {
        convert_with(skinned_model(), {{"bad.kf", sequence_file("Bad", keys_on(data))}});
        ADD_FAILURE() << "no error";
    } catch (const GltfError& e) {
        EXPECT_STREQ(e.what(), "XYZ rotation without key groups");
    }
}

TEST(GltfAnimation, ScaleKeysBecomeChannelsOnlyWhenAsked) {
    data::NiKeyframeData data = walk_keys(0);
    data.scales.interpolation = 1;
    data.scales.keys = {{0, 1, 0, 0, {}}, {1, 1.5f, 0, 0, {}}};
    for (const bool asked : {false, true}) {
        const auto result = convert_with(skinned_model(), {{"grow.kf", sequence_file("Grow", keys_on(data))}},
                                         asked);
        const JsonValue& channels = member(result.doc.animations.at(0), "channels");
        ASSERT_EQ(channels.size(), asked ? 3u : 2u);
        if (asked) {
            EXPECT_EQ(member(member(channels.items()[2], "target"), "path").as_string(), "scale");
            const JsonValue& sampler = member(result.doc.animations[0], "samplers").items()[2];
            EXPECT_EQ(accessor_values(result.doc, member(sampler, "output").as_int()),
                      (std::vector<double>{1, 1, 1, 1.5, 1.5, 1.5}));
        }
    }
}

TEST(GltfAnimation, DamagedKeysAreDroppedOrReported) {
    data::NiKeyframeData data = walk_keys(1);
    data.translations.keys.push_back({0.5f, {9, 9, 9}, {}, {}, {}});  // steps back in time
    data.rotations.clear();
    data.num_rotation_keys = 0;
    const auto result = convert_with(skinned_model(), {{"odd.kf", sequence_file("Odd", keys_on(data))}});
    const JsonValue& channels = member(result.doc.animations.at(0), "channels");
    ASSERT_EQ(channels.size(), 1u);  // no rotation keys: no rotation channel
    const JsonValue& sampler = member(result.doc.animations[0], "samplers").items()[0];
    EXPECT_EQ(accessor_values(result.doc, member(sampler, "input").as_int()), (std::vector<double>{0, 1}));
    EXPECT_EQ(result.stats.warnings.size(), 1u);

    data::NifFile no_root = sequence_file("X", keys_on(data));
    no_root.roots.clear();
    data::NifFile wrong_root = sequence_file("X", keys_on(data));
    wrong_root.roots = {1};
    const struct {
        const data::NifFile& file;
        const char* error;
    } cases[] = {{no_root, "kf without root: x.kf"},
                 {wrong_root, "unexpected block type for controller sequence: NiTextKeyExtraData"}};
    for (const auto& c : cases) {
        try {
            convert_with(skinned_model(), {{"x.kf", c.file}});
            ADD_FAILURE() << "no error, expected " << c.error;
        } catch (const GltfError& e) {
            EXPECT_STREQ(e.what(), c.error);
        }
    }
}

TEST(GltfAnimation, RigidPartsUnderAnimatedNodesAreBoundToTheirNode) {
    data::NifFile file = make_nif_file();
    add_node(file, "Root");
    const auto arm = add_node(file, "Arm", {}, {0, 0, 1});
    add_child(file, 0, arm);
    add_child(file, arm, add_quad(file, "Sword"));
    add_child(file, 0, add_quad(file, "Sword"));  // a still part of the same name
    file.roots = {0};
    const data::NifFile model = round_trip(file);
    const auto still = convert_with(model, {});
    EXPECT_EQ(still.stats.rigid_bound, 0u);
    EXPECT_TRUE(still.doc.skins.empty());

    data::NiKeyframeData swing = walk_keys(0);
    const auto moving = convert_with(model, {{"swing.kf", sequence_file("Swing", keys_on(swing, "Arm"))}});
    const auto& doc = moving.doc;
    EXPECT_EQ(moving.stats.rigid_bound, 1u);
    const std::int64_t rigid = node_named(doc, "Sword_rigid");
    ASSERT_GE(rigid, 0);
    ASSERT_EQ(doc.skins.size(), 1u);
    EXPECT_EQ(member(doc.skins[0], "name").as_string(), "rigid");
    const std::size_t mesh = std::size_t(member(doc.nodes[std::size_t(rigid)], "mesh").as_int());
    // Bound to the Sword node (index 2), vertices placed in the model's frame (raised by 1).
    EXPECT_EQ(attribute(doc, mesh, "JOINTS_0"), (std::vector<double>{2, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0}));
    EXPECT_EQ(attribute(doc, mesh, "POSITION")[10], 3);
    EXPECT_EQ(doc.nodes[2].find("mesh"), nullptr);
    // Names are unique: the second "Sword" node is renamed with its index.
    EXPECT_EQ(member(doc.nodes[3], "name").as_string(), "Sword~3");
}

}  // namespace
}  // namespace tarkeep::test
