// Skin instances, skin data with and without weights, and skin partitions.
#include <gtest/gtest.h>

#include "tests/data/nif/nif_test_util.h"

namespace tarkeep::test {
namespace {

using namespace tarkeep::data;

HandBytes& transform(HandBytes& b, float base) {
    for (int i = 0; i < 9; ++i) b.f32(base + float(i));  // rotation
    return b.f32(base + 10).f32(base + 11).f32(base + 12).f32(base + 13);  // translation, scale
}

NifSkinBone bone(float seed, std::vector<NifSkinWeight> weights) {
    NifSkinBone b;
    b.transform.translation = {seed, seed + 1, seed + 2};
    b.transform.scale = seed / 2;
    b.bound_center = {seed, 0, 0};
    b.bound_radius = seed * 3;
    b.num_weights = static_cast<std::uint16_t>(weights.size());
    b.weights = std::move(weights);
    return b;
}

TEST(NifSkin, RoundTrip) {
    NiSkinInstance instance;
    instance.data = 1;
    instance.skeleton_root = 2;
    instance.bones = {3, 4, 5, 6};
    expect_round_trip("NiSkinInstance", instance);

    NiSkinData data;
    data.transform.rotation.m = {0, 0, 1, 0, 1, 0, -1, 0, 0};
    data.transform.translation = {1, 2, 3};
    data.transform.scale = 2;
    data.skin_partition = 2;
    data.has_weights = true;
    data.bones = {bone(1, {{0, 0.5f}, {7, 1}}), bone(2, {}), bone(3, {{65535, 0.25f}})};
    expect_round_trip("NiSkinData", data);
    // Without weights the per-bone counts are still stored.
    data.has_weights = false;
    for (auto& b : data.bones) b.weights.clear();
    expect_round_trip("NiSkinData", data);

    NiSkinPartition partition;
    NifSkinPartitionEntry triangles;
    triangles.num_vertices = 3;
    triangles.num_triangles = 1;
    triangles.num_weights_per_vertex = 2;
    triangles.bones = {0, 4};
    triangles.vertex_map = {10, 11, 12};
    triangles.vertex_weights = {1, 0, 0.5f, 0.5f, 0.25f, 0.75f};
    triangles.has_faces = true;
    triangles.triangles = {{0, 1, 2}};
    triangles.bone_indices = {0, 1, 1, 0, 0, 1};
    NifSkinPartitionEntry strips;
    strips.num_vertices = 4;
    strips.num_triangles = 2;
    strips.num_weights_per_vertex = 1;
    strips.bones = {2};
    strips.strip_lengths = {4, 3};
    strips.has_faces = true;
    strips.strips = {{0, 1, 2, 3}, {3, 2, 1}};
    NifSkinPartitionEntry bare;  // no optional parts at all
    bare.num_vertices = 5;
    bare.num_triangles = 9;
    bare.num_weights_per_vertex = 4;
    partition.partitions = {triangles, strips, bare};
    expect_round_trip("NiSkinPartition", partition);
}

TEST(NifSkin, HandAssembledSkinData) {
    HandBytes b;
    transform(b, 100);                       //   0: skin transform
    b.u32(1).i32(2).u8(1);                   //  52: bones, 56: partition, 60: has weights
    transform(b, 200);                       //  61: bone transform
    b.f32(1).f32(2).f32(3).f32(4);           // 113: bound centre, 125: radius
    b.u16(2);                                // 129: weight count
    b.u16(3).f32(0.25f).u16(5).f32(0.75f);   // 131: (vertex, weight) x 2
    ASSERT_EQ(b.size(), 143u);
    const auto data = read_hand_block<NiSkinData>("NiSkinData", b.bytes);
    EXPECT_EQ(data->transform.rotation.m[8], 108);
    EXPECT_EQ(data->transform.translation, (NifVec3{110, 111, 112}));
    EXPECT_EQ(data->transform.scale, 113);
    EXPECT_EQ(data->skin_partition, 2);
    ASSERT_EQ(data->bones.size(), 1u);
    EXPECT_EQ(data->bones[0].transform.scale, 213);
    EXPECT_EQ(data->bones[0].bound_radius, 4);
    EXPECT_EQ(data->bones[0].weights, (std::vector<NifSkinWeight>{{3, 0.25f}, {5, 0.75f}}));

    HandBytes no_weights;
    transform(no_weights, 0);
    no_weights.u32(1).i32(-1).u8(0);
    transform(no_weights, 0);
    no_weights.f32(0).f32(0).f32(0).f32(0).u16(40);  // the count is there, the weights are not
    const auto bare = read_hand_block<NiSkinData>("NiSkinData", no_weights.bytes);
    EXPECT_EQ(bare->bones[0].num_weights, 40);
    EXPECT_TRUE(bare->bones[0].weights.empty());
}

TEST(NifSkin, HandAssembledSkinPartition) {
    HandBytes b;
    b.u32(1);                                    //  0: partitions
    b.u16(2).u16(1).u16(2).u16(0).u16(2);        //  4: vertices, triangles, bones, strips, weights per vertex
    b.u16(7).u16(9);                             // 14: bones
    b.u8(1).u16(20).u16(21);                     // 18: vertex map
    b.u8(1).f32(1).f32(0).f32(0.5f).f32(0.5f);   // 23: vertex weights
    b.u8(1).u16(0).u16(1).u16(0);                // 40: faces as one triangle
    b.u8(1).u8(0).u8(1).u8(1).u8(0);             // 47: bone indices
    ASSERT_EQ(b.size(), 52u);
    const auto p = read_hand_block<NiSkinPartition>("NiSkinPartition", b.bytes);
    const NifSkinPartitionEntry& part = p->partitions.at(0);
    EXPECT_EQ(part.bones, (std::vector<std::uint16_t>{7, 9}));
    EXPECT_EQ(part.vertex_map, (std::vector<std::uint16_t>{20, 21}));
    EXPECT_EQ(part.vertex_weights, (std::vector<float>{1, 0, 0.5f, 0.5f}));
    EXPECT_EQ(part.triangles, (std::vector<NifTriangle>{{0, 1, 0}}));
    EXPECT_EQ(part.bone_indices, (std::vector<std::uint8_t>{0, 1, 1, 0}));

    HandBytes strips;
    strips.u32(1).u16(3).u16(1).u16(0).u16(1).u16(1);  //  0: one strip, one weight per vertex
    strips.u8(0).u8(0);                                // 14: no vertex map, no weights
    strips.u16(3);                                     // 16: strip length
    strips.u8(1).u16(0).u16(1).u16(2);                 // 18: faces as a strip
    strips.u8(0);                                      // 25: no bone indices
    const auto s = read_hand_block<NiSkinPartition>("NiSkinPartition", strips.bytes);
    EXPECT_EQ(s->partitions[0].strips, (std::vector<std::vector<std::uint16_t>>{{0, 1, 2}}));
    EXPECT_TRUE(s->partitions[0].triangles.empty());

    HandBytes hostile;
    hostile.u32(0x7FFFFFFF).u16(0);
    EXPECT_THROW(read_hand_block<NiSkinPartition>("NiSkinPartition", hostile.bytes), NifError);
}

}  // namespace
}  // namespace tarkeep::test
