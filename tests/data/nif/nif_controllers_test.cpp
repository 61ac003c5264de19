// Time controllers, the two version-dependent fields, controller sequences, and the
// particle system controller with its particle modifiers.
#include <gtest/gtest.h>

#include "tests/data/nif/nif_test_util.h"

namespace tarkeep::test {
namespace {

using namespace tarkeep::data;

// The 26 bytes of NiTimeController: next, flags, frequency, phase, start, stop, target.
HandBytes time_controller_bytes() {
    HandBytes b;
    b.i32(1).u16(8).f32(1.5f).f32(0.25f).f32(0.5f).f32(2).i32(3);
    return b;
}

TEST(NifControllers, HandAssembledDataControllersRoundTrip) {
    HandBytes b = time_controller_bytes();
    b.i32(4);  // 26: data
    for (const char* type : {"NiKeyframeController", "NiAlphaController", "NiVisController"}) {
        const auto k = round_trip_hand_block<NiDataController>(type, b.bytes);
        EXPECT_EQ(std::tuple(k->next_controller, k->flags, k->frequency, k->phase, k->start_time, k->stop_time,
                             k->target, k->data),
                  std::tuple(1, 8, 1.5f, 0.25f, 0.5f, 2.0f, 3, 4))
            << type;
    }
}

TEST(NifControllers, VersionDependentFields) {
    // NiMaterialColorController: target_color only from 10.1.0.0 on.
    HandBytes color = time_controller_bytes();
    color.u16(3).i32(4);  // 26: target_color, 28: data
    EXPECT_EQ(round_trip_hand_block<NiMaterialColorController>("NiMaterialColorController", color.bytes)->target_color,
              3);
    HandBytes old_color = time_controller_bytes();
    old_color.i32(4);  // 26: data
    const auto old = round_trip_hand_block<NiMaterialColorController>("NiMaterialColorController", old_color.bytes,
                                                                      kNifVersion10_0_1_0);
    EXPECT_EQ(std::tuple(old->target_color, old->data), std::tuple(0, 4));

    // NiGeomMorpherController: extra_flags only from 10.0.1.2 on, so 10.1.0.0 has it and
    // 10.0.1.0 does not.
    HandBytes morpher = time_controller_bytes();
    morpher.u16(9).i32(5).u8(1);  // 26: extra_flags, 28: data, 32: always_update
    EXPECT_EQ(round_trip_hand_block<NiGeomMorpherController>("NiGeomMorpherController", morpher.bytes)->extra_flags, 9);
    HandBytes old_morpher = time_controller_bytes();
    old_morpher.i32(5).u8(1);  // 26: data, 30: always_update
    const auto old_m = round_trip_hand_block<NiGeomMorpherController>("NiGeomMorpherController", old_morpher.bytes,
                                                                      kNifVersion10_0_1_0);
    EXPECT_EQ(std::tuple(old_m->extra_flags, old_m->data), std::tuple(0, 5));

    // Through read_nif the version comes from the file.
    std::size_t offset = 0;
    HandBytes in_file = time_controller_bytes();
    in_file.i32(0);  // data refers to the block itself: the only valid reference here
    const NifFile file =
        read_nif(hand_file_with_block("NiMaterialColorController", in_file.bytes, &offset, kNifVersion10_0_1_0));
    EXPECT_EQ(dynamic_cast<const NiMaterialColorController&>(*file.blocks[0]).data, 0);
    EXPECT_EQ(file.blocks[0]->offset, offset);
}

TEST(NifControllers, HandAssembledControllersRoundTrip) {
    HandBytes transform = time_controller_bytes();
    transform.u8(1).u32(5).u32(2).i32(6);  // 26: shader_map, 27: slot, 31: operation, 35: data
    EXPECT_EQ(
        round_trip_hand_block<NiTextureTransformController>("NiTextureTransformController", transform.bytes)->data, 6);

    HandBytes flip = time_controller_bytes();
    flip.u32(4).f32(0.5f).f32(0.25f).u32(2).u32(8).u32(9);  // 26: slot, accum, delta, 38: sources
    EXPECT_EQ(round_trip_hand_block<NiFlipController>("NiFlipController", flip.bytes)->sources,
              (std::vector<std::uint32_t>{8, 9}));

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
}

TEST(NifParticles, HandAssembledParticleSystemControllerRoundTrip) {
    HandBytes b = time_controller_bytes();           //   0: time controller
    for (int i = 1; i <= 6; ++i) b.f32(float(i));    //  26: speed ... horizontal angle
    b.f32(0).f32(0).f32(1);                          //  50: normal
    b.f32(1).f32(0.75f).f32(0.25f).f32(0.5f);        //  62: colour
    b.f32(2).f32(8).f32(3);                          //  78: size, emit start, emit stop
    b.u8(7);                                         //  90: unknown byte
    b.f32(10).f32(11).f32(12);                       //  91: emit rate, lifetime, random
    b.u16(0x0101);                                   // 103: emit flags
    b.f32(14).f32(15).f32(16);                       // 105: start random
    b.i32(4);                                        // 117: emitter
    b.u16(17).f32(18).u32(19).u32(20).u16(21);       // 121: unknowns (short, float, 2 ints, short)
    b.u16(2).u16(1);                                 // 137: particle count, valid
    b.f32(1).f32(2).f32(3).f32(-1).f32(-2).f32(-3);  // 141: particle 0 velocity, unknown
    b.f32(4).f32(5).f32(6).u16(7).u16(8);            // 165: lifetime, lifespan, timestamp, short, vertex
    for (int i = 0; i < 10; ++i) b.u32(0);           // 181: particle 1
    b.i32(-1).i32(6).i32(9).u8(0xAB);                // 221: links, 233: trailer
    const auto s = round_trip_hand_block<NiParticleSystemController>("NiParticleSystemController", b.bytes);
    EXPECT_EQ(std::tuple(s->color, s->emitter, s->unknown_short3, s->particle_extra, s->trailer),
              std::tuple(NifColor4{1, 0.75f, 0.25f, 0.5f}, 4, 21, 6, 0xAB));
    EXPECT_EQ(s->particles, (std::vector<NifParticle>{{{1, 2, 3}, {-1, -2, -3}, 4, 5, 6, 7, 8}, {}}));
}

TEST(NifParticles, HandAssembledModifiersRoundTrip) {
    HandBytes gravity;
    gravity.i32(1).i32(-1).f32(0.5f).f32(9.8f).u32(1);   //  0: next, controller, 8: unknown, force, kind
    gravity.f32(1).f32(2).f32(3).f32(0).f32(0).f32(-1);  // 20: position, direction
    EXPECT_EQ(round_trip_hand_block<NiGravity>("NiGravity", gravity.bytes)->direction, (NifVec3{0, 0, -1}));

    HandBytes bomb;
    bomb.i32(-1).i32(2).f32(1).f32(2).f32(3).f32(4).u32(5).u32(6);  // 0: links, 8: four floats, 24: types
    bomb.f32(7).f32(8).f32(9).f32(10).f32(11).f32(12);              // 32: position, direction
    EXPECT_EQ(round_trip_hand_block<NiParticleBomb>("NiParticleBomb", bomb.bytes)->direction, (NifVec3{10, 11, 12}));

    const HandBytes color = HandBytes().i32(3).i32(4).i32(5);  // 0: next, controller, 8: color data
    EXPECT_EQ(round_trip_hand_block<NiParticleColorModifier>("NiParticleColorModifier", color.bytes)->color_data, 5);

    const HandBytes grow = HandBytes().i32(-1).i32(-1).f32(0.25f).f32(0.75f);  // 0: links, 8: grow, fade
    EXPECT_EQ(round_trip_hand_block<NiParticleGrowFade>("NiParticleGrowFade", grow.bytes)->fade, 0.75f);
}

}  // namespace
}  // namespace tarkeep::test
