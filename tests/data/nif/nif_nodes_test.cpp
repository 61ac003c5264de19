// Scene graph nodes, LOD data and lights.
#include <gtest/gtest.h>

#include "tests/data/nif/nif_test_util.h"

namespace tarkeep::test {
namespace {

using namespace tarkeep::data;

TEST(NifNodes, RoundTrip) {
    NiNode node;
    fill_av_object(node, "Scene Root");
    node.children = {1, 2, -1};
    node.effects = {8};
    expect_round_trip("NiNode", node);

    NiLODNode lod;
    fill_av_object(lod, "LOD");
    lod.children = {1, 2, 3};
    lod.switch_flags = 0xBEEF;
    lod.index = 0x01020304;
    lod.lod_data = 4;
    expect_round_trip("NiLODNode", lod);

    NiBillboardNode billboard;
    fill_av_object(billboard, "Billboard");
    billboard.billboard_mode = 3;
    expect_round_trip("NiBillboardNode", billboard);

    NiRangeLODData ranges;
    ranges.center = {1, 2, 3};
    ranges.ranges = {{0, 100}, {100, 250.5f}, {250.5f, 1e6f}};
    expect_round_trip("NiRangeLODData", ranges);
    expect_round_trip("NiRangeLODData", NiRangeLODData{});

    NiDirectionalLight light;
    fill_av_object(light, "Sun");
    light.affected_nodes = {0xAABBCCDD, 7};
    light.dimmer = 0.5f;
    light.ambient = {0.1f, 0.2f, 0.3f};
    light.diffuse = {0.4f, 0.5f, 0.6f};
    light.specular = {0.7f, 0.8f, 0.9f};
    expect_round_trip("NiDirectionalLight", light);
}

// NiNode laid out by hand; offsets relative to the block data.
TEST(NifNodes, HandAssembledNode) {
    HandBytes b;
    b.u32(4).text("Root");                           //  0: name
    b.u32(1).i32(9);                                 //  8: extra_data
    b.i32(-1);                                       // 16: controller
    b.u16(0x000E);                                   // 20: flags
    b.f32(1).f32(2).f32(3);                          // 22: translation
    for (int i = 0; i < 9; ++i) b.f32(float(i) / 8); // 34: rotation, row by row
    b.f32(0.5f);                                     // 70: scale
    b.u32(2).i32(3).i32(4);                          // 74: properties
    b.i32(-1);                                       // 86: collision
    b.u32(1).i32(2);                                 // 90: children
    b.u32(0);                                        // 98: effects
    ASSERT_EQ(b.size(), 102u);

    const auto node = read_hand_block<NiNode>("NiNode", b.bytes);
    EXPECT_EQ(node->name, "Root");
    EXPECT_EQ(node->extra_data, std::vector<NifRef>{9});
    EXPECT_EQ(node->controller, -1);
    EXPECT_EQ(node->flags, 0x000E);
    EXPECT_EQ(node->translation, (NifVec3{1, 2, 3}));
    EXPECT_EQ(node->rotation.m[1], 0.125f);
    EXPECT_EQ(node->rotation.m[8], 1.0f);
    EXPECT_EQ(node->scale, 0.5f);
    EXPECT_EQ(node->properties, (std::vector<NifRef>{3, 4}));
    EXPECT_EQ(node->children, std::vector<NifRef>{2});
    EXPECT_TRUE(node->effects.empty());

    // NiLODNode continues the same bytes; NiBillboardNode reads one u16 more.
    HandBytes lod = b;
    lod.u16(2).u32(1).i32(5);  // 102: switch_flags, 104: index, 108: lod_data
    const auto lod_node = read_hand_block<NiLODNode>("NiLODNode", lod.bytes);
    EXPECT_EQ(lod_node->switch_flags, 2);
    EXPECT_EQ(lod_node->index, 1u);
    EXPECT_EQ(lod_node->lod_data, 5);
    HandBytes billboard = b;
    billboard.u16(4);
    EXPECT_EQ(read_hand_block<NiBillboardNode>("NiBillboardNode", billboard.bytes)->billboard_mode, 4);
}

TEST(NifNodes, HandAssembledRangeLodData) {
    HandBytes b;
    b.f32(1).f32(2).f32(3).u32(2);   //  0: center, 12: count
    b.f32(0).f32(10).f32(10).f32(50);  // 16: (near, far) pairs
    const auto data = read_hand_block<NiRangeLODData>("NiRangeLODData", b.bytes);
    ASSERT_EQ(data->ranges.size(), 2u);
    EXPECT_EQ(data->ranges[1].near_distance, 10);
    EXPECT_EQ(data->ranges[1].far_distance, 50);
}

}  // namespace
}  // namespace tarkeep::test
