// Key groups, keyframe data with its rotation types, and the other animation data.
#include "tests/data/nif/nif_test_util.h"

namespace tarkeep::test {
namespace {

using namespace tarkeep::data;

TEST(NifKeyframes, KeyGroupAndRotationLayouts) {
    // No keys: the count alone, no interpolation.
    EXPECT_TRUE(round_trip_hand_block<NiFloatData>("NiFloatData", HandBytes().u32(0).bytes)->keys.keys.empty());

    // Quadratic: forward and backward follow each value.
    HandBytes quadratic;
    quadratic.u32(1).u32(2);                                                             // 0: count, 4: interpolation
    quadratic.f32(0.5f).f32(1).f32(2).f32(3).f32(4).f32(5).f32(6).f32(7).f32(8).f32(9);  // 8: key
    const auto pos = round_trip_hand_block<NiPosData>("NiPosData", quadratic.bytes);
    EXPECT_EQ(std::tuple(pos->keys.keys.at(0).value, pos->keys.keys[0].forward, pos->keys.keys[0].backward),
              std::tuple(NifVec3{1, 2, 3}, NifVec3{4, 5, 6}, NifVec3{7, 8, 9}));

    // TBC: three floats after each value; constant (5): nothing extra.
    HandBytes tbc;
    tbc.u32(2).u32(3);
    tbc.f32(0).f32(1).f32(0.1f).f32(0.2f).f32(0.3f);  // 8: time, value, tension, bias, continuity
    tbc.f32(1).f32(2).f32(0.4f).f32(0.5f).f32(0.6f);  // 28
    const auto floats = round_trip_hand_block<NiFloatData>("NiFloatData", tbc.bytes);
    EXPECT_EQ(floats->keys.keys[1].tbc, (NifTbc{0.4f, 0.5f, 0.6f}));

    const HandBytes constant = HandBytes().u32(1).u32(5).f32(3).f32(1).f32(0.5f).f32(0.25f).f32(1);  // color4
    const auto colors = round_trip_hand_block<NiColorData>("NiColorData", constant.bytes);
    EXPECT_EQ(colors->keys.keys[0].value, (NifColor4{1, 0.5f, 0.25f, 1}));

    EXPECT_THROW(read_hand_block<NiFloatData>("NiFloatData", HandBytes().u32(0xFFFFFFFF).u32(1).f32(0).f32(0).bytes),
                 NifError);
    // Rotation keys are 20 bytes (time, quaternion) except with TBC; XYZ rotations are three key groups.
    for (const std::uint32_t type : {1u, 2u, 5u}) {
        HandBytes b;
        b.u32(2).u32(type);                    //  0: count, 4: type
        b.f32(0).f32(1).f32(0).f32(0).f32(0);  //  8: key 0
        b.f32(1).f32(0).f32(1).f32(0).f32(0);  // 28: key 1
        b.u32(0).u32(0);                       // 48: translations, 52: scales
        const auto rotation = round_trip_hand_block<NiKeyframeData>("NiKeyframeData", b.bytes);
        EXPECT_EQ(rotation->rotations.at(1).value, (NifQuat{0, 1, 0, 0}));
    }

    HandBytes tbc_rotation;
    tbc_rotation.u32(1).u32(3);                                                        //  0: count, 4: type
    tbc_rotation.f32(0.5f).f32(1).f32(0).f32(0).f32(0).f32(0.1f).f32(0.2f).f32(0.3f);  // 8: key with tbc
    tbc_rotation.u32(0);                                                               // 40: translations
    tbc_rotation.u32(1).u32(2).f32(0).f32(1).f32(0.5f).f32(0.25f);                     // 44: quadratic scales
    const auto tbc_data = round_trip_hand_block<NiKeyframeData>("NiKeyframeData", tbc_rotation.bytes);
    EXPECT_EQ(tbc_data->rotations[0].tbc, (NifTbc{0.1f, 0.2f, 0.3f}));
    EXPECT_EQ(tbc_data->scales.keys[0].backward, 0.25f);
    HandBytes xyz_bytes;
    xyz_bytes.u32(1).u32(4).f32(0.75f);                   //  0: count, 4: type, 8: xyz_unknown
    xyz_bytes.u32(1).u32(1).f32(0).f32(0.5f);             // 12: about x
    xyz_bytes.u32(0);                                     // 28: about y, empty
    xyz_bytes.u32(2).u32(3);                              // 32: about z, TBC
    xyz_bytes.f32(0).f32(1).f32(0).f32(0).f32(0);         // 40
    xyz_bytes.f32(1).f32(2).f32(0).f32(0).f32(0);         // 60
    xyz_bytes.u32(1).u32(1).f32(0).f32(1).f32(2).f32(3);  // 80: translations
    xyz_bytes.u32(0);                                     // 104: scales
    const auto xyz = round_trip_hand_block<NiKeyframeData>("NiKeyframeData", xyz_bytes.bytes);
    EXPECT_EQ(
        std::tuple(xyz->xyz_unknown, xyz->xyz_rotations[0].keys.at(0).value, xyz->xyz_rotations[2].keys.at(1).value),
        std::tuple(0.75f, 0.5f, 2.0f));
    EXPECT_EQ(xyz->translations.keys.at(0).value, (NifVec3{1, 2, 3}));

    const HandBytes none = HandBytes().u32(0).u32(0).u32(0);  // no rotation keys: no type either
    EXPECT_EQ(round_trip_hand_block<NiKeyframeData>("NiKeyframeData", none.bytes)->rotation_type, 0u);
}

}  // namespace
}  // namespace tarkeep::test
