// glTF conversion: the JSON writer, documents and GLB layout, then scenes, materials, skins and
// animations of models built with the NIF writer, and every kind of converted file through the validator.
#include "data/gltf/gltf_math.h"
#include "tests/data/gltf/gltf_test_util.h"

namespace tarkeep::test {
namespace {

TEST(GltfDocument, JsonBuffersAccessorsAndGlbLayout) {
    const std::vector<JsonValue> values{1.0,        2.5,       -0.0,         1e21,
                                        5e-324,     0.1,       123456789.0,  NAN,
                                        -INFINITY,  "a\"b\\c", "\b\t\n\f\r", std::string("\0\x1f\x7f", 3),
                                        "\xc3\xa9t"};
    EXPECT_EQ(to_json(JsonValue::array_of(values)),
              R"([1.0,2.5,-0.0,1e+21,5e-324,0.1,123456789.0,NaN,-Infinity,"a\"b\\c","\b\t\n\f\r","\u0000\u001f)"
              "\x7f"
              R"(","\u00c3\u00a9t"])");
    JsonValue object = JsonValue::object();
    object.set("b", -42);
    object.set("a", JsonValue::array_of(Doubles{1, 0.5}));
    object.set("b", true);
    object.set("d", JsonValue::array()).push(JsonValue::object());
    EXPECT_EQ(to_json(object), R"({"b":true,"a":[1.0,0.5],"d":[{}]})");
    // Buffer views, accessors, an image and scene extras in one GLB; an empty document (its BIN chunk
    // empty); range and value errors.
    for (const bool empty : {true, false}) {
        data::GltfDocument doc;
        doc.scene_nodes = {0};
        doc.nodes.push_back(JsonValue::object());
        doc.scene_extras = JsonValue::object();  // written only when it has members
        std::string expected = R"("scenes":[{"nodes":[0]}],"nodes":[{}],)";
        if (!empty) {
            EXPECT_EQ(data::add_buffer_view(doc, std::vector<std::uint8_t>{1, 2, 3}, data::kTargetIndices), 0u);
            EXPECT_EQ(data::add_float_accessor(doc, {1.0, 2.5, -0.0, 2.5}, 1, "SCALAR", 0, true), 0u);
            data::add_float_accessor(doc, {1, 5, -2, 3, 0, 4}, 2, "VEC2", data::kTargetVertices, true);
            data::add_png_texture(doc, tiny_png(), "skin");
            doc.scene_extras.set("lods", 2);
            EXPECT_EQ(accessor_values(doc, 0), (Doubles{1.0, 2.5, -0.0, 2.5}));
            expected =
                R"("scenes":[{"nodes":[0],"extras":{"lods":2}}],"nodes":[{}],"bufferViews":[{"buffer":0,)"
                R"("byteOffset":0,"byteLength":3,"target":34963},{"buffer":0,"byteOffset":4,"byteLength":16},)"
                R"({"buffer":0,"byteOffset":20,"byteLength":24,"target":34962},{"buffer":0,"byteOffset":44,)"
                R"("byteLength":84}],"accessors":[{"bufferView":1,"componentType":5126,"count":4,"type":"SCALAR",)"
                R"("min":[-0.0],"max":[2.5]},{"bufferView":2,"componentType":5126,"count":3,"type":"VEC2",)"
                R"("min":[-2.0,3.0],"max":[1.0,5.0]}],"textures":[{"sampler":0,"source":0}],"images":[)"
                R"({"bufferView":3,"mimeType":"image/png","name":"skin"}],)";
        }
        expected += R"("samplers":[{"magFilter":9729,"minFilter":9987,"wrapS":10497,"wrapT":10497}],)"
                    R"("buffers":[{"byteLength":)" +
                    std::to_string(doc.bin.size()) + "}]}";
        const std::vector<std::uint8_t> glb = data::write_glb(doc);
        // The frame: magic, version, file length, JSON length; after the JSON the BIN chunk's
        // length and type, there even when it is empty (little-endian hosts only, like the writer).
        std::uint32_t frame[6];
        std::memcpy(frame, glb.data(), 16);
        const std::uint32_t bin_at = 20 + frame[3];
        std::memcpy(frame + 4, glb.data() + bin_at, 8);
        EXPECT_EQ(std::vector<std::uint32_t>(frame, frame + 6),
                  (std::vector<std::uint32_t>{0x46546C67, 2, std::uint32_t(glb.size()), frame[3],
                                              std::uint32_t(doc.bin.size()), 0x004E4942}));
        EXPECT_EQ(frame[3] % 4, 0u);
        EXPECT_EQ(doc.bin.size(), empty ? 0u : 128u);  // the image (84 bytes) padded
        const std::string json(glb.begin() + 20, glb.begin() + bin_at);
        const std::size_t scenes = json.find(R"(,"scene":0,"scenes")") + 11, end = json.find_last_not_of(' ') + 1;
        EXPECT_EQ(json.substr(scenes, end - scenes), expected);
        EXPECT_EQ(std::vector<std::uint8_t>(glb.begin() + bin_at + 8, glb.end()), doc.bin);
    }
    // Values at the top of each component type fit; one more does not.
    for (const auto& [value, type] : {std::pair(255u, data::kComponentU8), std::pair(256u, data::kComponentU8),
                                      std::pair(65535u, data::kComponentU16), std::pair(65536u, data::kComponentU16),
                                      std::pair(0xFFFFFFFFu, data::kComponentU32)}) {
        data::GltfDocument one;
        const std::string error = error_text([&] { data::add_uint_accessor(one, {value, 1}, 2, "VEC2", type, 0); });
        EXPECT_EQ(error, value % 2 == 1 ? "no error" : "value out of range for the accessor type") << value;
        EXPECT_TRUE(value % 2 == 0 || accessor_values(one, 0) == (Doubles{double(value), 1}));
    }
    data::GltfDocument doc;
    EXPECT_EQ(error_text([&] { data::add_float_accessor(doc, {}, 3, "VEC3", 0, true); }), "min() of an empty accessor");
    JsonValue deep = NAN;  // 100000 levels, arrays and objects by turns: walked and freed with a bounded stack
    for (int level = 0; level < 100000; ++level) {
        JsonValue outer = level % 2 ? JsonValue::object() : JsonValue::array();
        level % 2 ? outer.set("k", std::move(deep)) : outer.push(std::move(deep));
        deep = std::move(outer);
    }
    const std::string json = to_json(deep), path = data::find_non_finite(deep).value_or("");
    EXPECT_EQ(std::tuple(json.size(), json.substr(0, 12), path.size(), path.substr(0, 10)),
              std::tuple(400003u, R"({"k":[{"k":[)", 250000u, ".k[0].k[0]"));
    const auto wide = image::encode_png(300, 1, std::vector<std::uint8_t>(1200).data(), true);
    EXPECT_EQ(data::png_size({wide.begin(), wide.begin() + 24}), std::pair(300u, 1u));
    EXPECT_EQ(data::png_size({wide.begin(), wide.begin() + 23}), std::pair(0u, 0u));
}

TEST(GltfScene, NodesLodRangesMaterialsAndTangents) {
    // The scene model under three axis/scale settings: nodes, LOD ranges, positions, materials.
    const std::tuple<bool, double, const char*, Doubles> cases[] = {// y up, scale, root, far quad's (1, 0, 2)
                                                                    {true, 1, "[1.0,3.0,-2.0]", {1, 2, -0.0}},
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
        EXPECT_EQ(result.stats.hidden_lods + result.stats.images + result.stats.player_colour, 2u + 2u + 1u);
        const std::string pbr = R"("pbrMetallicRoughness":{"metallicFactor":0.0,"roughnessFactor":1.0,)";
        EXPECT_EQ(to_json(JsonValue::array_of(result.doc.materials)),
                  R"([{"name":"Near",)" + pbr + R"("baseColorFactor":[1.0,1.0,0.0,0.5],"baseColorTexture":)" +
                      R"({"index":0}},"alphaMode":"MASK","alphaCutoff":)" + to_json(128 / 255.0) +
                      R"(,"extras":{"texture":"knight_pc","player_colour":"A"}},{"name":"Middle",)" + pbr +
                      R"("baseColorTexture":{"index":1}},"alphaMode":"BLEND","extras":{"texture":"knight",)" +
                      R"("player_colour":null}},{"name":"Far",)" + pbr + R"("baseColorFactor":[0.0,1.0,0.0,0.5]}}])");
        EXPECT_EQ(attributes(result.doc, 0).find("TANGENT"), nullptr);  // no normal map
    }
    // Turns only: the quads under Levels are bound to it.
    auto swaying = convert(scene_model(), {keys_on("Sway", walk_keys(0), "Levels")});
    EXPECT_EQ(swaying.stats.rigid_bound, 3u);
    std::map<std::string, std::vector<std::uint8_t>> files{{"scene_rigid", data::write_glb(swaying.doc)}};
    NifFile short_uvs = scene_model();  // the far quad's UV set one short: left out
    nif_block<data::NiTriShapeData>(short_uvs, 14).uv_sets[0].pop_back();
    EXPECT_EQ(to_json(attributes(convert(short_uvs).doc, 2)).find("TEXCOORD_0"), std::string::npos);
    auto options = test_options();
    options.embed_textures = false;
    EXPECT_TRUE(convert(scene_model(), {}, options).doc.textures.empty());
    // Rotations that take each branch of the matrix conversion, and a scale.
    const double h = std::sqrt(0.5);
    const std::pair<data::NifMatrix33, Doubles> turns[] = {
        {{{0.2304f, -0.352f, 0.9072f, 0.928f, 0.36f, -0.096f, -0.2928f, 0.864f, 0.4096f}},  // about (.48, .6, .64)
         {0.48 * h, 0.64 * h, -0.6 * h, h}},
        // Half turns, the branches without w: about (.8, .48, .36), (.36, .8, .48), (.48, .6, .64).
        {{{0.28f, 0.768f, 0.576f, 0.768f, -0.5392f, 0.3456f, 0.576f, 0.3456f, -0.7408f}}, {0.8, 0.36, -0.48, 0}},
        {{{-0.7408f, 0.576f, 0.3456f, 0.576f, 0.28f, 0.768f, 0.3456f, 0.768f, -0.5392f}}, {0.36, 0.48, -0.8, 0}},
        {{{-0.5392f, 0.576f, 0.6144f, 0.576f, -0.28f, 0.768f, 0.6144f, 0.768f, -0.1808f}}, {0.48, 0.64, -0.6, 0}}};
    for (const auto& [rotation, quaternion] : turns) {
        NifFile file = make_nif_file();
        nif_block<data::NiNode>(file, add_nif_node(file, "")).rotation = rotation;
        nif_block<data::NiNode>(file, 0).scale = 2;
        const JsonValue node = convert(round_trip(file)).doc.nodes[0];
        const auto& q = member(node, "rotation").items();
        expect_near({q.at(0).as_number(), q.at(1).as_number(), q.at(2).as_number(), q.at(3).as_number()}, quaternion);
        EXPECT_EQ(to_json(member(node, "scale")), "[2.0,2.0,2.0]");
        const data::Mat4 m = data::compose({4, 5, 6}, rotation, 0.5), product = data::inverse_affine(m) * m * m;
        expect_near(Doubles(product.m.begin(), product.m.end()), Doubles(m.m.begin(), m.m.end()));
    }
    // Normal +z after the axis change. u along +x, v down the quad: the bitangent sum opposes n x t
    // and w is +1; u mirrored: the tangent turns to -x and w to -1; u up, v along x: +y and +1.
    const std::pair<std::vector<data::NifTexCoord>, Doubles> uv_cases[] = {
        {{{0, 1}, {1, 1}, {1, 0}, {0, 0}}, {1, 0, 0, 1}},
        {{{.1f, .1f}, {0, .1f}, {0, 0}, {.1f, 0}}, {-1, 0, 0, -1}},  // small: n x t . b in (0, 1)
        {{{0, 0}, {0, 1}, {1, 1}, {1, 0}}, {0, 1, 0, 1}}};
    auto pbr_options = test_options();
    pbr_options.companions = [](const std::string&, std::uint32_t w, std::uint32_t h) {
        return std::make_shared<const data::GltfPbrImages>(data::GltfPbrImages{tiny_png(), tiny_png(), w * h / 8.0});
    };
    pbr_options.scale = 0.27;  // accessor bounds must still match the stored floats
    for (const auto& [uvs, tangent] : uv_cases) {
        NifFile file = make_nif_file();
        add_nif_node(file, "Root");
        add_nif_quad(file, {"Quad", {add_nif_texturing(file, "bumpy")}, 0, uvs});
        auto result = convert(round_trip(file), {}, pbr_options);
        EXPECT_EQ(attribute(result.doc, 0, "TANGENT"), tangent + tangent + tangent + tangent);
        files["pbr_tangents_" + std::to_string(files.size())] = data::write_glb(result.doc);
    }
    expect_valid(files);
    // A chain deeper than one call per level would survive, numbered parents first.
    NifFile chain = make_nif_file();
    for (int level = 0; level < 20000; ++level) add_nif_node(chain, "", {}, level == 0 ? data::kNoRef : level - 1);
    add_nif_quad(chain, {"Leaf", {}, 19999});
    const auto deep = convert(round_trip(chain)).doc;
    EXPECT_EQ(to_json(deep.nodes.at(0)) + to_json(deep.nodes.at(19999)) + to_json(deep.nodes.at(20000)),
              R"({"name":"node0","children":[1]}{"name":"node19999","children":[20000]}{"name":"Leaf","mesh":0})");
}

TEST(GltfSkin, InfluencesJointsInverseBindsAnimationsAndDamage) {
    const auto doc = convert(skinned_model()).doc;
    // Vertex 0: hip 0.4 + 0.3 (two bones, one node), then of the equal 0.2s the higher bone
    // (the root) before the spine; 0.1 is cut; sum 1.1. Vertex 1: equal weights, higher bone
    // first. Vertices 2 (weights summing to 0) and 3 (none) take the first joint / the root.
    EXPECT_EQ(attribute(doc, 0, "JOINTS_0"), (Doubles{1, 0, 2, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    expect_near(attribute(doc, 0, "WEIGHTS_0"),
                {0.7 / 1.1, 0.2 / 1.1, 0.2 / 1.1, 0, 0.5, 0.5, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0});
    EXPECT_EQ(doc.scene_nodes, (std::vector<std::int64_t>{0, 4}));
    EXPECT_EQ(to_json(doc.nodes.at(4)) + to_json(doc.skins.at(0)) + to_json(doc.accessors.at(2)),
              R"({"name":"Body_skinned","mesh":0,"skin":0}{"joints":[0,1,2,3],"inverseBindMatrices":2,)"
              R"("skeleton":0,"name":"Body"}{"bufferView":2,"componentType":5126,"count":4,"type":"MAT4"})");
    // Inverse binds undo the rest places: Bip01 Spine at height 2 (y in glTF), also when the skin
    // data is off by less than the tolerance; when it binds the spine elsewhere (height 5), that wins.
    for (const float z : {-2.0005f, -5.0f}) {
        NifFile moved = skinned_model();
        nif_block<data::NiSkinData>(moved, 5).bones[2].transform.translation.z = z;
        const auto d = convert(moved).doc;
        const auto matrices = accessor_values(d, member(d.skins[0], "inverseBindMatrices"));
        EXPECT_EQ(Doubles(matrices.begin() + 28, matrices.begin() + 48),
                  (Doubles{0, -1, 0, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, z < -3 ? -5.0 : -2.0, 0, 1}));
    }
    const auto stats = convert(skinned_model()).stats;  // bone 0's weights count too
    EXPECT_EQ(std::tuple(stats.max_influences, stats.vertices_without_influence), std::tuple(5u, 1u));
    NifFile lifted = skinned_model();  // bone 0 alone binds the root, 5 up
    nif_block<data::NiSkinInstance>(lifted, 6).bones.resize(3);
    nif_block<data::NiSkinData>(lifted, 5).bones.resize(3);
    nif_block<data::NiSkinData>(lifted, 5).bones[0].transform.translation.z = -5;
    const auto l = convert(lifted).doc;
    EXPECT_EQ(accessor_values(l, member(l.skins[0], "inverseBindMatrices")).at(13), -5.0);
    for (const std::size_t joints : {255u, 256u}) {  // the model's 4 nodes and extra ones
        auto big = convert(skinned_model(joints - 4)).doc;
        const auto& accessor = big.accessors.at(std::size_t(member(attributes(big, 0), "JOINTS_0").as_int()));
        EXPECT_EQ(member(accessor, "componentType").as_int(), joints < 256 ? 5121 : 5123);
        if (joints == 256) expect_valid({{"skinned_256", data::write_glb(big)}});
    }
    // Walk: keyframes, visibility (stepped scale) and a property target; Idle: no move; Turn: XYZ keys;
    // Grow: scale keys as a channel, and a key out of time order.
    data::NiKeyframeData grow = walk_keys(1), no_groups;
    grow.scales.keys = {{0, 1, 0, 0, {}}, {1, 1.5f, 0, 0, {}}};
    grow.translations.keys.push_back({0.5f, {9, 9, 9}, {}, {}, {}});  // steps back in time: dropped
    data::NiVisData blink;
    blink.keys = {{0, 1}, {0.5f, 0}, {1, 1}};
    data::NiKeyframeData xyz;
    std::tie(xyz.num_rotation_keys, xyz.rotation_type) = std::tuple(1, data::kRotationXyz);
    xyz.xyz_rotations[2].keys = {{0, 0, 0, 0, {}}, {1, 3.0f, 0, 0, {}}};  // 3 radians about z
    xyz.xyz_rotations[0].keys = {{0.5f, 0.25f, 0, 0, {}}};                // constant tilts about x and y
    xyz.xyz_rotations[1].keys = {{0.5f, -0.5f, 0, 0, {}}};
    NifFile model = skinned_model();
    nif_block<data::NiNode>(model, 1).scale = 2;
    auto options = test_options();
    options.scale_channels = true;
    auto animated = convert(model,
                            {keys_on("Walk", walk_keys(2), "bip01", &blink, {"Body\nPROP\nNiAlphaProperty"}),
                             keys_on("Idle", walk_keys(0)), keys_on("Turn", xyz), keys_on("Grow", grow)},
                            options)
                        .doc;
    EXPECT_EQ(
        to_json(member(animated.animations.at(0), "channels")) + to_json(member(animated.animations[0], "extras")),
        R"([{"sampler":0,"target":{"node":1,"path":"rotation"}},{"sampler":1,"target":{"node":1,)"
        R"("path":"translation"}},{"sampler":2,"target":{"node":1,"path":"scale"}}])"
        R"({"sequence":"Walk","text_keys":[{"time":0.0,"text":"start"},{"time":1.0,"text":"end"}],)"
        R"("accum_root":"Bip01","not_in_gltf_core":["Body | PROP | NiAlphaProperty"],"moves":true})");
    EXPECT_EQ(to_json(member(member(animated.animations.at(1), "extras"), "moves")), "false");
    expect_near(samples(animated, 0, 0), {0, 0, 0, 1, 0, std::sin(0.35), 0, std::cos(0.35)});  // about z: y in glTF
    EXPECT_EQ(samples(animated, 0, 1), (Doubles{0, 0, 0, 0, 0, -2}));
    EXPECT_EQ(samples(animated, 0, 2), (Doubles{2, 2, 2, 0, 0, 0, 2, 2, 2}));
    EXPECT_EQ(member(member(animated.animations[0], "samplers").items()[2], "interpolation").as_string(), "STEP");
    // 0 .. 0.5 turns 1.5 radians, less than three times pi / 6: three steps; 0.5 .. 1 likewise.
    expect_near(samples(animated, 2, 0, "input"), {0, 1 / 6.0, 2 / 6.0, 0.5, 4 / 6.0, 5 / 6.0, 1});
    // The last key Rz(3) * Ry(-0.5) * Rx(0.25) from half angles, after the axis change (x, z, -y, w).
    const auto keys = samples(animated, 2, 0);
    const double sx = std::sin(0.125), cx = std::cos(0.125), sy = std::sin(-0.25), cy = std::cos(-0.25),
                 sz = std::sin(1.5), cz = std::cos(1.5);
    expect_near(Doubles(keys.end() - 4, keys.end()), {cz * cy * sx - sz * sy * cx, sz * cy * cx - cz * sy * sx,
                                                      -(cz * sy * cx + sz * cy * sx), cz * cy * cx + sz * sy * sx});
    EXPECT_EQ(samples(animated, 3, 1, "input") + samples(animated, 3, 2), (Doubles{0, 1, 1, 1, 1, 1.5, 1.5, 1.5}));
    expect_valid({{"animated", data::write_glb(animated)}});
    // Damage to the skinned model or its keyframe files: an error, or a warning and the part left out.
    const auto shape = [](NifFile & f) -> auto& { return nif_block<data::NiGeometry>(f, 4); };
    const auto mesh = [](NifFile & f) -> auto& { return nif_block<data::NiTriShapeData>(f, 3); };
    const auto skin = [](NifFile & f) -> auto& { return nif_block<data::NiSkinData>(f, 5); };
    const auto instance = [](NifFile & f) -> auto& { return nif_block<data::NiSkinInstance>(f, 6); };
    std::tie(no_groups.num_rotation_keys, no_groups.rotation_type) = std::tuple(1, data::kRotationXyz);
    const std::tuple<const char*, std::function<void(NifFile&)>, std::vector<Kf>> cases[] = {
        {"no root", [](NifFile& f) { f.roots.clear(); }, {}},
        {"block reference out of range: scene graph node", [](NifFile& f) { f.roots = {7}; }, {}},
        {"unexpected block type for scene graph node: NiTriShapeData", [](NifFile& f) { f.roots = {3}; }, {}},
        {"cycle in the node tree at block 0", [](NifFile& f) { add_nif_child(f, 0, 0); }, {}},
        {"unexpected block type for geometry data: NiNode", [&](NifFile& f) { shape(f).data = 0; }, {}},
        {"block reference out of range: property", [&](NifFile& f) { shape(f).properties = {9}; }, {}},
        {"warning: geometry Body: 1 triangles out of range dropped",
         [&](NifFile& f) { mesh(f).triangles[0].a = 4; },
         {}},
        {"warning: geometry Body: 2 triangles out of range dropped, left out",
         [&](NifFile& f) { mesh(f).triangles[0].a = mesh(f).triangles[1].c = 4; },
         {}},
        {"non-finite value in POSITION of geometry Body",  // 1e40: no float
         [&](NifFile& f) { nif_block<data::NiNode>(f, 0).scale = shape(f).scale = 1e20f; },
         {}},
        {"non-finite value in POSITION of geometry Body", [&](NifFile& f) { mesh(f).vertices[2].y = NAN; }, {}},
        {"non-finite number in nodes[2].translation[1] (\"Bip01 Spine\")",
         [](NifFile& f) { nif_block<data::NiNode>(f, 2).translation.z = INFINITY; },
         {}},
        {"warning: geometry Body has no triangles, left out", [&](NifFile& f) { mesh(f).triangles.clear(); }, {}},
        {"skin data has fewer bones than the skin instance", [&](NifFile& f) { instance(f).bones.push_back(0); }, {}},
        {"skin weight for a vertex out of range", [&](NifFile& f) { skin(f).bones[1].weights[0].vertex = 4; }, {}},
        {"skin bone outside the node tree", [&](NifFile& f) { instance(f).bones[1] = 3; }, {}},
        {"skin weight for a bone out of range", [&](NifFile& f) { instance(f).bones.pop_back(); }, {}},
        {"unexpected block type for skin data: NiNode", [&](NifFile& f) { instance(f).data = 0; }, {}},
        {"block reference out of range: skin data", [&](NifFile& f) { instance(f).data = 99; }, {}},
        {"non-finite skin weight in geometry Body", [&](NifFile& f) { skin(f).bones[0].weights[0].weight = NAN; }, {}},
        {"cycle in the node tree at block 4",  // two nodes above the root, each the other's parent
         [](NifFile& f) {
             add_nif_child(f, add_nif_node(f, "Above", {}, add_nif_node(f, "Top")), 0), add_nif_child(f, 8, 7);
         },
         {}},
        {"warning: animation Grow: 1 keys out of time order dropped", nullptr, {keys_on("Grow", grow)}},
        {"warning: animation Still (Still.kf) has nothing glTF can animate, left out", nullptr, {keys_on("Still", {})}},
        {"XYZ rotation without key groups", nullptr, {keys_on("X", no_groups)}},
        {"kf without root: X.kf", nullptr, {keys_on("X", {}, "", nullptr, {}, {})}},
        {"unexpected block type for controller sequence: NiTextKeyExtraData",
         nullptr,
         {keys_on("X", {}, "", nullptr, {}, {1})}},
    };
    for (const auto& [expected, damage, kfs] : cases) {
        NifFile file = skinned_model();
        if (damage) damage(file);
        data::GltfConvertResult result;
        const std::string error = error_text([&] { data::write_glb((result = convert(file, kfs)).doc); });
        EXPECT_EQ(error == "no error" ? "warning: " + result.stats.warnings.at(0) : error, expected);
        EXPECT_EQ(result.doc.skins.size(), result.doc.meshes.size());  // no skin without its mesh
        // Grow keeps its turn and step; its scale keys only become a channel when asked for.
        EXPECT_EQ(result.doc.animations.empty() ? 0 : member(result.doc.animations[0], "channels").size(),
                  kfs.size() == 1 && kfs[0].path == "Grow.kf" ? 2u : 0u);
    }
}

}  // namespace
}  // namespace tarkeep::test
