// Geometry blocks, geometry data and the strip to triangle conversion.
#include <gtest/gtest.h>

#include "tests/data/nif/nif_test_util.h"

namespace tarkeep::test {
namespace {

using namespace tarkeep::data;

// Fills every field of the common geometry data for `count` vertices.
void fill_geometry_data(NiGeometryData& data, std::uint16_t count, std::uint16_t vector_flags) {
    data.num_vertices = count;
    data.keep_flags = 1;
    data.compress_flags = 2;
    data.vector_flags = vector_flags;
    for (std::uint16_t i = 0; i < count; ++i) {
        const float f = i;
        data.vertices.push_back({f, f + 0.5f, -f});
        data.normals.push_back({0, 0, f});
        if (vector_flags & kVectorFlagsTangents) {
            data.tangents.push_back({1, f, 0});
            data.bitangents.push_back({0, 1, f});
        }
        data.colors.push_back({f / 10, 0.25f, 0.5f, 1});
    }
    data.uv_sets.resize(vector_flags & kVectorFlagsUvMask);
    for (std::size_t set = 0; set < data.uv_sets.size(); ++set) {
        for (std::uint16_t i = 0; i < count; ++i) data.uv_sets[set].push_back({float(set), float(i) / 4});
    }
    data.center = {0.5f, 0.25f, 0.125f};
    data.radius = 9;
    data.consistency = 0x4000;
}

TEST(NifGeometry, GeometryBlocksRoundTrip) {
    for (const char* type : {"NiTriShape", "NiTriStrips", "NiParticles"}) {
        NiGeometry geometry;
        fill_av_object(geometry, type);
        geometry.data = 1;
        geometry.skin_instance = 2;
        expect_round_trip(type, geometry);
        geometry.has_shader = true;
        geometry.shader = "WaterShader";
        geometry.shader_extra = 0x11223344;
        expect_round_trip(type, geometry);
    }
}

TEST(NifGeometry, DataBlocksRoundTrip) {
    NiTriShapeData shape;
    fill_geometry_data(shape, 4, 4096 | 2);
    shape.num_triangles = 2;
    shape.num_triangle_points = 6;
    shape.triangles = {{0, 1, 2}, {2, 1, 3}};
    shape.match_groups = {{0, 3}, {}, {1, 2, 3}};
    expect_round_trip("NiTriShapeData", shape);

    NiTriShapeData bare;  // no vertices, normals, colours, UVs or triangles
    bare.num_vertices = 3;
    bare.num_triangles = 5;
    expect_round_trip("NiTriShapeData", bare);

    NiTriStripsData strips;
    fill_geometry_data(strips, 5, 1);
    strips.num_triangles = 77;  // kept as stored, not recomputed
    strips.strip_lengths = {5, 3};
    strips.strips = {{0, 1, 2, 3, 4}, {4, 3, 2}};
    strips.triangles = strips_to_triangles(strips.strips);
    expect_round_trip("NiTriStripsData", strips);

    NiParticlesData particles;
    fill_geometry_data(particles, 3, 0);
    particles.radii = {1, 2, 3};
    particles.num_active = 2;
    particles.sizes = {0.5f, 0.25f, 0.125f};
    particles.rotations = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0.5f, 0.5f, 0.5f, 0.5f}};
    expect_round_trip("NiParticlesData", particles);
    particles.radii.clear();
    particles.rotations.clear();
    expect_round_trip("NiParticlesData", particles);
}

TEST(NifGeometry, StripsToTriangles) {
    using Strips = std::vector<std::vector<std::uint16_t>>;
    using Tris = std::vector<NifTriangle>;
    const struct {
        Strips strips;
        Tris triangles;
    } cases[] = {
        {{{0, 1, 2, 3}}, {{0, 1, 2}, {1, 3, 2}}},
        {{{0, 0, 1, 2}}, {{0, 2, 1}}},
        {{{0, 1}}, {}},
        {{{}}, {}},
        {{{5, 5, 6, 6}}, {}},  // every window repeats an index
        {{{5, 6, 5, 7}}, {{6, 7, 5}}},
        {{{0, 1, 2, 3, 4}, {7, 8, 9}}, {{0, 1, 2}, {1, 3, 2}, {2, 3, 4}, {7, 8, 9}}},
    };
    for (const auto& c : cases) EXPECT_EQ(strips_to_triangles(c.strips), c.triangles);
}

