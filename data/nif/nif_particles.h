// Old-style particle systems: the system controller and its modifiers.
#pragma once
#include <memory>
#include <vector>

#include "data/nif/nif_controllers.h"
#include "data/nif/nif_object.h"

namespace tarkeep::data {

struct NifParticle {
    NifVec3 velocity;
    NifVec3 unknown;
    float lifetime = 0;
    float lifespan = 0;
    float timestamp = 0;
    std::uint16_t unknown_short = 0;
    std::uint16_t vertex = 0;
    bool operator==(const NifParticle&) const = default;
};
static_assert(sizeof(NifParticle) == 40);

struct NiParticleSystemController : NiTimeController {
    bool operator==(const NiParticleSystemController&) const = default;

    float speed = 0;
    float speed_random = 0;
    float vertical_direction = 0;
    float vertical_angle = 0;
    float horizontal_direction = 0;
    float horizontal_angle = 0;
    NifVec3 normal;
    NifColor4 color;
    float size = 0;
    float emit_start = 0;
    float emit_stop = 0;
    std::uint8_t unknown_byte = 0;
    float emit_rate = 0;
    float lifetime = 0;
    float lifetime_random = 0;
    std::uint16_t emit_flags = 0;
    NifVec3 start_random;
    NifRef emitter = kNoRef;
    std::uint16_t unknown_short2 = 0;
    float unknown_float13 = 0;
    std::uint32_t unknown_int1 = 0;
    std::uint32_t unknown_int2 = 0;
    std::uint16_t unknown_short3 = 0;
    std::uint16_t num_valid = 0;
    std::vector<NifParticle> particles;
    NifRef unknown_link = kNoRef;
    NifRef particle_extra = kNoRef;
    NifRef unknown_link2 = kNoRef;
    std::uint8_t trailer = 0;
};

struct NiParticleModifier : NiObject {
    bool operator==(const NiParticleModifier&) const = default;

    NifRef next_modifier = kNoRef;
    NifRef controller = kNoRef;
};

struct NiGravity : NiParticleModifier {
    bool operator==(const NiGravity&) const = default;

    float unknown = 0;
    float force = 0;
    std::uint32_t kind = 0;
    NifVec3 position;
    NifVec3 direction;
};

struct NiParticleBomb : NiParticleModifier {
    bool operator==(const NiParticleBomb&) const = default;

    float decay = 0;
    float duration = 0;
    float delta_v = 0;
    float start = 0;
    std::uint32_t decay_type = 0;
    std::uint32_t symmetry_type = 0;
    NifVec3 position;
    NifVec3 direction;
};

struct NiParticleColorModifier : NiParticleModifier {
    bool operator==(const NiParticleColorModifier&) const = default;

    NifRef color_data = kNoRef;
};

struct NiParticleGrowFade : NiParticleModifier {
    bool operator==(const NiParticleGrowFade&) const = default;

    float grow = 0;
    float fade = 0;
};

std::unique_ptr<NiObject> read_ni_particle_system_controller(NifReader& reader);
std::unique_ptr<NiObject> read_ni_gravity(NifReader& reader);
std::unique_ptr<NiObject> read_ni_particle_bomb(NifReader& reader);
std::unique_ptr<NiObject> read_ni_particle_color_modifier(NifReader& reader);
std::unique_ptr<NiObject> read_ni_particle_grow_fade(NifReader& reader);

}  // namespace tarkeep::data
