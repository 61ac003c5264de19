// Time controllers, the two version-dependent fields, controller sequences, and the
// particle system controller with its particle modifiers.
#include "tests/data/nif/nif_test_util.h"

namespace tarkeep::test {
namespace {

using namespace tarkeep::data;

// The 26 bytes of NiTimeController: next, flags, frequency, phase, start, stop, target.
HandBytes time_controller_bytes() { return HandBytes().i32(1).u16(8).f32(1.5f).f32(0.25f).f32(0.5f).f32(2).i32(3); }

TEST(NifControllers, HandAssembledControllersAndModifiersRoundTrip) {
    HandBytes b = time_controller_bytes();
    b.i32(4);  // 26: data
    for (const char* type : {"NiKeyframeController", "NiAlphaController", "NiVisController"}) {
        const auto k = round_trip_hand_block<NiDataController>(type, b.bytes);
        EXPECT_EQ(std::tuple(k->next_controller, k->flags, k->frequency, k->phase, k->start_time, k->stop_time,
                             k->target, k->data),
                  std::tuple(1, 8, 1.5f, 0.25f, 0.5f, 2.0f, 3, 4))
            << type;
    }
    // NiMaterialColorController has target_color from 10.1.0.0 on, NiGeomMorpherController
    // extra_flags from 10.0.1.2 on: 10.1.0.0 has both fields and 10.0.1.0 neither.
    for (const std::uint32_t version : {kNifVersion10_1_0_0, kNifVersion10_0_1_0}) {
        const bool has = version == kNifVersion10_1_0_0;
        HandBytes color = has ? time_controller_bytes().u16(3) : time_controller_bytes();
        HandBytes morpher = has ? time_controller_bytes().u16(9) : time_controller_bytes();
        const auto c =
            round_trip_hand_block<NiMaterialColorController>("NiMaterialColorController", color.i32(4).bytes, version);
        const auto m = round_trip_hand_block<NiGeomMorpherController>("NiGeomMorpherController",
                                                                      morpher.i32(5).u8(1).bytes, version);
        EXPECT_EQ(std::tuple(c->target_color, c->data, m->extra_flags, m->data),
                  std::tuple(has ? 3 : 0, 4, has ? 9 : 0, 5));
    }

    // Through read_nif the version comes from the file, which at 10.0.1.0 has no user version.
    HandBytes in_file = time_controller_bytes();
    in_file.i32(0);  // data refers to the block itself: the only valid reference here
    const NifFile file =
        read_nif(hand_file_with_block("NiMaterialColorController", in_file.bytes, nullptr, kNifVersion10_0_1_0));
    EXPECT_EQ(
        std::tuple(file.user_version.has_value(), dynamic_cast<const NiMaterialColorController&>(*file.blocks[0]).data),
        std::tuple(false, 0));
    HandBytes uv = time_controller_bytes();
    uv.u16(0x1234).i32(2);  // 26: unknown, 28: data
    EXPECT_EQ(round_trip_hand_block<NiUVController>("NiUVController", uv.bytes)->data, 2);

    HandBytes sequence;
    sequence.u32(4).text("Idle").u32(3).text("Bip").i32(1);  // 0: name, 8: accum root, 15: text keys
    sequence.u32(2).u32(5).text("Spine").i32(2);             // 19: blocks
    sequence.str("Body\nPROP\nNiMaterialProperty").i32(-1);
    const auto s = round_trip_hand_block<NiControllerSequence>("NiControllerSequence", sequence.bytes);
    EXPECT_EQ(std::tuple(s->name, s->accum_root_name, s->text_keys), std::tuple("Idle", "Bip", 1));
    EXPECT_EQ(s->blocks, (std::vector<NifControlledBlock>{{"Spine", 2}, {"Body\nPROP\nNiMaterialProperty", -1}}));
    HandBytes gravity;
    gravity.i32(1).i32(-1).f32(0.5f).f32(9.8f).u32(1);   //  0: next, controller, 8: unknown, force, kind
    gravity.f32(1).f32(2).f32(3).f32(0).f32(0).f32(-1);  // 20: position, direction
    EXPECT_EQ(round_trip_hand_block<NiGravity>("NiGravity", gravity.bytes)->direction, (NifVec3{0, 0, -1}));
}

}  // namespace
}  // namespace tarkeep::test
