// Extra data blocks.
#include <gtest/gtest.h>

#include "tests/data/nif/nif_test_util.h"

namespace tarkeep::test {
namespace {

using namespace tarkeep::data;

TEST(NifExtraData, HandAssembledRoundTrip) {
    HandBytes keys;
    keys.u32(1).text("K").u32(2);          // 0: name, 5: count
    keys.f32(0.25f).u32(2).text("hi");     // 9: key
    keys.f32(1).u32(0);                    // 19: key with an empty text
    const auto k = round_trip_hand_block<NiTextKeyExtraData>("NiTextKeyExtraData", keys.bytes);
    EXPECT_EQ(k->name, "K");
    EXPECT_EQ(k->keys, (std::vector<NifTextKey>{{0.25f, "hi"}, {1, ""}}));

    HandBytes text;
    text.str("UserPropBuffer").str("billboard = 1\r\nshadow");
    EXPECT_EQ(round_trip_hand_block<NiStringExtraData>("NiStringExtraData", text.bytes)->string,
              "billboard = 1\r\nshadow");
    HandBytes boolean;
    boolean.str("b").u8(1);
    EXPECT_EQ(round_trip_hand_block<NiBooleanExtraData>("NiBooleanExtraData", boolean.bytes)->value, 1);
    HandBytes integer;
    integer.str("i").u32(0xDEADBEEF);
    EXPECT_EQ(round_trip_hand_block<NiIntegerExtraData>("NiIntegerExtraData", integer.bytes)->value, 0xDEADBEEFu);
    HandBytes real;
    real.str("f").f32(-0.125f);
    const auto f = round_trip_hand_block<NiFloatExtraData>("NiFloatExtraData", real.bytes);
    EXPECT_EQ(f->name, "f");
    EXPECT_EQ(f->value, -0.125f);

    HandBytes hostile;  // a billion keys in a few bytes
    hostile.u32(0).u32(1000000000).f32(0).u32(0);
    EXPECT_THROW(read_hand_block<NiTextKeyExtraData>("NiTextKeyExtraData", hostile.bytes), NifError);
}

}  // namespace
}  // namespace tarkeep::test
