// Geometry blocks, geometry data and the strip to triangle conversion.
#include <tuple>

#include "tests/data/nif/nif_test_util.h"

namespace tarkeep::test {
namespace {

using namespace tarkeep::data;

TEST(NifGeometry, HandAssembledLayoutsRoundTrip) {
    for (const char* type : {"NiTriShape", "NiTriStrips", "NiParticles"}) {
        for (const bool shader : {false, true}) {
            SCOPED_TRACE(std::string(type) + (shader ? " with shader" : ""));
            HandBytes b = av_object_bytes();
            b.i32(1).i32(2).u8(shader);                // 90: data, skin, 98: has shader
            if (shader) b.u32(3).text("fur").u32(77);  // 99: shader, 106: extra
            const auto geometry = round_trip_hand_block<NiGeometry>(type, b.bytes);
            EXPECT_EQ(std::tuple(geometry->collision, geometry->data, geometry->skin_instance, geometry->shader_extra),
                      std::tuple(6, 1, 2, shader ? 77u : 0u));
        }
    }
    // NiTriShapeData by hand: two vertices, vector_flags 4098 with normals, so tangents,
    // bitangents and two UV sets follow.
    HandBytes b;
    b.u16(2).u8(1).u8(2);                         //   0: num_vertices, keep, compress
    b.u8(1);                                      //   4: has vertices
    b.f32(1).f32(2).f32(3).f32(4).f32(5).f32(6);  //   5: vertices
    b.u16(4098);                                  //  29: vector_flags
    b.u8(1);                                      //  31: has normals
    b.f32(0).f32(0).f32(1).f32(0).f32(1).f32(0);  //  32: normals
    b.f32(1).f32(0).f32(0).f32(1).f32(0).f32(0);  //  56: tangents
    b.f32(0).f32(1).f32(0).f32(0).f32(0).f32(1);  //  80: bitangents
    b.f32(7).f32(8).f32(9).f32(10);               // 104: center, 116: radius
    b.u8(0);                                      // 120: has colours
    b.f32(0.25f).f32(0.5f).f32(0.75f).f32(1);     // 121: UV set 0
    b.f32(2).f32(3).f32(4).f32(5);                // 137: UV set 1
    b.u16(0x4000);                                // 153: consistency
    b.u16(1).u32(3).u8(1);                        // 155: num_triangles, 157: points, 161: has
    b.u16(0).u16(1).u16(1);                       // 162: triangle
    b.u16(2).u16(2).u16(0).u16(1).u16(0);         // 168: match groups {0, 1} and {}
    const auto data = round_trip_hand_block<NiTriShapeData>("NiTriShapeData", b.bytes);
    EXPECT_EQ(std::tuple(data->vertices[1], data->tangents[0], data->bitangents[1]),
              std::tuple(NifVec3{4, 5, 6}, NifVec3{1, 0, 0}, NifVec3{0, 0, 1}));
    EXPECT_EQ(std::tuple(data->uv_sets.at(1), data->triangles),
              std::tuple(std::vector<NifTexCoord>{{2, 3}, {4, 5}}, std::vector<NifTriangle>{{0, 1, 1}}));
    // NiTriStripsData: two strips, the second with a repeated index.
    HandBytes strips;
    strips.u16(0).u8(0).u8(0).u8(0).u16(0).u8(0);  //  0: empty geometry data up to normals
    strips.f32(0).f32(0).f32(0).f32(0).u8(0);      //  8: center, radius, no colours
    strips.u16(0);                                 // 25: consistency
    strips.u16(7).u16(2).u16(4).u16(4);            // 27: num_triangles (as stored), strip count, lengths
    strips.u8(1);                                  // 35: has points
    strips.u16(0).u16(1).u16(2).u16(3);            // 36: strip 0
    strips.u16(0).u16(0).u16(1).u16(2);            // 44: strip 1
    const auto strips_data = round_trip_hand_block<NiTriStripsData>("NiTriStripsData", strips.bytes);
    EXPECT_EQ(strips_data->triangles, (std::vector<NifTriangle>{{0, 1, 2}, {1, 3, 2}, {0, 2, 1}}));

    // Without points the lengths are still stored, and there are no triangles.
    HandBytes no_points(strips);
    no_points.bytes.resize(35);
    no_points.u8(0);
    EXPECT_TRUE(round_trip_hand_block<NiTriStripsData>("NiTriStripsData", no_points.bytes)->triangles.empty());
}

TEST(NifGeometry, StripsToTriangles) {
    using Strips = std::vector<std::vector<std::uint16_t>>;
    using Tris = std::vector<NifTriangle>;
    const std::tuple<Strips, Tris> cases[] = {
        {{{0, 1, 2, 3}}, {{0, 1, 2}, {1, 3, 2}}},
        {{{0, 0, 1, 2}}, {{0, 2, 1}}},
        {{{0, 1}}, {}},
        {{{}}, {}},
        {{{5, 5, 6, 6}}, {}},  // every window repeats an index
        {{{5, 6, 5, 7}}, {{6, 7, 5}}},
        {{{0, 1, 2, 3, 4}, {7, 8, 9}}, {{0, 1, 2}, {1, 3, 2}, {2, 3, 4}, {7, 8, 9}}}};
    for (const auto& [strips, triangles] : cases) EXPECT_EQ(strips_to_triangles(strips), triangles);
}

}  // namespace
}  // namespace tarkeep::test
