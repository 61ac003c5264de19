// Scene graph nodes, LOD data, lights, and the extra data blocks that nodes carry.
#include "tests/data/nif/nif_test_util.h"

namespace tarkeep::test {
namespace {

using namespace tarkeep::data;

TEST(NifNodes, HandAssembledNodesLodDataAndExtraDataRoundTrip) {
    // The round trips pin each layout byte for byte; the field checks pin what the bytes mean.
    HandBytes b = av_object_bytes();
    b.u32(1).i32(2);          //  90: children
    b.u32(2).i32(7).i32(-1);  //  98: effects
    const auto node = round_trip_hand_block<NiNode>("NiNode", b.bytes);
    EXPECT_EQ(std::tuple(node->flags, node->translation, node->rotation.m[1], node->scale, node->properties[1],
                         node->collision, node->effects),
              std::tuple(0x000E, NifVec3{1, 2, 3}, 0.125f, 0.5f, 4, 6, std::vector<NifRef>{7, -1}));

    // NiLODNode continues the same bytes; NiBillboardNode reads one u16 more.
    HandBytes lod = b;
    lod.u16(2).u32(1).i32(5);  // 110: switch_flags, 112: index, 116: lod_data
    EXPECT_EQ(round_trip_hand_block<NiLODNode>("NiLODNode", lod.bytes)->lod_data, 5);
    HandBytes ranges;
    ranges.f32(1).f32(2).f32(3).u32(2);     //  0: center, 12: count
    ranges.f32(0).f32(10).f32(20).f32(50);  // 16: (near, far) pairs
    const auto range_data = round_trip_hand_block<NiRangeLODData>("NiRangeLODData", ranges.bytes);
    EXPECT_EQ(std::tuple(range_data->ranges.at(1).near_distance, range_data->ranges[1].far_distance),
              std::tuple(20, 50));
    HandBytes keys;
    keys.u32(1).text("K").u32(2);       // 0: name, 5: count
    keys.f32(0.25f).u32(2).text("hi");  // 9: key
    keys.f32(1).u32(0);                 // 19: key with an empty text
    const auto k = round_trip_hand_block<NiTextKeyExtraData>("NiTextKeyExtraData", keys.bytes);
    EXPECT_EQ(k->keys, (std::vector<NifTextKey>{{0.25f, "hi"}, {1, ""}}));

    round_trip_hand_block<NiBooleanExtraData>("NiBooleanExtraData", HandBytes().str("b").u8(1).bytes);
    const auto f = round_trip_hand_block<NiFloatExtraData>("NiFloatExtraData", HandBytes().str("f").f32(-0.125f).bytes);
    EXPECT_EQ(f->value, -0.125f);

    HandBytes hostile;  // a billion keys in a few bytes
    hostile.u32(0).u32(1000000000).f32(0).u32(0);
    EXPECT_THROW(read_hand_block<NiTextKeyExtraData>("NiTextKeyExtraData", hostile.bytes), NifError);
}

}  // namespace
}  // namespace tarkeep::test
