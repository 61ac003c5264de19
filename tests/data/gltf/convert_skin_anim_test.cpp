// Skins and animations of converted models.
#include "tests/data/gltf/gltf_test_util.h"

namespace tarkeep::test {
namespace {

struct KfRef {
    const char* path;
    const NifFile& file;
};

data::GltfConvertResult convert_with(const NifFile& model, std::initializer_list<KfRef> files,
                                     bool scale_keys = false) {
    auto options = test_options();
    options.scale_channels = scale_keys;
    std::vector<data::GltfKeyframeFile> kfs;
    for (const KfRef& file : files) kfs.push_back({file.path, round_trip(file.file)});
    return data::convert_model(model, kfs, options);
}

TEST(GltfSkin, InfluencesJointsAndInverseBinds) {
    const auto result = data::convert_model(skinned_model(), {}, test_options());
    const auto& doc = result.doc;
    // Vertex 0: hip 0.4 + 0.3 (two bones, one node), then of the equal 0.2s the higher bone
    // (the root) before the spine; 0.1 is cut; sum 1.1. Vertex 1: equal weights, higher bone
    // first. Vertices 2 (weights summing to 0) and 3 (none) take the first joint / the root.
    EXPECT_EQ(attribute(doc, 0, "JOINTS_0"), (std::vector<double>{1, 0, 2, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    const auto weights = attribute(doc, 0, "WEIGHTS_0");
    const std::vector<double> expected{0.7 / 1.1, 0.2 / 1.1, 0.2 / 1.1, 0, 0.5, 0.5, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(weights[i], expected[i], 1e-6) << i;
    EXPECT_EQ(result.stats.vertices_without_influence + result.stats.max_influences, 1u + 5u);
    const std::int64_t node = node_named(doc, "Body_skinned");
    EXPECT_EQ(data::to_json(doc.nodes.at(std::size_t(node))), R"({"name":"Body_skinned","mesh":0,"skin":0})");
    EXPECT_EQ(doc.scene_nodes, (std::vector<std::int64_t>{0, node}));
    EXPECT_EQ(data::to_json(doc.skins.at(0)), R"({"joints":[0,1,2,3],"inverseBindMatrices":)" +
                                                  std::to_string(member(doc.skins[0], "inverseBindMatrices").as_int()) +
                                                  R"(,"skeleton":0,"name":"Body"})");
    // Inverse binds undo the rest places: Bip01 Spine at height 2 (y in glTF); unless the
    // skin data binds it elsewhere (height 5), which then wins.
    NifFile moved = skinned_model();
    dynamic_cast<data::NiSkinData&>(*moved.blocks[moved.blocks.size() - 2]).bones[2].transform.translation.z = -5;
    const auto rebound = data::convert_model(moved, {}, test_options());
    const std::vector<std::pair<const data::GltfDocument*, double>> binds{{&doc, -2}, {&rebound.doc, -5}};
    for (const auto& [d, spine] : binds) {
        const auto matrices = accessor_values(*d, member(d->skins[0], "inverseBindMatrices").as_int());
        EXPECT_EQ(std::vector<double>(matrices.begin() + 28, matrices.begin() + 32),
                  (std::vector<double>{0, -1, 0, 1}));
        EXPECT_EQ(std::vector<double>(matrices.begin() + 44, matrices.begin() + 48),
                  (std::vector<double>{0, spine, 0, 1}));
    }
    for (const std::size_t joints : {255u, 256u}) {  // the model's 4 nodes and extra ones
        const auto big = data::convert_model(skinned_model(joints - 4), {}, test_options());
        EXPECT_EQ(member(big.doc.accessors.at(std::size_t(member(attributes(big.doc, 0), "JOINTS_0").as_int())),
                         "componentType")
                      .as_int(),
                  joints < 256 ? data::kComponentU8 : data::kComponentU16);
    }
}

TEST(GltfSkin, DamagedSkinsEndWithAGltfError) {
    const struct {
        std::function<void(data::NiSkinInstance&, data::NiSkinData&)> damage;
        const char* error;
    } cases[] = {
        {[](auto& instance, auto&) { instance.bones.push_back(0); },
         "skin data has fewer bones than the skin instance"},
        {[](auto&, auto& skin) {
             skin.bones[0].weights.push_back({4, 0.5f});
         },
         "skin weight for a vertex out of range"},
        {[](auto& instance, auto&) { instance.bones[1] = 3; }, "skin bone outside the node tree"},
        {[](auto& instance, auto&) { instance.bones.pop_back(); }, "skin weight for a bone out of range"},
        {[](auto& instance, auto&) { instance.data = 0; }, "unexpected block type for skin data: NiNode"},
        {[](auto&, auto& skin) { skin.bones[0].weights[0].weight = NAN; }, "non-finite skin weight in geometry Body"},
    };
    for (const auto& c : cases) {
        NifFile file = skinned_model();
        auto& instance = dynamic_cast<data::NiSkinInstance&>(*file.blocks.back());
        c.damage(instance, dynamic_cast<data::NiSkinData&>(*file.blocks.at(std::size_t(instance.data))));
        EXPECT_EQ(error_of([&] { data::convert_model(file, {}, test_options()); }), c.error);
    }
}

TEST(GltfAnimation, KeyframeVisibilityAndPropertyTargets) {
    data::NiVisData blink;
    blink.keys = {{0, 1}, {0.5f, 0}, {1, 1}};
    SequenceContent walk = keys_on(walk_keys(2));
    walk.visibility = blink;
    walk.property_targets = {"Body\nPROP\nNiAlphaProperty"};
    NifFile model = skinned_model();
    dynamic_cast<data::NiNode&>(*model.blocks[1]).scale = 2;
    const auto result = convert_with(
        model, {{"walk.kf", sequence_file("Walk", walk)}, {"idle.kf", sequence_file("Idle", keys_on(walk_keys(0)))}});
    const auto& doc = result.doc;
    const JsonValue& animation = doc.animations.at(0);
    EXPECT_EQ(
        data::to_json(member(animation, "channels")),
        R"([{"sampler":0,"target":{"node":1,"path":"rotation"}},{"sampler":1,"target":{"node":1,"path":"translation"}},)"
        R"({"sampler":2,"target":{"node":1,"path":"scale"}}])");
    EXPECT_EQ(
        data::to_json(member(animation, "extras")),
        R"({"sequence":"Walk","text_keys":[{"time":0.0,"text":"start"},{"time":1.0,"text":"end"}],"accum_root":"Bip01",)"
        R"("not_in_gltf_core":["Body | PROP | NiAlphaProperty"],"moves":true})");
    EXPECT_EQ(member(member(doc.animations.at(1), "extras"), "moves").as_bool(), false);
    const auto rotation = sampler_output(doc, animation, 0);  // about z in the file: y in glTF
    EXPECT_NEAR(rotation[5], std::sin(0.35), 1e-6);
    EXPECT_NEAR(rotation[7], std::cos(0.35), 1e-6);
    EXPECT_EQ(sampler_output(doc, animation, 1), (std::vector<double>{0, 0, 0, 0, 0, -2}));
    EXPECT_EQ(sampler_output(doc, animation, 1, "input"), (std::vector<double>{0, 1}));
    EXPECT_EQ(sampler_output(doc, animation, 2), (std::vector<double>{2, 2, 2, 0, 0, 0, 2, 2, 2}));
    EXPECT_EQ(member(member(animation, "samplers").items()[2], "interpolation").as_string(), "STEP");
    // Nothing glTF can animate: left out with a warning (an animation needs a channel).
    SequenceContent props;
    props.property_targets = {"X\nPROP\nY"};
    const auto only = convert_with(skinned_model(), {{"p.kf", sequence_file("P", props)}});
    EXPECT_EQ(only.doc.animations.size() + only.stats.warnings.size(), 1u);
}

TEST(GltfAnimation, XyzRotationsAreSubdividedQuaternionKeys) {
    data::NiKeyframeData data;
    data.num_rotation_keys = 1;
    data.rotation_type = data::kRotationXyz;
    data.xyz_rotations[2].keys = {{0, 0, 0, 0, {}}, {1, 3.0f, 0, 0, {}}};  // 3 radians about z
    data.xyz_rotations[0].keys = {{0.5f, 0.25f, 0, 0, {}}};                // a constant tilt about x
    const auto result = convert_with(skinned_model(), {{"turn.kf", sequence_file("Turn", keys_on(data))}});
    const JsonValue& animation = result.doc.animations.at(0);
    const auto times = sampler_output(result.doc, animation, 0, "input");
    // 0 .. 0.5 turns 1.5 radians, less than three times pi / 6: three steps; 0.5 .. 1 likewise.
    const std::vector<double> expected{0, 1 / 6.0, 2 / 6.0, 0.5, 4 / 6.0, 5 / 6.0, 1};
    ASSERT_EQ(times.size(), expected.size());
    for (std::size_t i = 0; i < times.size(); ++i) EXPECT_NEAR(times[i], expected[i], 1e-6) << i;
    // The last key Rz(3) * Rx(0.25) = (cz sx, sz sx, sz cx, cz cx) with half angles, after
    // the axis change (x, z, -y, w).
    const auto keys = sampler_output(result.doc, animation, 0);
    const double sx = std::sin(0.125), cx = std::cos(0.125), sz = std::sin(1.5), cz = std::cos(1.5);
    const std::vector<double> last{cz * sx, sz * cx, -sz * sx, cz * cx};
    for (std::size_t i = 0; i < 4; ++i) EXPECT_NEAR(keys[keys.size() - 4 + i], last[i], 1e-6) << i;
    data.xyz_rotations[0].keys.clear();
    data.xyz_rotations[2].keys.clear();
    EXPECT_EQ(error_of([&] {
                  convert_with(skinned_model(), {{"x.kf", sequence_file("X", keys_on(data))}});
              }),
              "XYZ rotation without key groups");
}

TEST(GltfAnimation, ScaleKeysOnlyWhenAskedAndDamagedKeys) {
    data::NiKeyframeData data = walk_keys(1);
    data.scales.keys = {{0, 1, 0, 0, {}}, {1, 1.5f, 0, 0, {}}};
    data.translations.keys.push_back({0.5f, {9, 9, 9}, {}, {}, {}});  // steps back in time: dropped
    for (const bool asked : {false, true}) {
        const auto result = convert_with(skinned_model(), {{"grow.kf", sequence_file("Grow", keys_on(data))}}, asked);
        const JsonValue& animation = result.doc.animations.at(0);
        ASSERT_EQ(member(animation, "channels").size(), asked ? 3u : 2u);
        EXPECT_EQ(sampler_output(result.doc, animation, 1, "input"), (std::vector<double>{0, 1}));
        EXPECT_EQ(result.stats.warnings.size(), 1u);
        if (asked) {
            EXPECT_EQ(sampler_output(result.doc, animation, 2), (std::vector<double>{1, 1, 1, 1.5, 1.5, 1.5}));
        }
    }
    NifFile no_root = sequence_file("X", keys_on(data)), wrong_root = sequence_file("X", keys_on(data));
    no_root.roots.clear();
    wrong_root.roots = {1};
    EXPECT_EQ(error_of([&] { convert_with(skinned_model(), {{"x.kf", no_root}}); }), "kf without root: x.kf");
    EXPECT_EQ(error_of([&] {
                  convert_with(skinned_model(), {{"x.kf", wrong_root}});
              }),
              "unexpected block type for controller sequence: NiTextKeyExtraData");
}

TEST(GltfAnimation, RigidPartsUnderAnimatedNodesAreBoundToTheirNode) {
    NifFile file = make_nif_file();
    add_node(file, "Root");
    const auto arm = add_node(file, "Arm", {0, 0, 1});
    add_child(file, 0, arm);
    add_child(file, arm, add_quad(file, "Sword"));
    add_child(file, 0, add_quad(file, "Sword"));  // a still part of the same name
    file.roots = {0};
    const NifFile model = round_trip(file);
    EXPECT_TRUE(convert_with(model, {}).doc.skins.empty());
    const auto moving = convert_with(model, {{"swing.kf", sequence_file("Swing", keys_on(walk_keys(0), "Arm"))}});
    const auto& doc = moving.doc;
    EXPECT_EQ(moving.stats.rigid_bound, 1u);
    EXPECT_EQ(member(doc.skins.at(0), "name").as_string(), "rigid");
    const auto mesh = std::size_t(member(doc.nodes.at(std::size_t(node_named(doc, "Sword_rigid"))), "mesh").as_int());
    // Bound to its own node (2) with all weight, placed in the model's frame (raised by 1).
    EXPECT_EQ(attribute(doc, mesh, "JOINTS_0"), (std::vector<double>{2, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0}));
    EXPECT_EQ(attribute(doc, mesh, "WEIGHTS_0")[12], 1);
    EXPECT_EQ(attribute(doc, mesh, "POSITION")[10], 3);
    EXPECT_EQ(doc.nodes[2].find("mesh"), nullptr);
    EXPECT_EQ(member(doc.nodes[3], "name").as_string(), "Sword~3");  // unique names
}

}  // namespace
}  // namespace tarkeep::test