// NiTriShapeData by hand: two vertices, vector_flags 4097 with normals, so tangents,
// bitangents and one UV set follow.
TEST(NifGeometry, HandAssembledTriShapeDataWithTangents) {
    HandBytes b;
    b.u16(2).u8(1).u8(2);                              //   0: num_vertices, keep, compress
    b.u8(1);                                           //   4: has vertices
    b.f32(1).f32(2).f32(3).f32(4).f32(5).f32(6);       //   5: vertices
    b.u16(4097);                                       //  29: vector_flags
    b.u8(1);                                           //  31: has normals
    b.f32(0).f32(0).f32(1).f32(0).f32(1).f32(0);       //  32: normals
    b.f32(1).f32(0).f32(0).f32(1).f32(0).f32(0);       //  56: tangents
    b.f32(0).f32(1).f32(0).f32(0).f32(0).f32(1);       //  80: bitangents
    b.f32(7).f32(8).f32(9).f32(10);                    // 104: center, 116: radius
    b.u8(0);                                           // 120: has colours
    b.f32(0.25f).f32(0.5f).f32(0.75f).f32(1);          // 121: one UV set
    b.u16(0x4000);                                     // 137: consistency
    b.u16(1).u32(3).u8(1);                             // 139: num_triangles, 141: points, 145: has
    b.u16(0).u16(1).u16(1);                            // 146: triangle
    b.u16(1).u16(2).u16(0).u16(1);                     // 152: match groups
    ASSERT_EQ(b.size(), 160u);

    const auto data = read_hand_block<NiTriShapeData>("NiTriShapeData", b.bytes);
    EXPECT_EQ(data->vertices, (std::vector<NifVec3>{{1, 2, 3}, {4, 5, 6}}));
    EXPECT_EQ(data->normals[1], (NifVec3{0, 1, 0}));
    EXPECT_EQ(data->tangents[0], (NifVec3{1, 0, 0}));
    EXPECT_EQ(data->bitangents[1], (NifVec3{0, 0, 1}));
    EXPECT_EQ(data->center, (NifVec3{7, 8, 9}));
    EXPECT_EQ(data->radius, 10);
    EXPECT_TRUE(data->colors.empty());
    ASSERT_EQ(data->uv_sets.size(), 1u);
    EXPECT_EQ(data->uv_sets[0][1], (NifTexCoord{0.75f, 1}));
    EXPECT_EQ(data->consistency, 0x4000);
    EXPECT_EQ(data->num_triangle_points, 3u);
    EXPECT_EQ(data->triangles, (std::vector<NifTriangle>{{0, 1, 1}}));
    EXPECT_EQ(data->match_groups, (std::vector<std::vector<std::uint16_t>>{{0, 1}}));
}

TEST(NifGeometry, TangentsNeedNormals) {
    HandBytes b;
    b.u16(1).u8(0).u8(0).u8(0);   // 0: one vertex, none stored
    b.u16(4097).u8(0);            // 5: vector_flags, no normals: no tangents either
    b.f32(0).f32(0).f32(0).f32(1).u8(0);  // 8: center, radius, no colours
    b.f32(0.5f).f32(0.5f);        // 25: one UV set
    b.u16(0).u16(0).u32(0).u8(0).u16(0);  // 33: consistency and an empty triangle part
    const auto data = read_hand_block<NiTriShapeData>("NiTriShapeData", b.bytes);
    EXPECT_TRUE(data->tangents.empty());
    EXPECT_EQ(data->uv_sets.size(), 1u);
}

TEST(NifGeometry, HandAssembledTriStripsData) {
    HandBytes b;
    b.u16(0).u8(0).u8(0).u8(0).u16(0).u8(0);  //  0: empty geometry data up to normals
    b.f32(0).f32(0).f32(0).f32(0).u8(0);      //  8: center, radius, no colours
    b.u16(0);                                  // 25: consistency
    b.u16(3).u16(2).u16(4).u16(4);             // 27: num_triangles, strip count, lengths
    b.u8(1);                                   // 35: has points
    b.u16(0).u16(1).u16(2).u16(3);             // 36: strip 0
    b.u16(0).u16(0).u16(1).u16(2);             // 44: strip 1
    ASSERT_EQ(b.size(), 52u);
    const auto data = read_hand_block<NiTriStripsData>("NiTriStripsData", b.bytes);
    EXPECT_EQ(data->num_triangles, 3);
    EXPECT_EQ(data->triangles, (std::vector<NifTriangle>{{0, 1, 2}, {1, 3, 2}, {0, 2, 1}}));

    // Without points the lengths are still stored, and there are no triangles.
    HandBytes no_points(b);
    no_points.bytes.resize(35);
    no_points.u8(0);
    const auto empty = read_hand_block<NiTriStripsData>("NiTriStripsData", no_points.bytes);
    EXPECT_EQ(empty->strip_lengths, (std::vector<std::uint16_t>{4, 4}));
    EXPECT_TRUE(empty->triangles.empty());
    EXPECT_EQ(empty->num_triangles, 3);
}

TEST(NifGeometry, HandAssembledGeometryShader) {
    HandBytes b;
    b.u32(0).u32(0).i32(-1);                              //  0: name, extra data, controller
    b.u16(0).f32(0).f32(0).f32(0);                        // 12: flags, translation
    for (int i = 0; i < 9; ++i) b.f32(0);                 // 26: rotation
    b.f32(1).u32(0).i32(-1);                              // 62: scale, properties, collision
    b.i32(1).i32(2).u8(1).u32(3).text("fur").u32(77);     // 74: data, skin, shader
    const auto geometry = read_hand_block<NiGeometry>("NiParticles", b.bytes);
    EXPECT_EQ(geometry->data, 1);
    EXPECT_EQ(geometry->skin_instance, 2);
    EXPECT_EQ(geometry->shader, "fur");
    EXPECT_EQ(geometry->shader_extra, 77u);
}

}  // namespace
}  // namespace tarkeep::test
