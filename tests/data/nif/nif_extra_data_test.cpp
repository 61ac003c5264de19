// Extra data blocks.
#include <gtest/gtest.h>

#include "tests/data/nif/nif_test_util.h"

namespace tarkeep::test {
namespace {

using namespace tarkeep::data;

TEST(NifExtraData, RoundTrip) {
    NiStringExtraData text;
    text.name = "UserPropBuffer";
    text.string = "billboard = 1\r\nshadow";
    expect_round_trip("NiStringExtraData", text);

    NiTextKeyExtraData keys;
    keys.name = "Walk";
    keys.keys = {{0, "start"}, {0.5f, "sound: step"}, {1, ""}};
    expect_round_trip("NiTextKeyExtraData", keys);

    NiBooleanExtraData flag;
    flag.name = "b";
    flag.value = 1;
    expect_round_trip("NiBooleanExtraData", flag);

    NiIntegerExtraData number;
    number.name = "i";
    number.value = 0xDEADBEEF;
    expect_round_trip("NiIntegerExtraData", number);

    NiFloatExtraData real;
    real.name = "f";
    real.value = -0.125f;
    expect_round_trip("NiFloatExtraData", real);
}

TEST(NifExtraData, HandAssembled) {
    HandBytes keys;
    keys.u32(1).text("K").u32(2);          // 0: name, 5: count
    keys.f32(0.25f).u32(2).text("hi");     // 9: key
    keys.f32(1).u32(0);                    // 19: key with an empty text
    const auto k = read_hand_block<NiTextKeyExtraData>("NiTextKeyExtraData", keys.bytes);
    EXPECT_EQ(k->name, "K");
    EXPECT_EQ(k->keys, (std::vector<NifTextKey>{{0.25f, "hi"}, {1, ""}}));

    HandBytes boolean;
    boolean.u32(0).u8(1);
    EXPECT_EQ(read_hand_block<NiBooleanExtraData>("NiBooleanExtraData", boolean.bytes)->value, 1);

    HandBytes hostile;  // a billion keys in a few bytes
    hostile.u32(0).u32(1000000000).f32(0).u32(0);
    EXPECT_THROW(read_hand_block<NiTextKeyExtraData>("NiTextKeyExtraData", hostile.bytes), NifError);
}

}  // namespace
}  // namespace tarkeep::test
