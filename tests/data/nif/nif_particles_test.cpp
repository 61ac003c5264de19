// The particle system controller and the particle modifiers.
#include <gtest/gtest.h>

#include "tests/data/nif/nif_test_util.h"

namespace tarkeep::test {
namespace {

using namespace tarkeep::data;

NiParticleSystemController particle_system() {
    NiParticleSystemController s;
    s.next_controller = 1;
    s.flags = 0x0C;
    s.frequency = 1;
    s.stop_time = 10;
    s.target = 2;
    s.speed = 1;
    s.speed_random = 2;
    s.vertical_direction = 3;
    s.vertical_angle = 4;
    s.horizontal_direction = 5;
    s.horizontal_angle = 6;
    s.normal = {0, 0, 1};
    s.color = {1, 0.5f, 0.25f, 1};
    s.size = 7;
    s.emit_start = 8;
    s.emit_stop = 9;
    s.unknown_byte = 0x5A;
    s.emit_rate = 11;
    s.lifetime = 12;
    s.lifetime_random = 13;
    s.emit_flags = 0x0101;
    s.start_random = {14, 15, 16};
    s.emitter = 3;
    s.unknown_short2 = 17;
    s.unknown_float13 = 18;
    s.unknown_int1 = 19;
    s.unknown_int2 = 20;
    s.unknown_short3 = 21;
    s.num_valid = 1;
    s.particles = {{{1, 2, 3}, {4, 5, 6}, 7, 8, 9, 10, 11}, {{-1, -2, -3}, {0, 0, 0}, 0.5f, 1, 2, 3, 4}};
    s.unknown_link = 4;
    s.particle_extra = 5;
    s.unknown_link2 = -1;
    s.trailer = 0xEE;
    return s;
}

TEST(NifParticles, RoundTrip) {
    expect_round_trip("NiParticleSystemController", particle_system());

    NiGravity gravity;
    gravity.next_modifier = 1;
    gravity.controller = 2;
    gravity.unknown = 0.5f;
    gravity.force = 9.8f;
    gravity.kind = 1;
    gravity.position = {1, 2, 3};
    gravity.direction = {0, 0, -1};
    expect_round_trip("NiGravity", gravity);

    NiParticleBomb bomb;
    bomb.next_modifier = 3;
    bomb.decay = 1;
    bomb.duration = 2;
    bomb.delta_v = 3;
    bomb.start = 4;
    bomb.decay_type = 5;
    bomb.symmetry_type = 6;
    bomb.position = {7, 8, 9};
    bomb.direction = {10, 11, 12};
    expect_round_trip("NiParticleBomb", bomb);

    NiParticleColorModifier color;
    color.controller = 4;
    color.color_data = 5;
    expect_round_trip("NiParticleColorModifier", color);

    NiParticleGrowFade grow;
    grow.grow = 0.25f;
    grow.fade = 0.75f;
    expect_round_trip("NiParticleGrowFade", grow);
}

TEST(NifParticles, HandAssembledParticleSystemController) {
    HandBytes b;
    b.i32(-1).u16(0).f32(1).f32(0).f32(0).f32(5).i32(-1);  //   0: time controller (26 bytes)
    for (int i = 1; i <= 6; ++i) b.f32(float(i));           //  26: speed ... horizontal angle
    b.f32(0).f32(0).f32(1);                                 //  50: normal
    b.f32(1).f32(1).f32(1).f32(0.5f);                       //  62: colour
    b.f32(2).f32(0).f32(3);                                 //  78: size, emit start, emit stop
    b.u8(7);                                                //  90: unknown byte
    b.f32(10).f32(11).f32(12);                              //  91: emit rate, lifetime, random
    b.u16(0x0101);                                          // 103: emit flags
    b.f32(0).f32(0).f32(0);                                 // 105: start random
    b.i32(4);                                               // 117: emitter
    b.u16(1).f32(2).u32(3).u32(4).u16(5);                   // 121: unknowns (short, float, 2 ints, short)
    b.u16(1).u16(1);                                        // 137: particle count, valid
    b.f32(1).f32(2).f32(3).f32(0).f32(0).f32(0);            // 141: particle velocity, unknown
    b.f32(4).f32(5).f32(6).u16(7).u16(8);                   // 165: lifetime, lifespan, timestamp, short, vertex
    b.i32(-1).i32(6).i32(-1).u8(0xAB);                      // 181: links, 193: trailer
    ASSERT_EQ(b.size(), 194u);
    const auto s = read_hand_block<NiParticleSystemController>("NiParticleSystemController", b.bytes);
    EXPECT_EQ(s->horizontal_angle, 6);
    EXPECT_EQ(s->color.a, 0.5f);
    EXPECT_EQ(s->unknown_byte, 7);
    EXPECT_EQ(s->lifetime_random, 12);
    EXPECT_EQ(s->emitter, 4);
    EXPECT_EQ(s->unknown_short3, 5);
    ASSERT_EQ(s->particles.size(), 1u);
    EXPECT_EQ(s->particles[0].velocity, (NifVec3{1, 2, 3}));
    EXPECT_EQ(s->particles[0].timestamp, 6);
    EXPECT_EQ(s->particles[0].vertex, 8);
    EXPECT_EQ(s->particle_extra, 6);
    EXPECT_EQ(s->trailer, 0xAB);
}

TEST(NifParticles, HandAssembledModifiers) {
    HandBytes gravity;
    gravity.i32(1).i32(-1).f32(0.5f).f32(9.8f).u32(1);      //  0: next, controller, 8: unknown, force, kind
    gravity.f32(1).f32(2).f32(3).f32(0).f32(0).f32(-1);     // 20: position, direction
    const auto g = read_hand_block<NiGravity>("NiGravity", gravity.bytes);
    EXPECT_EQ(g->next_modifier, 1);
    EXPECT_EQ(g->force, 9.8f);
    EXPECT_EQ(g->direction, (NifVec3{0, 0, -1}));

    HandBytes bomb;
    bomb.i32(-1).i32(2).f32(1).f32(2).f32(3).f32(4).u32(5).u32(6);  // 0: links, 8: four floats, 24: types
    bomb.f32(7).f32(8).f32(9).f32(10).f32(11).f32(12);               // 32: position, direction
    const auto p = read_hand_block<NiParticleBomb>("NiParticleBomb", bomb.bytes);
    EXPECT_EQ(p->controller, 2);
    EXPECT_EQ(p->start, 4);
    EXPECT_EQ(p->symmetry_type, 6u);
    EXPECT_EQ(p->direction, (NifVec3{10, 11, 12}));
}

}  // namespace
}  // namespace tarkeep::test
