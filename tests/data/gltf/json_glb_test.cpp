// The compact JSON serializer, the document helpers and the GLB container.
#include "tests/data/gltf/gltf_test_util.h"

namespace tarkeep::test {
namespace {

using data::GltfDocument;

std::uint32_t u32_at(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 | std::uint32_t(bytes[at + 2]) << 16 |
           std::uint32_t(bytes[at + 3]) << 24;
}

TEST(GltfJson, NumbersStringsAndObjects) {
    const std::pair<double, const char*> numbers[] = {{1.0, "1.0"},
                                                      {2.5, "2.5"},
                                                      {-0.0, "-0.0"},
                                                      {1e21, "1e+21"},
                                                      {5e-324, "5e-324"},
                                                      {0.1, "0.1"},
                                                      {123456789.0, "123456789.0"},
                                                      {1.0 / 3, "0.3333333333333333"},
                                                      {NAN, "NaN"},
                                                      {-INFINITY, "-Infinity"}};
    for (const auto& [value, text] : numbers) EXPECT_EQ(data::to_json(JsonValue(value)), text);
    const std::pair<std::string, const char*> strings[] = {{"a\"b\\c", R"("a\"b\\c")"},
                                                           {"\b\t\n\f\r", R"("\b\t\n\f\r")"},
                                                           {std::string("\0\x1f\x7f", 3), "\"\\u0000\\u001f\x7f\""},
                                                           {"\xc3\xa9t\xc3\xa9", R"("\u00c3\u00a9t\u00c3\u00a9")"}};
    for (const auto& [text, json] : strings) EXPECT_EQ(data::to_json(JsonValue(text)), json);
    JsonValue object = JsonValue::object();
    object.set("b", -42);
    object.set("a", JsonValue::array_of(std::vector<double>{1, 0.5}));
    object.set("c", nullptr);
    object.set("b", true);
    object.set("d", JsonValue::array()).push(JsonValue::object());
    EXPECT_EQ(data::to_json(object), R"({"b":true,"a":[1.0,0.5],"c":null,"d":[{}]})");
}

TEST(GltfDocument, BufferViewsAndAccessors) {
    GltfDocument doc;
    EXPECT_EQ(data::add_buffer_view(doc, std::vector<std::uint8_t>{1, 2, 3}, data::kTargetIndices), 0u);
    EXPECT_EQ(data::add_buffer_view(doc, std::vector<std::uint8_t>{4, 5}, data::kTargetNone), 1u);
    EXPECT_EQ(data::to_json(doc.buffer_views[0]) + data::to_json(doc.buffer_views[1]),
              R"({"buffer":0,"byteOffset":0,"byteLength":3,"target":34963}{"buffer":0,"byteOffset":4,"byteLength":2})");
    EXPECT_EQ(doc.bin, (std::vector<std::uint8_t>{1, 2, 3, 0, 4, 5}));
    const auto scalar = data::add_float_accessor(doc, {1.0, 2.5, -0.0, 2.5}, 1, "SCALAR", 0, true);
    EXPECT_EQ(data::to_json(doc.accessors[scalar]),
              R"({"bufferView":2,"componentType":5126,"count":4,"type":"SCALAR","min":[-0.0],"max":[2.5]})");
    EXPECT_EQ(member(doc.buffer_views[2], "byteOffset").as_int(), 8);
    EXPECT_EQ(accessor_values(doc, std::int64_t(scalar)), (std::vector<double>{1.0, 2.5, -0.0, 2.5}));
    const auto vec2 = data::add_float_accessor(doc, {1, 5, -2, 3}, 2, "VEC2", data::kTargetVertices, true);
    EXPECT_EQ(data::to_json(member(doc.accessors[vec2], "min")) + data::to_json(member(doc.accessors[vec2], "max")),
              "[-2.0,3.0][1.0,5.0]");
    const std::tuple<std::uint32_t, int, bool> uints[] = {{255, data::kComponentU8, true},
                                                          {256, data::kComponentU8, false},
                                                          {65535, data::kComponentU16, true},
                                                          {65536, data::kComponentU16, false},
                                                          {0xFFFFFFFF, data::kComponentU32, true}};
    for (const auto& [value, component, fits] : uints) {
        GltfDocument one;
        EXPECT_EQ(error_of([&] {
                      data::add_uint_accessor(one, {value, 1}, 2, "VEC2", component, 0);
                  }),
                  fits ? "no error" : "value out of range for the accessor type");
        EXPECT_TRUE(!fits || accessor_values(one, 0) == (std::vector<double>{double(value), 1}));
    }
    EXPECT_EQ(error_of([&] { data::add_float_accessor(doc, {}, 3, "VEC3", 0, true); }), "min() of an empty accessor");
    EXPECT_EQ(error_of([&] {
                  data::add_float_accessor(doc, {0, NAN}, 1, "SCALAR", 0, false, "POSITION of x");
              }),
              "non-finite value in POSITION of x");
}

TEST(GltfDocument, GlbLayout) {
    for (const std::size_t bin_bytes : {0u, 3u, 8u}) {
        GltfDocument doc;
        if (bin_bytes != 0) data::add_buffer_view(doc, std::vector<std::uint8_t>(bin_bytes, 7), 0);
        if (bin_bytes == 8) data::add_png_texture(doc, tiny_png(), "skin");
        doc.scene_nodes = {0};
        doc.nodes.push_back(JsonValue::object());
        doc.scene_extras = JsonValue::object();  // written only when it has members
        if (bin_bytes == 3) doc.scene_extras.set("lods", 2);
        const std::vector<std::uint8_t> glb = data::write_glb(doc);
        EXPECT_EQ((std::vector<std::uint32_t>{u32_at(glb, 0), u32_at(glb, 4), u32_at(glb, 8), u32_at(glb, 16)}),
                  (std::vector<std::uint32_t>{0x46546C67, 2, std::uint32_t(glb.size()), 0x4E4F534A}));
        const std::uint32_t json_length = u32_at(glb, 12), bin_at = 20 + json_length;
        const std::string json(glb.begin() + 20, glb.begin() + bin_at);
        EXPECT_EQ(json_length % 4 + u32_at(glb, bin_at) % 4, 0u);
        EXPECT_EQ(u32_at(glb, bin_at + 4), 0x004E4942u);
        EXPECT_EQ(bin_at + 8 + u32_at(glb, bin_at), glb.size());
        EXPECT_EQ(json.find_last_not_of(' '), json.rfind('}'));
        EXPECT_NE(
            json.find(
                R"("samplers":[{"magFilter":9729,"minFilter":9987,"wrapS":10497,"wrapT":10497}],"buffers":[{"byteLength":)" +
                std::to_string(u32_at(glb, bin_at)) + "}]}"),
            std::string::npos);
        EXPECT_EQ(
            json.find(
                R"("textures":[{"sampler":0,"source":0}],"images":[{"bufferView":1,"mimeType":"image/png","name":"skin"}])") !=
                std::string::npos,
            bin_bytes == 8);
        EXPECT_EQ(json.find(bin_bytes == 8 ? "\"skins\"" : "\"images\""), std::string::npos);
        EXPECT_EQ(json.rfind(R"({"asset":{"version":"2.0","generator":")", 0), 0u);
        EXPECT_NE(json.find(bin_bytes == 3 ? R"("scenes":[{"nodes":[0],"extras":{"lods":2}}],"nodes":[{}])"
                                           : R"("scene":0,"scenes":[{"nodes":[0]}],"nodes":[{}])"),
                  std::string::npos);
    }
    GltfDocument doc;
    JsonValue node = JsonValue::object();
    node.set("name", "Bip01 Head");
    node.set("translation", JsonValue::array_of(std::vector<double>{0, INFINITY, 0}));
    doc.nodes = {JsonValue::object(), node};
    EXPECT_EQ(error_of([&] { data::write_glb(doc); }), "non-finite number in nodes[1].translation[1] (\"Bip01 Head\")");
}

}  // namespace
}  // namespace tarkeep::test
