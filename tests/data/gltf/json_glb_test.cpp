// The compact JSON serializer, the document helpers and the GLB container.
#include <cmath>
#include <limits>

#include "tests/data/gltf/gltf_test_util.h"

namespace tarkeep::test {
namespace {

using data::GltfDocument;
using data::GltfError;

std::uint32_t u32_at(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 | std::uint32_t(bytes[at + 2]) << 16 |
           std::uint32_t(bytes[at + 3]) << 24;
}

std::string error_of(const std::function<void()>& action) {
    try {
        action();
    } catch (const GltfError& e) {
        return e.what();
    }
    return "no error";
}

TEST(GltfJson, NumbersAreShortestRoundTripWithAPointOnWholeValues) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {1.0, "1.0"},       {2.5, "2.5"},
        {-0.0, "-0.0"},     {0.0, "0.0"},
        {1e21, "1e+21"},    {5e-324, "5e-324"},
        {0.1, "0.1"},       {-3.0, "-3.0"},
        {123456789.0, "123456789.0"}, {1.0 / 3, "0.3333333333333333"},
        {std::numeric_limits<double>::quiet_NaN(), "NaN"},
        {-std::numeric_limits<double>::infinity(), "-Infinity"},
    };
    for (const auto& c : cases) EXPECT_EQ(data::to_json(JsonValue(c.value)), c.text) << c.text;
    EXPECT_EQ(data::to_json(JsonValue(-42)), "-42");
    EXPECT_EQ(data::to_json(JsonValue(std::int64_t{1} << 40)), "1099511627776");
}

TEST(GltfJson, StringsEscapeControlAndNonAsciiBytesOneByOne) {
    const struct {
        std::string text;
        const char* json;
    } cases[] = {
        {"plain", "\"plain\""},
        {"a\"b\\c", "\"a\\\"b\\\\c\""},
        {"\b\t\n\f\r", "\"\\b\\t\\n\\f\\r\""},
        {std::string("\x01\x1f\x7f", 3), "\"\\u0001\\u001f\x7f\""},
        {std::string("\0", 1), "\"\\u0000\""},
        {"\xc3\xa9t\xc3\xa9", "\"\\u00c3\\u00a9t\\u00c3\\u00a9\""},
    };
    for (const auto& c : cases) EXPECT_EQ(data::to_json(JsonValue(c.text)), c.json);
}

TEST(GltfJson, ObjectsKeepInsertionOrderAndReplaceInPlace) {
    JsonValue object = JsonValue::object();
    object.set("b", 1);
    object.set("a", JsonValue::array_of(std::vector<double>{1, 0.5}));
    object.set("c", nullptr);
    object.set("b", true);
    JsonValue nested = JsonValue::array();
    nested.push(JsonValue::object());
    nested.push(JsonValue::array());
    object.set("d", std::move(nested));
    EXPECT_EQ(data::to_json(object), "{\"b\":true,\"a\":[1.0,0.5],\"c\":null,\"d\":[{},[]]}");
}

TEST(GltfDocument, BufferViewsStartOnFourByteBoundariesWithZeroGaps) {
    GltfDocument doc;
    doc.bin = {};
    const std::vector<std::uint8_t> three{1, 2, 3}, five{4, 5, 6, 7, 8};
    EXPECT_EQ(data::add_buffer_view(doc, three, data::kTargetIndices), 0u);
    EXPECT_EQ(data::add_buffer_view(doc, five, data::kTargetNone), 1u);
    EXPECT_EQ(data::to_json(doc.buffer_views[0]), "{\"buffer\":0,\"byteOffset\":0,\"byteLength\":3,\"target\":34963}");
    EXPECT_EQ(data::to_json(doc.buffer_views[1]), "{\"buffer\":0,\"byteOffset\":4,\"byteLength\":5}");
    EXPECT_EQ(doc.bin, (std::vector<std::uint8_t>{1, 2, 3, 0, 4, 5, 6, 7, 8}));
}

TEST(GltfDocument, FloatAccessorBoundsAndValues) {
    GltfDocument doc;
    const auto index = data::add_float_accessor(doc, {1.0, 2.5, -0.0, 2.5}, 1, "SCALAR", 0, true);
    EXPECT_EQ(data::to_json(doc.accessors[index]),
              "{\"bufferView\":0,\"componentType\":5126,\"count\":4,\"type\":\"SCALAR\",\"min\":[-0.0],\"max\":[2.5]}");
    EXPECT_EQ(accessor_values(doc, std::int64_t(index)), (std::vector<double>{1.0, 2.5, -0.0, 2.5}));
    const auto vec2 = data::add_float_accessor(doc, {1, 5, -2, 3}, 2, "VEC2", data::kTargetVertices, true);
    EXPECT_EQ(data::to_json(member(doc.accessors[vec2], "min")), "[-2.0,3.0]");
    EXPECT_EQ(data::to_json(member(doc.accessors[vec2], "max")), "[1.0,5.0]");
    EXPECT_EQ(member(doc.accessors[vec2], "count").as_int(), 2);
}

