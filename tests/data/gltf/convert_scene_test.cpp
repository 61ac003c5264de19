// Nodes, meshes and materials of converted models.
#include "tests/data/gltf/gltf_models.h"

namespace tarkeep::test {
namespace {

using data::GltfError;

TEST(GltfScene, NodeTransformsUseTheAxisChangeAndLengthScale) {
    const data::NifFile file = scene_model();
    const struct {
        bool y_up;
        double scale;
        std::vector<double> translation;
    } cases[] = {{true, 1, {1, 3, -2}}, {true, 0.5, {0.5, 1.5, -1}}, {false, 0.5, {1, 2, 3}}};
    for (const auto& c : cases) {
        auto options = test_options();
        options.y_up = c.y_up;
        options.scale = c.scale;
        const auto result = data::convert_model(file, {}, options);
        const JsonValue& root = result.doc.nodes.at(0);
        EXPECT_EQ(numbers(member(root, "translation")), c.translation);
        EXPECT_EQ(root.find("rotation"), nullptr);
        EXPECT_EQ(root.find("scale"), nullptr);
        // Positions of a rigid part scale too: the quad's far corner (0, 0, 2).
        EXPECT_EQ(attribute(result.doc, 0, "POSITION")[c.y_up ? 10 : 11], c.y_up ? 2 * c.scale : 2);
    }
}

TEST(GltfScene, RotationAndScaleAppearOnlyWhenNotIdentity) {
    data::NifFile file = make_nif_file();
    data::NiNode node;
    node.name = "Turned";
    node.rotation.m = {0, -1, 0, 1, 0, 0, 0, 0, 1};  // 90 degrees about z
    node.scale = 2;
    add_nif_block(file, "NiNode", node);
    file.roots = {0};
    const auto result = data::convert_model(round_trip(file), {}, test_options());
    const auto rotation = numbers(member(result.doc.nodes[0], "rotation"));
    const double h = std::sqrt(0.5);
    // About z (up) in the file is about y (up) after the axis change.
    ASSERT_EQ(rotation.size(), 4u);
    EXPECT_NEAR(rotation[0], 0, 1e-9);
    EXPECT_NEAR(rotation[1], h, 1e-7);
    EXPECT_NEAR(rotation[2], 0, 1e-9);
    EXPECT_NEAR(rotation[3], h, 1e-7);
    EXPECT_EQ(numbers(member(result.doc.nodes[0], "scale")), (std::vector<double>{2, 2, 2}));
}

TEST(GltfScene, LodNodesCarryTheirRangesAndCountHiddenLevels) {
    const auto result = data::convert_model(scene_model(), {}, test_options());
    const JsonValue& lod = result.doc.nodes.at(1);
    EXPECT_EQ(member(lod, "name").as_string(), "Levels");
    EXPECT_EQ(data::to_json(member(lod, "extras")), "{\"lod_ranges\":[[0.0,10.0],[10.0,50.0],[50.0,1000.0]]}");
    EXPECT_EQ(numbers(member(lod, "children")), (std::vector<double>{2, 3, 4}));
    EXPECT_EQ(result.stats.hidden_lods, 2u);
    EXPECT_EQ(member(result.doc.nodes[2], "mesh").as_int(), 0);
}

TEST(GltfScene, MaterialsFollowColourAlphaAndTextureRules) {
    const auto result = data::convert_model(scene_model(), {}, test_options());
    ASSERT_EQ(result.doc.materials.size(), 3u);
    EXPECT_EQ(data::to_json(result.doc.materials[0]),
              "{\"name\":\"Near\",\"pbrMetallicRoughness\":{\"metallicFactor\":0.0,\"roughnessFactor\":1.0,"
              "\"baseColorFactor\":[1.0,1.0,0.0,0.5],\"baseColorTexture\":{\"index\":0}},\"alphaMode\":\"MASK\","
              "\"alphaCutoff\":" + data::to_json(JsonValue(128 / 255.0)) +
                  ",\"extras\":{\"texture\":\"knight_pc\",\"player_colour\":\"A\"}}");
    EXPECT_EQ(data::to_json(result.doc.materials[1]),
              "{\"name\":\"Middle\",\"pbrMetallicRoughness\":{\"metallicFactor\":0.0,\"roughnessFactor\":1.0,"
              "\"baseColorTexture\":{\"index\":1}},\"alphaMode\":\"BLEND\","
              "\"extras\":{\"texture\":\"knight\",\"player_colour\":null}}");
    EXPECT_EQ(data::to_json(result.doc.materials[2]),
              "{\"name\":\"Far\",\"pbrMetallicRoughness\":{\"metallicFactor\":0.0,\"roughnessFactor\":1.0}}");
    EXPECT_EQ(result.stats.images, 2u);
    EXPECT_TRUE(result.stats.player_colour);
    EXPECT_EQ(member(result.doc.images[0], "name").as_string(), "knight_pc");
}

TEST(GltfScene, EmissiveMaterialsTakeTheDiffuseColour) {
    data::NifFile file = make_nif_file();
    add_node(file, "Root");
    data::NiMaterialProperty colours;
    colours.ambient = {1, 0, 0};
    colours.diffuse = {0, 1, 0.25f};
    colours.emissive = {0, 0, 0.1f};
    colours.alpha = 1;
    add_child(file, 0, add_quad(file, "Lamp", {add_nif_block(file, "NiMaterialProperty", colours)}));
    file.roots = {0};
    const auto result = data::convert_model(round_trip(file), {}, test_options());
    EXPECT_EQ(numbers(member(member(result.doc.materials[0], "pbrMetallicRoughness"), "baseColorFactor")),
              (std::vector<double>{0, 1, 0.25, 1}));
}

TEST(GltfScene, TexturesAreNotEmbeddedWhenMissingOrTurnedOff) {
    const struct {
        bool exists;
        bool embed;
    } cases[] = {{false, true}, {true, false}};
    for (const auto& c : cases) {
        auto options = test_options();
        options.embed_textures = c.embed;
        options.texture_exists = [&](const std::string&) { return c.exists; };
        const auto result = data::convert_model(scene_model(), {}, options);
        EXPECT_TRUE(result.doc.textures.empty());
        EXPECT_EQ(result.stats.images, 0u);
        EXPECT_EQ(result.doc.materials[0].find("extras"), nullptr);
    }
}

// A normal map on a quad (normal +z after the axis change) whose u runs along +x and whose
// v runs down the quad: the bitangent sum opposes n x t, which gives w = +1; with u
// mirrored the tangent turns to -x and the bitangent sum agrees with n x t: w = -1.
TEST(GltfScene, TangentsWithHandednessWhenANormalMapIsPresent) {
    for (const bool mirrored : {false, true}) {
        data::NifFile file = make_nif_file();
        add_node(file, "Root");
        add_child(file, 0, add_quad(file, "Quad", {add_texturing(file, "bumpy")}, mirrored));
        file.roots = {0};
        auto options = test_options();
        options.companions = [](const std::string&, std::uint32_t w, std::uint32_t h) {
            auto maps = std::make_shared<data::GltfPbrImages>();
            maps->normal_png = maps->orm_png = tiny_png();
            maps->normal_scale = w == 2 && h == 2 ? 0.5 : 9;
            return std::shared_ptr<const data::GltfPbrImages>(maps);
        };
        const auto result = data::convert_model(round_trip(file), {}, options);
        const auto tangent = attribute(result.doc, 0, "TANGENT");
        ASSERT_EQ(tangent.size(), 16u);
        for (std::size_t v = 0; v < 4; ++v) {
            EXPECT_EQ(tangent[v * 4 + 0], mirrored ? -1 : 1) << v;
            EXPECT_EQ(tangent[v * 4 + 1], 0) << v;
            EXPECT_EQ(tangent[v * 4 + 3], mirrored ? -1 : 1) << v;
        }
        const JsonValue& material = result.doc.materials[0];
        EXPECT_EQ(data::to_json(member(material, "normalTexture")), "{\"index\":1,\"scale\":0.5}");
        EXPECT_EQ(data::to_json(member(material, "occlusionTexture")), "{\"index\":2}");
        EXPECT_EQ(data::to_json(member(member(material, "pbrMetallicRoughness"), "metallicFactor")), "1.0");
        EXPECT_EQ(member(result.doc.images[1], "name").as_string(), "bumpy#normal");
        EXPECT_EQ(result.stats.pbr_materials, 1u);
    }
    // Without a normal map there are no tangents.
    const auto plain = data::convert_model(scene_model(), {}, test_options());
    EXPECT_EQ(member(primitive(plain.doc, 0), "attributes").find("TANGENT"), nullptr);
}

TEST(GltfScene, DamagedModelsEndWithAGltfError) {
    const auto model = [](const std::function<void(data::NifFile&)>& damage) {
        data::NifFile file = make_nif_file();
        add_node(file, "Root");
        add_child(file, 0, add_quad(file, "Quad"));
        file.roots = {0};
        damage(file);
        return file;
    };
    const auto shape = [](data::NifFile& f) -> data::NiGeometry& { return dynamic_cast<data::NiGeometry&>(*f.blocks[2]); };
    const auto data_of = [](data::NifFile& f) -> data::NiTriShapeData& {
        return dynamic_cast<data::NiTriShapeData&>(*f.blocks[1]);
    };
    const struct {
        std::function<void(data::NifFile&)> damage;
        const char* error;
    } cases[] = {
        {[](data::NifFile& f) { f.roots.clear(); }, "no root"},
        {[](data::NifFile& f) { f.roots = {7}; }, "block reference out of range: scene graph node"},
        {[](data::NifFile& f) { f.roots = {1}; }, "unexpected block type for scene graph node: NiTriShapeData"},
        {[](data::NifFile& f) { add_child(f, 0, 0); }, "cycle in the node tree at block 0"},
        {[&](data::NifFile& f) { shape(f).data = 0; }, "unexpected block type for geometry data: NiNode"},
        {[&](data::NifFile& f) { shape(f).properties = {9}; }, "block reference out of range: property"},
        {[&](data::NifFile& f) { data_of(f).triangles[1].c = 4; }, "triangle index out of range in geometry Quad"},
        {[&](data::NifFile& f) { data_of(f).vertices[2].y = NAN; }, "non-finite value in POSITION of geometry Quad"},
        {[&](data::NifFile& f) { dynamic_cast<data::NiNode&>(*f.blocks[0]).scale = INFINITY; },
         "non-finite number in nodes[0].scale[0] (\"Root\")"},
    };
    for (const auto& c : cases) {
        data::NifFile file = model(c.damage);
        try {
            auto result = data::convert_model(file, {}, test_options());
            data::write_glb(result.doc);
            ADD_FAILURE() << "no error, expected " << c.error;
        } catch (const GltfError& e) {
            EXPECT_STREQ(e.what(), c.error);
        }
    }
}

TEST(GltfScene, GeometryWithoutTrianglesIsLeftOutWithAWarning) {
    data::NifFile file = make_nif_file();
    add_node(file, "Root");
    add_child(file, 0, add_quad(file, "Empty"));
    auto& data = dynamic_cast<data::NiTriShapeData&>(*file.blocks[1]);
    data.triangles.clear();
    file.roots = {0};
    const auto result = data::convert_model(file, {}, test_options());
    EXPECT_TRUE(result.doc.meshes.empty());
    ASSERT_EQ(result.stats.warnings.size(), 1u);
    EXPECT_EQ(result.stats.warnings[0], "geometry Empty has no triangles, left out");
}

}  // namespace
}  // namespace tarkeep::test
