// Nodes, meshes and materials of converted models.
#include "tests/data/gltf/gltf_test_util.h"

namespace tarkeep::test {
namespace {

// The scene model under three axis/scale settings: nodes, LOD ranges, positions, materials.
TEST(GltfScene, NodesLodRangesAndMaterials) {
    const std::tuple<bool, double, const char*, Doubles> cases[] = {// y up, scale, root, far quad's (1, 0, 2)
                                                                    {true, 1, "[1.0,3.0,-2.0]", {1, 2, -0.0}},
                                                                    {true, 0.5, "[0.5,1.5,-1.0]", {0.5, 1, -0.0}},
                                                                    {false, 0.5, "[1.0,2.0,3.0]", {1, 0, 2}}};
    for (const auto& [y_up, scale, translation, corner] : cases) {
        auto options = test_options();
        std::tie(options.y_up, options.scale) = std::tuple(y_up, scale);
        const auto result = convert(scene_model(), {}, options);
        EXPECT_EQ(to_json(JsonValue::array_of(result.doc.nodes)),  // no rotation, no scale
                  R"([{"name":"Root","translation":)" + std::string(translation) +
                      R"(,"children":[1]},{"name":"Levels","extras":{"lod_ranges":[[0.0,10.0],[10.0,50.0],)"
                      R"([50.0,1000.0]]},"children":[2,3,4]},{"name":"Near","mesh":0},{"name":"Middle","mesh":1},)"
                      R"({"name":"Far","mesh":2}])");
        const Doubles far = attribute(result.doc, 2, "POSITION");
        EXPECT_EQ(Doubles(far.begin() + 6, far.begin() + 9), corner);
        EXPECT_EQ(result.stats.hidden_lods + result.stats.images, 2u + 2u);
        EXPECT_TRUE(result.stats.player_colour);
        const std::string pbr = R"("pbrMetallicRoughness":{"metallicFactor":0.0,"roughnessFactor":1.0,)";
        EXPECT_EQ(to_json(JsonValue::array_of(result.doc.materials)),
                  R"([{"name":"Near",)" + pbr + R"("baseColorFactor":[1.0,1.0,0.0,0.5],"baseColorTexture":)" +
                      R"({"index":0}},"alphaMode":"MASK","alphaCutoff":)" + to_json(128 / 255.0) +
                      R"(,"extras":{"texture":"knight_pc","player_colour":"A"}},{"name":"Middle",)" + pbr +
                      R"("baseColorTexture":{"index":1}},"alphaMode":"BLEND","extras":{"texture":"knight",)" +
                      R"("player_colour":null}},{"name":"Far",)" + pbr + R"("baseColorFactor":[0.0,1.0,0.0,0.5]}}])");
        EXPECT_EQ(attributes(result.doc, 0).find("TANGENT"), nullptr);  // no normal map
    }
    NifFile short_uvs = scene_model();  // the far quad's UV set one short: left out
    block<data::NiTriShapeData>(short_uvs, 14).uv_sets[0].pop_back();
    const auto without = convert(short_uvs);
    EXPECT_EQ(attributes(without.doc, 2).find("TEXCOORD_0"), nullptr);
    auto options = test_options();
    options.embed_textures = false;
    EXPECT_TRUE(convert(scene_model(), {}, options).doc.textures.empty());
    options.embed_textures = true;
    options.texture_exists = [](const std::string& name) { return name == "knight"; };
    EXPECT_EQ(convert(scene_model(), {}, options).stats.images, 1u);
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
        block<data::NiNode>(file, add_nif_node(file, "")).rotation = rotation;
        block<data::NiNode>(file, 0).scale = 2;
        const JsonValue node = convert(round_trip(file)).doc.nodes[0];
        expect_near(numbers(member(node, "rotation")), quaternion);
        EXPECT_EQ(to_json(member(node, "scale")), "[2.0,2.0,2.0]");
    }
}

// Normal +z after the axis change. u along +x, v down the quad: the bitangent sum opposes n x t
// and w is +1; u mirrored: the tangent turns to -x and w to -1; u up, v along x: +y and +1.
TEST(GltfScene, TangentsWithHandednessWhenANormalMapIsPresent) {
    const std::pair<std::vector<data::NifTexCoord>, Doubles> cases[] = {
        {{{0, 1}, {1, 1}, {1, 0}, {0, 0}}, {1, 0, 0, 1}},
        {{{.1f, .1f}, {0, .1f}, {0, 0}, {.1f, 0}}, {-1, 0, 0, -1}},  // small: n x t . b in (0, 1)
        {{{0, 0}, {0, 1}, {1, 1}, {1, 0}}, {0, 1, 0, 1}}};
    auto options = test_options();
    options.companions = [](const std::string&, std::uint32_t w, std::uint32_t h) {
        return std::make_shared<const data::GltfPbrImages>(data::GltfPbrImages{tiny_png(), tiny_png(), w * h / 8.0});
    };
    for (const auto& [uvs, tangent] : cases) {
        NifFile file = make_nif_file();
        add_nif_node(file, "Root");
        add_nif_quad(file, {"Quad", {add_nif_texturing(file, "bumpy")}, 0, uvs});
        const auto result = convert(round_trip(file), {}, options);
        Doubles expected;
        for (int vertex = 0; vertex < 4; ++vertex) expected.insert(expected.end(), tangent.begin(), tangent.end());
        EXPECT_EQ(attribute(result.doc, 0, "TANGENT"), expected);
        EXPECT_EQ(to_json(result.doc.materials[0]) + to_json(result.doc.images[1]),
                  R"({"name":"Quad","pbrMetallicRoughness":{"metallicFactor":1.0,"roughnessFactor":1.0,)"
                  R"("baseColorTexture":{"index":0},"metallicRoughnessTexture":{"index":2}},)"
                  R"("normalTexture":{"index":1,"scale":0.5},"occlusionTexture":{"index":2},)"
                  R"("extras":{"texture":"bumpy","player_colour":null}})"
                  R"({"bufferView":5,"mimeType":"image/png","name":"bumpy#normal"})");
    }
}

}  // namespace
}  // namespace tarkeep::test