TEST(GltfDocument, AccessorRangeErrors) {
    const struct {
        std::vector<std::uint32_t> values;
        int component;
        bool fails;
    } cases[] = {
        {{255}, data::kComponentU8, false},     {{256}, data::kComponentU8, true},
        {{65535}, data::kComponentU16, false},  {{65536}, data::kComponentU16, true},
        {{0xFFFFFFFF}, data::kComponentU32, false},
    };
    for (const auto& c : cases) {
        GltfDocument doc;
        const std::string error = error_of([&] { data::add_uint_accessor(doc, c.values, 1, "SCALAR", c.component, 0); });
        EXPECT_EQ(error, c.fails ? "value out of range for the accessor type" : "no error") << c.values[0];
        if (!c.fails) {
            EXPECT_EQ(accessor_values(doc, 0), std::vector<double>{double(c.values[0])});
        }
    }
    GltfDocument doc;
    EXPECT_EQ(error_of([&] { data::add_float_accessor(doc, {}, 3, "VEC3", 0, true); }), "min() of an empty accessor");
    EXPECT_EQ(error_of([&] { data::add_float_accessor(doc, {0, NAN}, 1, "SCALAR", 0, false, "POSITION of x"); }),
              "non-finite value in POSITION of x");
}

TEST(GltfDocument, GlbLayout) {
    const struct {
        std::size_t bin_bytes;
        bool texture;
    } cases[] = {{0, false}, {3, false}, {8, true}};
    for (const auto& c : cases) {
        GltfDocument doc;
        if (c.bin_bytes != 0) data::add_buffer_view(doc, std::vector<std::uint8_t>(c.bin_bytes, 7), 0);
        if (c.texture) data::add_png_texture(doc, tiny_png(), "skin");
        doc.scene_nodes = {0};
        JsonValue node = JsonValue::object();
        node.set("name", "root");
        doc.nodes.push_back(node);
        const std::vector<std::uint8_t> glb = data::write_glb(doc);
        ASSERT_GE(glb.size(), 28u);
        EXPECT_EQ(u32_at(glb, 0), 0x46546C67u);
        EXPECT_EQ(u32_at(glb, 4), 2u);
        EXPECT_EQ(u32_at(glb, 8), glb.size());
        const std::uint32_t json_length = u32_at(glb, 12);
        EXPECT_EQ(json_length % 4, 0u);
        EXPECT_EQ(u32_at(glb, 16), 0x4E4F534Au);
        const std::string json(glb.begin() + 20, glb.begin() + 20 + json_length);
        const std::size_t bin_at = 20 + json_length;
        const std::uint32_t bin_length = u32_at(glb, bin_at);
        EXPECT_EQ(bin_length % 4, 0u);
        EXPECT_EQ(u32_at(glb, bin_at + 4), 0x004E4942u);
        EXPECT_EQ(bin_at + 8 + bin_length, glb.size());
        EXPECT_EQ(json.find_last_not_of(' ') + 1, json.rfind('}') + 1);
        EXPECT_NE(json.find("\"samplers\":[{\"magFilter\":9729,\"minFilter\":9987,\"wrapS\":10497,\"wrapT\":10497}]"),
                  std::string::npos);
        EXPECT_NE(json.find("\"buffers\":[{\"byteLength\":" + std::to_string(bin_length) + "}]"), std::string::npos);
        EXPECT_EQ(json.find("\"textures\"") != std::string::npos, c.texture);
        EXPECT_EQ(json.find("\"images\"") != std::string::npos, c.texture);
        EXPECT_EQ(json.find("\"skins\""), std::string::npos);
        EXPECT_EQ(json.rfind("{\"asset\":{\"version\":\"2.0\",\"generator\":", 0), 0u);
    }
}

TEST(GltfDocument, NonFiniteNumbersEndTheWriteNamingTheirHolder) {
    GltfDocument doc;
    JsonValue node = JsonValue::object();
    node.set("name", "Bip01 Head");
    node.set("translation", JsonValue::array_of(std::vector<double>{0, INFINITY, 0}));
    doc.nodes.push_back(JsonValue::object());
    doc.nodes.push_back(node);
    EXPECT_EQ(error_of([&] { data::write_glb(doc); }),
              "non-finite number in nodes[1].translation[1] (\"Bip01 Head\")");
}

}  // namespace
}  // namespace tarkeep::test
