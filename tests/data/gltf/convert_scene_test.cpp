// Nodes, meshes and materials of converted models.
#include "tests/data/gltf/gltf_test_util.h"

namespace tarkeep::test {
namespace {

TEST(GltfScene, NodesTakeTheAxisChangeScaleAndLodRanges) {
    const struct {
        bool y_up;
        double scale;
        const char* translation;
        Doubles corner;  // of the far quad, (1, 0, 2) in the file
    } cases[] = {{true, 1, "[1.0,3.0,-2.0]", {1, 2, -0.0}},
                 {true, 0.5, "[0.5,1.5,-1.0]", {0.5, 1, -0.0}},
                 {false, 0.5, "[1.0,2.0,3.0]", {1, 0, 2}}};
    for (const auto& c : cases) {
        auto options = test_options();
        options.y_up = c.y_up;
        options.scale = c.scale;
        const auto result = convert(scene_model(), {}, options);
        EXPECT_EQ(to_json(result.doc.nodes.at(0)), R"({"name":"Root","translation":)" + std::string(c.translation) +
                                                       R"(,"children":[1]})");  // no rotation, no scale
        const Doubles far = attribute(result.doc, 2, "POSITION");
        EXPECT_EQ(Doubles(far.begin() + 6, far.begin() + 9), c.corner);
        EXPECT_EQ(to_json(result.doc.nodes.at(1)),
                  R"({"name":"Levels","extras":{"lod_ranges":[[0.0,10.0],[10.0,50.0],[50.0,1000.0]]},)"
                  R"("children":[2,3,4]})");
        EXPECT_EQ(to_json(result.doc.nodes.at(4)), R"({"name":"Far","mesh":2})");
        EXPECT_EQ(result.stats.hidden_lods, 2u);
    }
    // Rotations that take each branch of the matrix conversion, and a scale.
    const double h = std::sqrt(0.5);
    const std::pair<data::NifMatrix33, Doubles> turns[] = {
        {{{0, -1, 0, 1, 0, 0, 0, 0, 1}}, {0, h, 0, h}},  // 90 degrees about z (up): about y in glTF
        {{{0.2304f, -0.352f, 0.9072f, 0.928f, 0.36f, -0.096f, -0.2928f, 0.864f, 0.4096f}},  // about (.48, .6, .64)
         {0.48 * h, 0.64 * h, -0.6 * h, h}},
        // Half turns, the branches without w: about (.8, .48, .36), (.36, .8, .48), (.48, .6, .64).
        {{{0.28f, 0.768f, 0.576f, 0.768f, -0.5392f, 0.3456f, 0.576f, 0.3456f, -0.7408f}}, {0.8, 0.36, -0.48, 0}},
        {{{-0.7408f, 0.576f, 0.3456f, 0.576f, 0.28f, 0.768f, 0.3456f, 0.768f, -0.5392f}}, {0.36, 0.48, -0.8, 0}},
        {{{-0.5392f, 0.576f, 0.6144f, 0.576f, -0.28f, 0.768f, 0.6144f, 0.768f, -0.1808f}}, {0.48, 0.64, -0.6, 0}}};
    for (const auto& [rotation, quaternion] : turns) {
        NifFile file = make_nif_file();
        data::NiNode turned;
        turned.rotation = rotation;
        turned.scale = 2;
        add_nif_block(file, "NiNode", turned);
        const auto result = convert(round_trip(file));
        const JsonValue& node = result.doc.nodes[0];
        expect_near(numbers(member(node, "rotation")), quaternion);
        EXPECT_EQ(to_json(member(node, "scale")), "[2.0,2.0,2.0]");
    }
}

TEST(GltfScene, MaterialsFollowColourAlphaAndTextureRules) {
    const auto result = convert(scene_model());
    ASSERT_EQ(result.doc.materials.size(), 3u);
    const std::string pbr = R"({"name":"Near","pbrMetallicRoughness":{"metallicFactor":0.0,"roughnessFactor":1.0,)";
    EXPECT_EQ(to_json(result.doc.materials[0]),
              pbr + R"("baseColorFactor":[1.0,1.0,0.0,0.5],"baseColorTexture":{"index":0}},"alphaMode":"MASK",)" +
                  R"("alphaCutoff":)" + to_json(128 / 255.0) +
                  R"(,"extras":{"texture":"knight_pc","player_colour":"A"}})");
    EXPECT_EQ(
        to_json(result.doc.materials[1]),
        R"({"name":"Middle","pbrMetallicRoughness":{"metallicFactor":0.0,"roughnessFactor":1.0,)"
        R"("baseColorTexture":{"index":1}},"alphaMode":"BLEND","extras":{"texture":"knight","player_colour":null}})");
    EXPECT_EQ(to_json(result.doc.materials[2]),
              R"({"name":"Far","pbrMetallicRoughness":{"metallicFactor":0.0,"roughnessFactor":1.0,)"
              R"("baseColorFactor":[0.0,1.0,0.0,0.5]}})");
    EXPECT_EQ(result.stats.images, 2u);
    EXPECT_TRUE(result.stats.player_colour);
    auto options = test_options();
    options.embed_textures = false;
    EXPECT_TRUE(convert(scene_model(), {}, options).doc.textures.empty());
    options.embed_textures = true;
    options.texture_exists = [](const std::string& name) { return name == "knight"; };
    EXPECT_EQ(convert(scene_model(), {}, options).stats.images, 1u);
}

// Normal +z after the axis change. u along +x, v down the quad: the bitangent sum opposes n x t
// and w is +1; u mirrored: the tangent turns to -x and w to -1; u up, v along x: +y and +1.
TEST(GltfScene, TangentsWithHandednessWhenANormalMapIsPresent) {
    const std::pair<std::vector<data::NifTexCoord>, Doubles> cases[] = {
        {{{0, 1}, {1, 1}, {1, 0}, {0, 0}}, {1, 0, 0, 1}},
        {{{1, 1}, {0, 1}, {0, 0}, {1, 0}}, {-1, 0, 0, -1}},
        {{{0, 0}, {0, 1}, {1, 1}, {1, 0}}, {0, 1, 0, 1}}};
    for (const auto& [uvs, tangent] : cases) {
        NifFile file = make_nif_file();
        add_node(file, "Root");
        add_child(file, 0, add_quad(file, "Quad", {add_texturing(file, "bumpy")}, uvs));
        auto options = test_options();
        options.companions = [](const std::string&, std::uint32_t w, std::uint32_t h) {
            return std::make_shared<const data::GltfPbrImages>(
                data::GltfPbrImages{tiny_png(), tiny_png(), w * h / 8.0});
        };
        const auto result = convert(round_trip(file), {}, options);
        Doubles expected;
        for (int vertex = 0; vertex < 4; ++vertex) expected.insert(expected.end(), tangent.begin(), tangent.end());
        EXPECT_EQ(attribute(result.doc, 0, "TANGENT"), expected);
        EXPECT_EQ(to_json(result.doc.materials[0]),
                  R"({"name":"Quad","pbrMetallicRoughness":{"metallicFactor":1.0,"roughnessFactor":1.0,)"
                  R"("baseColorTexture":{"index":0},"metallicRoughnessTexture":{"index":2}},)"
                  R"("normalTexture":{"index":1,"scale":0.5},"occlusionTexture":{"index":2},)"
                  R"("extras":{"texture":"bumpy","player_colour":null}})");
        EXPECT_EQ(to_json(result.doc.images[1]), R"({"bufferView":5,"mimeType":"image/png","name":"bumpy#normal"})");
    }
    EXPECT_EQ(attributes(convert(scene_model()).doc, 0).find("TANGENT"), nullptr);
}

TEST(GltfScene, DamagedModelsEndWithAGltfErrorOrAWarning) {
    const auto shape = [](NifFile & f) -> auto& { return block<data::NiGeometry>(f, 2); };
    const auto mesh = [](NifFile & f) -> auto& { return block<data::NiTriShapeData>(f, 1); };
    const struct {
        std::function<void(NifFile&)> damage;
        const char* error;
    } cases[] = {
        {[](NifFile& f) { f.roots.clear(); }, "no root"},
        {[](NifFile& f) { f.roots = {7}; }, "block reference out of range: scene graph node"},
        {[](NifFile& f) { f.roots = {1}; }, "unexpected block type for scene graph node: NiTriShapeData"},
        {[](NifFile& f) { add_child(f, 0, 0); }, "cycle in the node tree at block 0"},
        {[&](NifFile& f) { shape(f).data = 0; }, "unexpected block type for geometry data: NiNode"},
        {[&](NifFile& f) { shape(f).properties = {9}; }, "block reference out of range: property"},
        {[&](NifFile& f) { mesh(f).triangles[0].a = 4; }, "triangle index out of range in geometry Quad"},
        {[&](NifFile& f) { mesh(f).triangles[0].b = 4; }, "triangle index out of range in geometry Quad"},
        {[&](NifFile& f) { mesh(f).triangles[1].c = 4; }, "triangle index out of range in geometry Quad"},
        {[&](NifFile& f) { mesh(f).vertices[2].y = NAN; }, "non-finite value in POSITION of geometry Quad"},
        {[](NifFile& f) { block<data::NiNode>(f, 0).scale = INFINITY; },
         "non-finite number in nodes[0].scale[0] (\"Root\")"},
        {[&](NifFile& f) { mesh(f).triangles.clear(); }, "warning: geometry Quad has no triangles, left out"},
    };
    for (const auto& c : cases) {
        NifFile file = make_nif_file();
        add_node(file, "Root");
        add_child(file, 0, add_quad(file, "Quad"));
        file.roots = {0};
        c.damage(file);
        data::GltfConvertResult result;
        const std::string error = error_text([&] {
            result = convert(file);
            data::write_glb(result.doc);
        });
        EXPECT_EQ(error == "no error" ? "warning: " + result.stats.warnings.at(0) : error, c.error);
    }
}

}  // namespace
}  // namespace tarkeep::test
