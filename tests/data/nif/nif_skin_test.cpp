// Skin instances, skin data with and without weights, and skin partitions.
#include "tests/data/nif/nif_test_util.h"

namespace tarkeep::test {
namespace {

using namespace tarkeep::data;

HandBytes& transform(HandBytes& b, float base) {
    for (int i = 0; i < 9; ++i) b.f32(base + float(i));                    // rotation
    return b.f32(base + 10).f32(base + 11).f32(base + 12).f32(base + 13);  // translation, scale
}

TEST(NifSkin, HandAssembledSkinInstanceAndDataAndWrittenPartitionsRoundTrip) {
    HandBytes instance;
    instance.i32(1).i32(2).u32(3).i32(3).i32(4).i32(-1);  // 0: data, skeleton root, 8: bones
    EXPECT_EQ(round_trip_hand_block<NiSkinInstance>("NiSkinInstance", instance.bytes)->bones,
              (std::vector<NifRef>{3, 4, -1}));

    HandBytes b;
    transform(b, 100);                                     //   0: skin transform
    b.u32(2).i32(2).u8(1);                                 //  52: bones, 56: partition, 60: has weights
    transform(b, 200);                                     //  61: bone transform
    b.f32(1).f32(2).f32(3).f32(4);                         // 113: bound centre, 125: radius
    b.u16(2);                                              // 129: weight count
    b.u16(3).f32(0.25f).u16(5).f32(0.75f);                 // 131: (vertex, weight) x 2
    transform(b, 300).f32(5).f32(6).f32(7).f32(8).u16(0);  // 143: second bone, no weights
    const auto data = round_trip_hand_block<NiSkinData>("NiSkinData", b.bytes);
    EXPECT_EQ(std::tuple(data->transform.scale, data->bones.at(1).transform.scale, data->bones[1].bound_radius),
              std::tuple(113, 313, 8));
    EXPECT_EQ(data->bones[0].weights, (std::vector<NifSkinWeight>{{3, 0.25f}, {5, 0.75f}}));
    b.bytes[129] = b.bytes[130] = 0xFF;  // 65535 weights in 78 bytes: refused before they are read
    EXPECT_EQ(error_text<NifError>([&] { read_hand_block<NiSkinData>("NiSkinData", b.bytes); }),
              "read past end at 131");

    HandBytes no_weights;
    transform(no_weights, 0);
    no_weights.u32(1).i32(-1).u8(0);
    transform(no_weights, 0);
    no_weights.f32(0).f32(0).f32(0).f32(0).u16(40);  // the count is there, the weights are not
    EXPECT_TRUE(round_trip_hand_block<NiSkinData>("NiSkinData", no_weights.bytes)->bones[0].weights.empty());
    HandBytes hostile;  // four billion bones
    transform(hostile, 0).u32(0xFFFFFFFF).i32(-1).u8(0).u32(0);
    EXPECT_THROW(read_hand_block<NiSkinData>("NiSkinData", hostile.bytes), NifError);

    NiSkinPartition skin;  // 3 vertices x 2 weights with every optional run; 4 x 1 in one strip, none
    skin.partitions = {
        {3, 1, 2, {7, 9}, {4, 5, 6}, {.5f, .5f, 1, 0, .25f, .75f}, {}, true, {{0, 1, 2}}, {}, {0, 1, 1, 0, 0, 1}},
        {4, 2, 1, {3}, {}, {}, {4}, true, {}, {{0, 1, 2, 3}}, {}}};
    NifByteWriter out;
    write_nif_block(out, "NiSkinPartition", skin, kNifVersion10_1_0_0);
    EXPECT_TRUE(read_hand_block<NiSkinPartition>("NiSkinPartition", out.data())->partitions == skin.partitions);
}

}  // namespace
}  // namespace tarkeep::test
