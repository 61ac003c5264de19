// Scene graph nodes, LOD data, lights, and the extra data blocks that nodes carry.
#include <gtest/gtest.h>

#include "tests/data/nif/nif_test_util.h"

namespace tarkeep::test {
namespace {

using namespace tarkeep::data;

// The NiAVObject fields of av_object_bytes() as read.
void expect_av_object(const NiAVObject& block) {
    EXPECT_EQ(block.name, "Root");
    EXPECT_EQ(block.extra_data, std::vector<NifRef>{9});
    EXPECT_EQ(block.controller, 5);
    EXPECT_EQ(block.flags, 0x000E);
    EXPECT_EQ(block.translation, (NifVec3{1, 2, 3}));
    EXPECT_EQ(block.rotation.m[1], 0.125f);
    EXPECT_EQ(block.rotation.m[8], 1.0f);
    EXPECT_EQ(block.scale, 0.5f);
    EXPECT_EQ(block.properties, (std::vector<NifRef>{3, 4}));
    EXPECT_EQ(block.collision, 6);
}

TEST(NifNodes, HandAssembledNodesRoundTrip) {
    HandBytes b = av_object_bytes();
    b.u32(1).i32(2);          //  90: children
    b.u32(2).i32(7).i32(-1);  //  98: effects
    ASSERT_EQ(b.size(), 110u);
    const auto node = round_trip_hand_block<NiNode>("NiNode", b.bytes);
    expect_av_object(*node);
    EXPECT_EQ(node->children, std::vector<NifRef>{2});
    EXPECT_EQ(node->effects, (std::vector<NifRef>{7, -1}));

    // NiLODNode continues the same bytes; NiBillboardNode reads one u16 more.
    HandBytes lod = b;
    lod.u16(2).u32(1).i32(5);  // 110: switch_flags, 112: index, 116: lod_data
    const auto lod_node = round_trip_hand_block<NiLODNode>("NiLODNode", lod.bytes);
    EXPECT_EQ(lod_node->switch_flags, 2);
    EXPECT_EQ(lod_node->index, 1u);
    EXPECT_EQ(lod_node->lod_data, 5);
    HandBytes billboard = b;
    billboard.u16(4);
    EXPECT_EQ(round_trip_hand_block<NiBillboardNode>("NiBillboardNode", billboard.bytes)->billboard_mode, 4);
}

TEST(NifNodes, HandAssembledRangeLodDataAndLightRoundTrip) {
    HandBytes b;
    b.f32(1).f32(2).f32(3).u32(2);     //  0: center, 12: count
    b.f32(0).f32(10).f32(20).f32(50);  // 16: (near, far) pairs
    const auto data = round_trip_hand_block<NiRangeLODData>("NiRangeLODData", b.bytes);
    EXPECT_EQ(data->center, (NifVec3{1, 2, 3}));
    ASSERT_EQ(data->ranges.size(), 2u);
    EXPECT_EQ(data->ranges[1].near_distance, 20);
    EXPECT_EQ(data->ranges[1].far_distance, 50);

    HandBytes light = av_object_bytes();
    light.u32(2).u32(0xAABBCCDD).u32(7).f32(0.5f);          //  90: affected nodes, 102: dimmer
    for (int i = 1; i <= 9; ++i) light.f32(float(i) / 10);  // 106: ambient, diffuse, specular
    const auto sun = round_trip_hand_block<NiDirectionalLight>("NiDirectionalLight", light.bytes);
    expect_av_object(*sun);
    EXPECT_EQ(sun->affected_nodes, (std::vector<std::uint32_t>{0xAABBCCDD, 7}));
    EXPECT_EQ(sun->dimmer, 0.5f);
    EXPECT_EQ(sun->ambient, (NifColor3{0.1f, 0.2f, 0.3f}));
    EXPECT_EQ(sun->specular, (NifColor3{0.7f, 0.8f, 0.9f}));
}

TEST(NifExtraData, HandAssembledRoundTrip) {
    HandBytes keys;
    keys.u32(1).text("K").u32(2);       // 0: name, 5: count
    keys.f32(0.25f).u32(2).text("hi");  // 9: key
    keys.f32(1).u32(0);                 // 19: key with an empty text
    const auto k = round_trip_hand_block<NiTextKeyExtraData>("NiTextKeyExtraData", keys.bytes);
    EXPECT_EQ(k->name, "K");
    EXPECT_EQ(k->keys, (std::vector<NifTextKey>{{0.25f, "hi"}, {1, ""}}));

    const HandBytes text = HandBytes().str("UserPropBuffer").str("billboard = 1\r\nshadow");
    EXPECT_EQ(round_trip_hand_block<NiStringExtraData>("NiStringExtraData", text.bytes)->string,
              "billboard = 1\r\nshadow");
    const HandBytes boolean = HandBytes().str("b").u8(1);
    EXPECT_EQ(round_trip_hand_block<NiBooleanExtraData>("NiBooleanExtraData", boolean.bytes)->value, 1);
    const HandBytes integer = HandBytes().str("i").u32(0xDEADBEEF);
    EXPECT_EQ(round_trip_hand_block<NiIntegerExtraData>("NiIntegerExtraData", integer.bytes)->value, 0xDEADBEEFu);
    const auto f = round_trip_hand_block<NiFloatExtraData>("NiFloatExtraData", HandBytes().str("f").f32(-0.125f).bytes);
    EXPECT_EQ(f->name, "f");
    EXPECT_EQ(f->value, -0.125f);

    HandBytes hostile;  // a billion keys in a few bytes
    hostile.u32(0).u32(1000000000).f32(0).u32(0);
    EXPECT_THROW(read_hand_block<NiTextKeyExtraData>("NiTextKeyExtraData", hostile.bytes), NifError);
}

}  // namespace
}  // namespace tarkeep::test
