// Nodes, meshes and materials of converted models.
#include "tests/data/gltf/gltf_test_util.h"

namespace tarkeep::test {
namespace {

TEST(GltfScene, NodesTakeTheAxisChangeScaleAndLodRanges) {
    const struct {
        bool y_up;
        double scale;
        std::vector<double> translation;
    } cases[] = {{true, 1, {1, 3, -2}}, {true, 0.5, {0.5, 1.5, -1}}, {false, 0.5, {1, 2, 3}}};
    for (const auto& c : cases) {
        auto options = test_options();
        options.y_up = c.y_up;
        options.scale = c.scale;
        const auto result = data::convert_model(scene_model(), {}, options);
        const JsonValue& root = result.doc.nodes.at(0);
        EXPECT_EQ(numbers(member(root, "translation")), c.translation);
        EXPECT_EQ(root.find("rotation"), root.find("scale"));  // both left out
        EXPECT_EQ(attribute(result.doc, 0, "POSITION")[c.y_up ? 10 : 11],
                  c.y_up ? 2 * c.scale : 2);  // corner (0, 0, 2)
        EXPECT_EQ(data::to_json(member(result.doc.nodes.at(1), "extras")),
                  R"({"lod_ranges":[[0.0,10.0],[10.0,50.0],[50.0,1000.0]]})");
        EXPECT_EQ(numbers(member(result.doc.nodes[1], "children")), (std::vector<double>{2, 3, 4}));
        EXPECT_EQ(result.stats.hidden_lods, 2u);
        EXPECT_EQ(member(result.doc.nodes[4], "mesh").as_int(), 2);
    }
    NifFile file = make_nif_file();
    data::NiNode turned;
    turned.rotation.m = {0, -1, 0, 1, 0, 0, 0, 0, 1};  // 90 degrees about z (up), so about y in glTF
    turned.scale = 2;
    add_nif_block(file, "NiNode", turned);
    file.roots = {0};
    const auto result = data::convert_model(round_trip(file), {}, test_options());
    const auto rotation = numbers(member(result.doc.nodes[0], "rotation"));
    for (std::size_t i = 0; i < 4; ++i) EXPECT_NEAR(rotation[i], i % 2 ? std::sqrt(0.5) : 0, 1e-7) << i;
    EXPECT_EQ(numbers(member(result.doc.nodes[0], "scale")), (std::vector<double>{2, 2, 2}));
}

TEST(GltfScene, MaterialsFollowColourAlphaAndTextureRules) {
    const auto result = data::convert_model(scene_model(), {}, test_options());
    ASSERT_EQ(result.doc.materials.size(), 3u);
    EXPECT_EQ(
        data::to_json(result.doc.materials[0]),
        R"({"name":"Near","pbrMetallicRoughness":{"metallicFactor":0.0,"roughnessFactor":1.0,)"
        R"("baseColorFactor":[1.0,1.0,0.0,0.5],"baseColorTexture":{"index":0}},"alphaMode":"MASK","alphaCutoff":)" +
            data::to_json(JsonValue(128 / 255.0)) + R"(,"extras":{"texture":"knight_pc","player_colour":"A"}})");
    EXPECT_EQ(
        data::to_json(result.doc.materials[1]),
        R"({"name":"Middle","pbrMetallicRoughness":{"metallicFactor":0.0,"roughnessFactor":1.0,)"
        R"("baseColorTexture":{"index":1}},"alphaMode":"BLEND","extras":{"texture":"knight","player_colour":null}})");
    EXPECT_EQ(data::to_json(member(result.doc.materials[2], "pbrMetallicRoughness")),
              R"({"metallicFactor":0.0,"roughnessFactor":1.0,"baseColorFactor":[0.0,1.0,0.0,0.5]})");
    EXPECT_EQ(result.stats.images, 2u);
    EXPECT_TRUE(result.stats.player_colour);
    auto options = test_options();
    options.embed_textures = false;
    EXPECT_TRUE(data::convert_model(scene_model(), {}, options).doc.textures.empty());
    options.embed_textures = true;
    options.texture_exists = [](const std::string& name) { return name == "knight"; };
    EXPECT_EQ(data::convert_model(scene_model(), {}, options).stats.images, 1u);
}

// Normal +z after the axis change, u along +x, v down the quad: the bitangent sum opposes
// n x t and w is +1; with u mirrored the tangent turns to -x and w is -1.
TEST(GltfScene, TangentsWithHandednessWhenANormalMapIsPresent) {
    for (const bool mirrored : {false, true}) {
        NifFile file = make_nif_file();
        add_node(file, "Root");
        add_child(file, 0, add_quad(file, "Quad", {add_texturing(file, "bumpy")}, mirrored));
        file.roots = {0};
        auto options = test_options();
        options.companions = [](const std::string&, std::uint32_t w, std::uint32_t h) {
            return std::make_shared<const data::GltfPbrImages>(
                data::GltfPbrImages{tiny_png(), tiny_png(), w * h / 8.0});
        };
        const auto result = data::convert_model(round_trip(file), {}, options);
        const double s = mirrored ? -1 : 1;
        EXPECT_EQ(attribute(result.doc, 0, "TANGENT"),
                  (std::vector<double>{s, 0, 0, s, s, 0, 0, s, s, 0, 0, s, s, 0, 0, s}));
        const JsonValue& material = result.doc.materials[0];
        EXPECT_EQ(
            data::to_json(member(material, "normalTexture")) + data::to_json(member(material, "occlusionTexture")),
            R"({"index":1,"scale":0.5}{"index":2})");
        EXPECT_EQ(
            data::to_json(member(material, "pbrMetallicRoughness")),
            R"({"metallicFactor":1.0,"roughnessFactor":1.0,"baseColorTexture":{"index":0},"metallicRoughnessTexture":{"index":2}})");
        EXPECT_EQ(member(result.doc.images[1], "name").as_string(), "bumpy#normal");
    }
    EXPECT_EQ(attributes(data::convert_model(scene_model(), {}, test_options()).doc, 0).find("TANGENT"), nullptr);
}

TEST(GltfScene, DamagedModelsEndWithAGltfErrorOrAWarning) {
    const auto shape = [](NifFile& f) -> data::NiGeometry& { return dynamic_cast<data::NiGeometry&>(*f.blocks[2]); };
    const auto mesh = [](NifFile& f) -> data::NiTriShapeData& {
        return dynamic_cast<data::NiTriShapeData&>(*f.blocks[1]);
    };
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
        {[&](NifFile& f) { mesh(f).triangles[1].c = 4; }, "triangle index out of range in geometry Quad"},
        {[&](NifFile& f) { mesh(f).vertices[2].y = NAN; }, "non-finite value in POSITION of geometry Quad"},
        {[](NifFile& f) { dynamic_cast<data::NiNode&>(*f.blocks[0]).scale = INFINITY; },
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
        const std::string error = error_of([&] {
            result = data::convert_model(file, {}, test_options());
            data::write_glb(result.doc);
        });
        EXPECT_EQ(error == "no error" ? "warning: " + result.stats.warnings.at(0) : error, c.error);
    }
}

}  // namespace
}  // namespace tarkeep::test
