// The compact JSON serializer, the document helpers, the GLB container and the transforms.
#include "data/gltf/gltf_math.h"
#include "tests/data/gltf/gltf_test_util.h"

namespace tarkeep::test {
namespace {

using data::GltfDocument;

std::uint32_t u32_at(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    std::uint32_t value;
    std::memcpy(&value, bytes.data() + at, 4);  // little-endian hosts only, like the writer
    return value;
}

TEST(GltfJson, NumbersStringsAndObjects) {
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
    object.set("c", nullptr);
    object.set("b", true);
    object.set("d", JsonValue::array()).push(JsonValue::object());
    EXPECT_EQ(to_json(object), R"({"b":true,"a":[1.0,0.5],"c":null,"d":[{}]})");
}

TEST(GltfDocument, BufferViewsAndAccessors) {
    GltfDocument doc;
    EXPECT_EQ(data::add_buffer_view(doc, std::vector<std::uint8_t>{1, 2, 3}, data::kTargetIndices), 0u);
    EXPECT_EQ(data::add_buffer_view(doc, std::vector<std::uint8_t>{4, 5}, data::kTargetNone), 1u);
    EXPECT_EQ(data::add_float_accessor(doc, {1.0, 2.5, -0.0, 2.5}, 1, "SCALAR", 0, true), 0u);
    data::add_float_accessor(doc, {1, 5, -2, 3, 0, 4}, 2, "VEC2", data::kTargetVertices, true);
    EXPECT_EQ(
        to_json(JsonValue::array_of(doc.buffer_views)) + to_json(JsonValue::array_of(doc.accessors)),
        R"([{"buffer":0,"byteOffset":0,"byteLength":3,"target":34963},{"buffer":0,"byteOffset":4,"byteLength":2},)"
        R"({"buffer":0,"byteOffset":8,"byteLength":16},{"buffer":0,"byteOffset":24,"byteLength":24,"target":34962}])"
        R"([{"bufferView":2,"componentType":5126,"count":4,"type":"SCALAR","min":[-0.0],"max":[2.5]},)"
        R"({"bufferView":3,"componentType":5126,"count":3,"type":"VEC2","min":[-2.0,3.0],"max":[1.0,5.0]}])");
    EXPECT_EQ(std::vector<std::uint8_t>(doc.bin.begin(), doc.bin.begin() + 8),
              (std::vector<std::uint8_t>{1, 2, 3, 0, 4, 5, 0, 0}));
    EXPECT_EQ(accessor_values(doc, 0), (Doubles{1.0, 2.5, -0.0, 2.5}));
    const std::uint32_t values[] = {255, 256, 65535, 65536, 0xFFFFFFFF};
    const int components[] = {data::kComponentU8, data::kComponentU8, data::kComponentU16, data::kComponentU16,
                              data::kComponentU32};
    for (std::size_t i = 0; i < std::size(values); ++i) {
        GltfDocument one;
        const std::string error = error_text([&] {
            data::add_uint_accessor(one, {values[i], 1}, 2, "VEC2", components[i], 0);
        });
        EXPECT_EQ(error, i % 2 == 0 ? "no error" : "value out of range for the accessor type");
        EXPECT_TRUE(i % 2 == 1 || accessor_values(one, 0) == (Doubles{double(values[i]), 1}));
    }
    EXPECT_EQ(error_text([&] { data::add_float_accessor(doc, {}, 3, "VEC3", 0, true); }), "min() of an empty accessor");
    const auto wide = image::encode_png(300, 1, std::vector<std::uint8_t>(1200).data(), true);
    EXPECT_EQ(data::png_size({wide.begin(), wide.begin() + 24}), std::pair(300u, 1u));
    EXPECT_EQ(data::png_size({wide.begin(), wide.begin() + 23}), std::pair(0u, 0u));
    EXPECT_EQ(error_text([&] {
                  data::add_float_accessor(doc, {0, NAN}, 1, "SCALAR", 0, false, "POSITION of x");
              }),
              "non-finite value in POSITION of x");
}

// An empty document (its BIN chunk empty), and one with 3 bytes, scene extras and an image.
TEST(GltfDocument, GlbLayout) {
    const std::string tail = R"("samplers":[{"magFilter":9729,"minFilter":9987,"wrapS":10497,"wrapT":10497}],)"
                             R"("buffers":[{"byteLength":)";
    const std::string full =
        R"("scenes":[{"nodes":[0],"extras":{"lods":2}}],"nodes":[{}],"bufferViews":[{"buffer":0,)"
        R"("byteOffset":0,"byteLength":3},{"buffer":0,"byteOffset":4,"byteLength":)" +
        std::to_string(tiny_png().size()) +
        R"(}],"textures":[{"sampler":0,"source":0}],"images":[{"bufferView":1,"mimeType":"image/png",)"
        R"("name":"skin"}],)" +
        tail + std::to_string((tiny_png().size() + 7) / 4 * 4) + "}]}";
    for (const bool empty : {true, false}) {
        GltfDocument doc;
        doc.scene_nodes = {0};
        doc.nodes.push_back(JsonValue::object());
        doc.scene_extras = JsonValue::object();  // written only when it has members
        if (!empty) {
            data::add_buffer_view(doc, std::vector<std::uint8_t>(3, 7), 0);
            data::add_png_texture(doc, tiny_png(), "skin");
            doc.scene_extras.set("lods", 2);
        }
        const std::vector<std::uint8_t> glb = data::write_glb(doc);
        const std::uint32_t json_length = u32_at(glb, 12), bin_at = 20 + json_length;
        EXPECT_EQ((std::vector<std::uint32_t>{u32_at(glb, 0), u32_at(glb, 4), u32_at(glb, 8), u32_at(glb, 16),
                                              u32_at(glb, bin_at + 4), bin_at + 8 + u32_at(glb, bin_at)}),
                  (std::vector<std::uint32_t>{0x46546C67, 2, std::uint32_t(glb.size()), 0x4E4F534A, 0x004E4942,
                                              std::uint32_t(glb.size())}));
        EXPECT_EQ(json_length % 4 + u32_at(glb, bin_at) % 4, 0u);
        const std::string json(glb.begin() + 20, glb.begin() + bin_at);
        const std::size_t scenes = json.find(R"(,"scene":0,"scenes")") + 11, end = json.find_last_not_of(' ') + 1;
        EXPECT_EQ(json.substr(scenes, end - scenes),
                  empty ? R"("scenes":[{"nodes":[0]}],"nodes":[{}],)" + tail + "0}]}" : full);
        EXPECT_EQ(json.rfind(R"({"asset":{"version":"2.0","generator":")", 0), 0u);
        EXPECT_EQ(std::vector<std::uint8_t>(glb.begin() + bin_at + 8, glb.end()), doc.bin);
    }
    GltfDocument doc;
    doc.nodes = {JsonValue::object(), JsonValue::object()};
    doc.nodes[1].set("name", "Bip01 Head");
    doc.nodes[1].set("translation", JsonValue::array_of(Doubles{0, INFINITY, 0}));
    EXPECT_EQ(error_text([&] { data::write_glb(doc); }),
              "non-finite number in nodes[1].translation[1] (\"Bip01 Head\")");
}

TEST(GltfMath, InverseOfAnAffineTransform) {
    // A turn about (.48, .6, .64): no zero element, so that every cofactor counts.
    const data::NifMatrix33 turn{{0.2304f, -0.352f, 0.9072f, 0.928f, 0.36f, -0.096f, -0.2928f, 0.864f, 0.4096f}};
    const data::Mat4 m = data::compose({4, 5, 6}, turn, 0.5), product = m * data::inverse_affine(m), identity;
    const data::Vec3d x = data::transform_point(m, {1, 0, 0});
    expect_near({x.x, x.y, x.z}, {4.1152, 5.464, 5.8536});
    // Rz * Ry * Rx as one matrix turns the same way as the quaternion of the three angles.
    const double ax = 0.3, ay = -1.1, az = 2.0;
    const auto turn_about = [](int axis, double angle) {
        data::NifMatrix33 r;
        const std::size_t i = std::size_t(axis + 1) % 3, j = std::size_t(axis + 2) % 3;
        r.m[i * 4] = r.m[j * 4] = float(std::cos(angle));
        r.m[i * 3 + j] = float(-std::sin(angle));
        r.m[j * 3 + i] = float(std::sin(angle));
        return data::compose({}, r, 1);
    };
    const data::Mat4 all = turn_about(2, az) * turn_about(1, ay) * turn_about(0, ax);
    data::NifMatrix33 combined;
    for (std::size_t i = 0; i < 9; ++i) combined.m[i] = float(all.at(int(i / 3), int(i % 3)));
    const data::Quatd a = data::matrix_to_quat(combined), b = data::xyz_to_quat(ax, ay, az);
    EXPECT_NEAR(std::fabs(a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w), 1, 1e-6);
    expect_near(Doubles(product.m.begin(), product.m.end()), Doubles(identity.m.begin(), identity.m.end()));
}

}  // namespace
}  // namespace tarkeep::test
