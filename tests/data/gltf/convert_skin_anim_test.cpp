// Skins and animations of converted models, and every kind of converted file through the validator.
#include "tests/data/gltf/gltf_test_util.h"

namespace tarkeep::test {
namespace {

TEST(GltfSkin, InfluencesJointsAndInverseBinds) {
    const auto result = convert(skinned_model());
    const auto& doc = result.doc;
    // Vertex 0: hip 0.4 + 0.3 (two bones, one node), then of the equal 0.2s the higher bone
    // (the root) before the spine; 0.1 is cut; sum 1.1. Vertex 1: equal weights, higher bone
    // first. Vertices 2 (weights summing to 0) and 3 (none) take the first joint / the root.
    EXPECT_EQ(attribute(doc, 0, "JOINTS_0"), (Doubles{1, 0, 2, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    expect_near(attribute(doc, 0, "WEIGHTS_0"),
                {0.7 / 1.1, 0.2 / 1.1, 0.2 / 1.1, 0, 0.5, 0.5, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0});
    EXPECT_EQ(result.stats.vertices_without_influence + result.stats.max_influences, 1u + 5u);
    EXPECT_EQ(doc.scene_nodes, (std::vector<std::int64_t>{0, 4}));
    EXPECT_EQ(to_json(doc.nodes.at(4)) + to_json(doc.skins.at(0)),
              R"({"name":"Body_skinned","mesh":0,"skin":0}{"joints":[0,1,2,3],"inverseBindMatrices":2,)"
              R"("skeleton":0,"name":"Body"})");
    // Inverse binds undo the rest places: Bip01 Spine at height 2 (y in glTF), also when the skin
    // data is off by less than the tolerance; when it binds the spine elsewhere (height 5), that wins.
    for (const float z : {-2.0005f, -5.0f}) {
        NifFile moved = skinned_model();
        block<data::NiSkinData>(moved, 5).bones[2].transform.translation.z = z;
        const auto d = convert(moved).doc;
        const auto matrices = accessor_values(d, member(d.skins[0], "inverseBindMatrices"));
        EXPECT_EQ(Doubles(matrices.begin() + 28, matrices.begin() + 48),
                  (Doubles{0, -1, 0, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, z < -3 ? -5.0 : -2.0, 0, 1}));
    }
    for (const std::size_t joints : {255u, 256u}) {  // the model's 4 nodes and extra ones
        const auto big = convert(skinned_model(joints - 4));
        EXPECT_EQ(to_json(big.doc.accessors.at(std::size_t(member(attributes(big.doc, 0), "JOINTS_0").as_int()))),
                  R"({"bufferView":0,"componentType":)" + std::to_string(joints < 256 ? 5121 : 5123) +
                      R"(,"count":4,"type":"VEC4"})");
    }
}

// Walk: keyframes, visibility (stepped scale) and a property target; Idle: no move; Turn: XYZ keys.
TEST(GltfAnimation, KeyframeVisibilityPropertyTargetsAndXyzRotations) {
    data::NiVisData blink;
    blink.keys = {{0, 1}, {0.5f, 0}, {1, 1}};
    data::NiKeyframeData xyz;
    std::tie(xyz.num_rotation_keys, xyz.rotation_type) = std::tuple(1, data::kRotationXyz);
    xyz.xyz_rotations[2].keys = {{0, 0, 0, 0, {}}, {1, 3.0f, 0, 0, {}}};  // 3 radians about z
    xyz.xyz_rotations[0].keys = {{0.5f, 0.25f, 0, 0, {}}};                // a constant tilt about x
    NifFile model = skinned_model();
    block<data::NiNode>(model, 1).scale = 2;
    const auto doc = convert(model, {keys_on("Walk", walk_keys(2), "bip01", &blink, {"Body\nPROP\nNiAlphaProperty"}),
                                     keys_on("Idle", walk_keys(0)), keys_on("Turn", xyz)})
                         .doc;
    EXPECT_EQ(to_json(member(doc.animations.at(0), "channels")) + to_json(member(doc.animations[0], "extras")),
              R"([{"sampler":0,"target":{"node":1,"path":"rotation"}},{"sampler":1,"target":{"node":1,)"
              R"("path":"translation"}},{"sampler":2,"target":{"node":1,"path":"scale"}}])"
              R"({"sequence":"Walk","text_keys":[{"time":0.0,"text":"start"},{"time":1.0,"text":"end"}],)"
              R"("accum_root":"Bip01","not_in_gltf_core":["Body | PROP | NiAlphaProperty"],"moves":true})");
    EXPECT_EQ(to_json(member(member(doc.animations.at(1), "extras"), "moves")), "false");
    expect_near(samples(doc, 0, 0), {0, 0, 0, 1, 0, std::sin(0.35), 0, std::cos(0.35)});  // about z: y in glTF
    EXPECT_EQ(samples(doc, 0, 1), (Doubles{0, 0, 0, 0, 0, -2}));
    EXPECT_EQ(samples(doc, 0, 1, "input"), (Doubles{0, 1}));
    EXPECT_EQ(samples(doc, 0, 2), (Doubles{2, 2, 2, 0, 0, 0, 2, 2, 2}));
    EXPECT_EQ(member(member(doc.animations[0], "samplers").items()[2], "interpolation").as_string(), "STEP");
    // 0 .. 0.5 turns 1.5 radians, less than three times pi / 6: three steps; 0.5 .. 1 likewise.
    expect_near(samples(doc, 2, 0, "input"), {0, 1 / 6.0, 2 / 6.0, 0.5, 4 / 6.0, 5 / 6.0, 1});
    // The last key Rz(3) * Rx(0.25) = (cz sx, sz sx, sz cx, cz cx) with half angles, after
    // the axis change (x, z, -y, w).
    const auto keys = samples(doc, 2, 0);
    const double sx = std::sin(0.125), cx = std::cos(0.125), sz = std::sin(1.5), cz = std::cos(1.5);
    expect_near(Doubles(keys.end() - 4, keys.end()), {cz * sx, sz * cx, -sz * sx, cz * cx});
}

// Damage to the skinned model or its keyframe files: an error, or a warning and the part left out.
TEST(GltfConvert, DamagedModelsSkinsAndKeyframeFiles) {
    const auto shape = [](NifFile & f) -> auto& { return block<data::NiGeometry>(f, 4); };
    const auto mesh = [](NifFile & f) -> auto& { return block<data::NiTriShapeData>(f, 3); };
    const auto skin = [](NifFile & f) -> auto& { return block<data::NiSkinData>(f, 5); };
    const auto instance = [](NifFile & f) -> auto& { return block<data::NiSkinInstance>(f, 6); };
    data::NiKeyframeData grow = walk_keys(1), xyz;
    grow.scales.keys = {{0, 1, 0, 0, {}}, {1, 1.5f, 0, 0, {}}};
    grow.translations.keys.push_back({0.5f, {9, 9, 9}, {}, {}, {}});  // steps back in time: dropped
    std::tie(xyz.num_rotation_keys, xyz.rotation_type) = std::tuple(1, data::kRotationXyz);
    const auto rooted = [&](std::vector<std::uint32_t> roots) {
        NifFile file = data::read_nif(keys_on("X", grow).bytes);
        file.roots = std::move(roots);
        return std::vector<Kf>{{"X.kf", write_nif(file)}};
    };
    const std::tuple<std::function<void(NifFile&)>, std::vector<Kf>, const char*> cases[] = {
        {[](NifFile& f) { f.roots.clear(); }, {}, "no root"},
        {[](NifFile& f) { f.roots = {7}; }, {}, "block reference out of range: scene graph node"},
        {[](NifFile& f) { f.roots = {3}; }, {}, "unexpected block type for scene graph node: NiTriShapeData"},
        {[](NifFile& f) { add_nif_child(f, 0, 0); }, {}, "cycle in the node tree at block 0"},
        {[&](NifFile& f) { shape(f).data = 0; }, {}, "unexpected block type for geometry data: NiNode"},
        {[&](NifFile& f) { shape(f).properties = {9}; }, {}, "block reference out of range: property"},
        {[&](NifFile& f) { mesh(f).triangles[0].a = 4; }, {}, "triangle index out of range in geometry Body"},
        {[&](NifFile& f) { mesh(f).triangles[0].b = 4; }, {}, "triangle index out of range in geometry Body"},
        {[&](NifFile& f) { mesh(f).triangles[1].c = 4; }, {}, "triangle index out of range in geometry Body"},
        {[&](NifFile& f) { mesh(f).vertices[2].y = NAN; }, {}, "non-finite value in POSITION of geometry Body"},
        {[](NifFile& f) { block<data::NiNode>(f, 2).scale = INFINITY; },
         {},
         "non-finite number in nodes[2].scale[0] (\"Bip01 Spine\")"},
        {[&](NifFile& f) { mesh(f).triangles.clear(); }, {}, "warning: geometry Body has no triangles, left out"},
        {[&](NifFile& f) { instance(f).bones.push_back(0); }, {}, "skin data has fewer bones than the skin instance"},
        {[&](NifFile& f) {
             skin(f).bones[0].weights.push_back({4, 0.5f});
         },
         {},
         "skin weight for a vertex out of range"},
        {[&](NifFile& f) { instance(f).bones[1] = 3; }, {}, "skin bone outside the node tree"},
        {[&](NifFile& f) { instance(f).bones.pop_back(); }, {}, "skin weight for a bone out of range"},
        {[&](NifFile& f) { instance(f).data = 0; }, {}, "unexpected block type for skin data: NiNode"},
        {[&](NifFile& f) { instance(f).data = 99; }, {}, "block reference out of range: skin data"},
        {[&](NifFile& f) { skin(f).bones[0].weights[0].weight = NAN; }, {}, "non-finite skin weight in geometry Body"},
        {[&](NifFile& f) {
             add_nif_child(f, add_nif_node(f, "Above", {}, add_nif_node(f, "Top")), 0), add_nif_child(f, 8, 7);
         },
         {},
         "cycle in the node tree at block 4"},  // two nodes above the root, each the other's parent
        {[](NifFile&) {}, {keys_on("Grow", grow)}, "warning: animation Grow: 1 keys out of time order dropped"},
        {[](NifFile&) {},
         {keys_on("Still", {})},
         "warning: animation Still (Still.kf) has nothing glTF can animate, left out"},
        {[](NifFile&) {}, {keys_on("X", xyz)}, "XYZ rotation without key groups"},
        {[](NifFile&) {}, rooted({}), "kf without root: X.kf"},
        {[](NifFile&) {}, rooted({1}), "unexpected block type for controller sequence: NiTextKeyExtraData"},
    };
    auto options = test_options();
    options.scale_channels = true;
    for (const auto& [damage, kfs, expected] : cases) {
        NifFile file = skinned_model();
        damage(file);
        data::GltfConvertResult result;
        const std::string error = error_text([&] { data::write_glb((result = convert(file, kfs, options)).doc); });
        EXPECT_EQ(error == "no error" ? "warning: " + result.stats.warnings.at(0) : error, expected);
        EXPECT_EQ(result.doc.animations.size(), kfs.size() == 1 && kfs[0].path == "Grow.kf" ? 1u : 0u);
    }
    const Kf grown_kf = std::get<1>(cases[20])[0];
    const auto grown = convert(skinned_model(), {grown_kf}, options);
    EXPECT_EQ(samples(grown.doc, 0, 1, "input") + samples(grown.doc, 0, 2), (Doubles{0, 1, 1, 1, 1, 1.5, 1.5, 1.5}));
    EXPECT_EQ(member(convert(skinned_model(), {grown_kf}).doc.animations.at(0), "channels").size(), 2u);
}

TEST(GltfAnimation, RigidPartsUnderAnimatedNodesAreBoundAndEveryKindOfFilePassesTheValidator) {
    auto options = test_options();
    options.scale = 0.27;  // the command's factor: bounds must still match the stored floats
    options.scale_channels = true;
    data::NiKeyframeData xyz;
    std::tie(xyz.num_rotation_keys, xyz.rotation_type) = std::tuple(1, data::kRotationXyz);
    xyz.xyz_rotations[1].keys = {{0, 0, 0, 0, {}}, {2, 6, 0, 0, {}}};
    data::NiVisData blink;
    blink.keys = {{0, 1}, {0.5f, 0}};
    const std::vector<Kf> kfs{keys_on("Walk", walk_keys(1), "Bip01", &blink, {"Body\nPROP\nNiMaterialProperty"}),
                              keys_on("Turn", xyz, "Bip01 Spine"), keys_on("Swing", walk_keys(0), "Arm")};
    // Root > Arm (z 1) > Sword, and a still Sword under the root.
    NifFile file = make_nif_file();
    add_nif_node(file, "Root");
    add_nif_quad(file, {"Sword", {add_nif_texturing(file, "sword")}, add_nif_node(file, "Arm", {0, 0, 1}, 0)});
    add_nif_quad(file, {"Sword", {}, 0});
    const NifFile rigid_model = round_trip(file);
    EXPECT_TRUE(convert(rigid_model).doc.skins.empty());
    const auto rigid = convert(rigid_model, kfs, options);
    const auto& doc = rigid.doc;
    EXPECT_EQ(rigid.stats.rigid_bound, 1u);
    EXPECT_EQ(
        to_json(doc.nodes[2]) + to_json(doc.nodes[3]) + to_json(doc.nodes[4]) + to_json(member(doc.skins[0], "name")),
        R"({"name":"Sword"}{"name":"Sword~3","mesh":1}{"name":"Sword_rigid","mesh":0,"skin":0}"rigid")");
    // Bound to its own node (2) with all weight, placed in the model's frame (raised by 1).
    EXPECT_EQ(
        attribute(doc, 0, "JOINTS_0") + attribute(doc, 0, "WEIGHTS_0"),
        (Doubles{2, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_FLOAT_EQ(attribute(doc, 0, "POSITION")[10], 3 * 0.27);
    auto pbr = options;
    pbr.companions = [](const std::string&, std::uint32_t, std::uint32_t) {
        return std::make_shared<const data::GltfPbrImages>(data::GltfPbrImages{tiny_png(), tiny_png(), 1});
    };
    expect_valid({{"scene_pbr", glb_of(convert(scene_model(), {}, pbr))},
                  {"skinned_256", glb_of(convert(skinned_model(252), {}, options))},
                  {"skinned_animated", glb_of(convert(skinned_model(), kfs, options))},
                  {"rigid_bound", glb_of(rigid)}});
}

}  // namespace
}  // namespace tarkeep::test
