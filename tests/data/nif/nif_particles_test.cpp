// The particle system controller and the particle modifiers.
#include <gtest/gtest.h>

#include "tests/data/nif/nif_test_util.h"

namespace tarkeep::test {
namespace {

using namespace tarkeep::data;

TEST(NifParticles, HandAssembledParticleSystemControllerRoundTrip) {
    HandBytes b;
    b.i32(1).u16(0x0C).f32(1).f32(0.5f).f32(0.25f).f32(5).i32(2);  //   0: time controller (26 bytes)
    for (int i = 1; i <= 6; ++i) b.f32(float(i));           //  26: speed ... horizontal angle
    b.f32(0).f32(0).f32(1);                                 //  50: normal
    b.f32(1).f32(0.75f).f32(0.25f).f32(0.5f);               //  62: colour
    b.f32(2).f32(8).f32(3);                                 //  78: size, emit start, emit stop
    b.u8(7);                                                //  90: unknown byte
    b.f32(10).f32(11).f32(12);                              //  91: emit rate, lifetime, random
    b.u16(0x0101);                                          // 103: emit flags
    b.f32(14).f32(15).f32(16);                              // 105: start random
    b.i32(4);                                               // 117: emitter
    b.u16(17).f32(18).u32(19).u32(20).u16(21);              // 121: unknowns (short, float, 2 ints, short)
    b.u16(2).u16(1);                                        // 137: particle count, valid
    b.f32(1).f32(2).f32(3).f32(-1).f32(-2).f32(-3);         // 141: particle 0 velocity, unknown
    b.f32(4).f32(5).f32(6).u16(7).u16(8);                   // 165: lifetime, lifespan, timestamp, short, vertex
    for (int i = 0; i < 10; ++i) b.u32(0);                  // 181: particle 1
    b.i32(-1).i32(6).i32(9).u8(0xAB);                       // 221: links, 233: trailer
    ASSERT_EQ(b.size(), 234u);
    const auto s = round_trip_hand_block<NiParticleSystemController>("NiParticleSystemController", b.bytes);
    EXPECT_EQ(s->target, 2);
    EXPECT_EQ(s->horizontal_angle, 6);
    EXPECT_EQ(s->color, (NifColor4{1, 0.75f, 0.25f, 0.5f}));
    EXPECT_EQ(s->unknown_byte, 7);
    EXPECT_EQ(s->lifetime_random, 12);
    EXPECT_EQ(s->emitter, 4);
    EXPECT_EQ(s->unknown_short3, 21);
    EXPECT_EQ(s->num_valid, 1);
    EXPECT_EQ(s->particles, (std::vector<NifParticle>{{{1, 2, 3}, {-1, -2, -3}, 4, 5, 6, 7, 8}, {}}));
    EXPECT_EQ(s->particle_extra, 6);
    EXPECT_EQ(s->trailer, 0xAB);
}

TEST(NifParticles, HandAssembledModifiersRoundTrip) {
    HandBytes gravity;
    gravity.i32(1).i32(-1).f32(0.5f).f32(9.8f).u32(1);      //  0: next, controller, 8: unknown, force, kind
    gravity.f32(1).f32(2).f32(3).f32(0).f32(0).f32(-1);     // 20: position, direction
    const auto g = round_trip_hand_block<NiGravity>("NiGravity", gravity.bytes);
    EXPECT_EQ(g->next_modifier, 1);
    EXPECT_EQ(g->force, 9.8f);
    EXPECT_EQ(g->kind, 1u);
    EXPECT_EQ(g->direction, (NifVec3{0, 0, -1}));

    HandBytes bomb;
    bomb.i32(-1).i32(2).f32(1).f32(2).f32(3).f32(4).u32(5).u32(6);  // 0: links, 8: four floats, 24: types
    bomb.f32(7).f32(8).f32(9).f32(10).f32(11).f32(12);               // 32: position, direction
    const auto p = round_trip_hand_block<NiParticleBomb>("NiParticleBomb", bomb.bytes);
    EXPECT_EQ(p->controller, 2);
    EXPECT_EQ(p->start, 4);
    EXPECT_EQ(p->symmetry_type, 6u);
    EXPECT_EQ(p->direction, (NifVec3{10, 11, 12}));

    HandBytes color;
    color.i32(3).i32(4).i32(5);                             // 0: next, controller, 8: color data
    EXPECT_EQ(round_trip_hand_block<NiParticleColorModifier>("NiParticleColorModifier", color.bytes)->color_data, 5);

    HandBytes grow;
    grow.i32(-1).i32(-1).f32(0.25f).f32(0.75f);             // 0: next, controller, 8: grow, fade
    EXPECT_EQ(round_trip_hand_block<NiParticleGrowFade>("NiParticleGrowFade", grow.bytes)->fade, 0.75f);
}

}  // namespace
}  // namespace tarkeep::test
