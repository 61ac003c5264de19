// Readers of the particle system controller and the particle modifiers.
#include "data/nif/nif_particles.h"

#include "data/nif/nif_reader.h"

namespace tarkeep::data {

namespace {

template <class T>
std::unique_ptr<T> make_modifier(NifReader& reader) {
    auto modifier = std::make_unique<T>();
    modifier->next_modifier = reader.ref();
    modifier->controller = reader.ref();
    return modifier;
}

}  // namespace

std::unique_ptr<NiObject> read_ni_particle_system_controller(NifReader& reader) {
    auto system = std::make_unique<NiParticleSystemController>();
    read_time_controller_fields(reader, *system);
    system->speed = reader.f32();
    system->speed_random = reader.f32();
    system->vertical_direction = reader.f32();
    system->vertical_angle = reader.f32();
    system->horizontal_direction = reader.f32();
    system->horizontal_angle = reader.f32();
    system->normal = reader.value<NifVec3>();
    system->color = reader.value<NifColor4>();
    system->size = reader.f32();
    system->emit_start = reader.f32();
    system->emit_stop = reader.f32();
    system->unknown_byte = reader.u8();
    system->emit_rate = reader.f32();
    system->lifetime = reader.f32();
    system->lifetime_random = reader.f32();
    system->emit_flags = reader.u16();
    system->start_random = reader.value<NifVec3>();
    system->emitter = reader.ref();
    system->unknown_short2 = reader.u16();
    system->unknown_float13 = reader.f32();
    system->unknown_int1 = reader.u32();
    system->unknown_int2 = reader.u32();
    system->unknown_short3 = reader.u16();
    const std::uint16_t particle_count = reader.u16();
    system->num_valid = reader.u16();
    system->particles = reader.values<NifParticle>(particle_count);
    system->unknown_link = reader.ref();
    system->particle_extra = reader.ref();
    system->unknown_link2 = reader.ref();
    system->trailer = reader.u8();
    return system;
}

std::unique_ptr<NiObject> read_ni_gravity(NifReader& reader) {
    auto gravity = make_modifier<NiGravity>(reader);
    gravity->unknown = reader.f32();
    gravity->force = reader.f32();
    gravity->kind = reader.u32();
    gravity->position = reader.value<NifVec3>();
    gravity->direction = reader.value<NifVec3>();
    return gravity;
}

std::unique_ptr<NiObject> read_ni_particle_bomb(NifReader& reader) {
    auto bomb = make_modifier<NiParticleBomb>(reader);
    bomb->decay = reader.f32();
    bomb->duration = reader.f32();
    bomb->delta_v = reader.f32();
    bomb->start = reader.f32();
    bomb->decay_type = reader.u32();
    bomb->symmetry_type = reader.u32();
    bomb->position = reader.value<NifVec3>();
    bomb->direction = reader.value<NifVec3>();
    return bomb;
}

std::unique_ptr<NiObject> read_ni_particle_color_modifier(NifReader& reader) {
    auto modifier = make_modifier<NiParticleColorModifier>(reader);
    modifier->color_data = reader.ref();
    return modifier;
}

std::unique_ptr<NiObject> read_ni_particle_grow_fade(NifReader& reader) {
    auto modifier = make_modifier<NiParticleGrowFade>(reader);
    modifier->grow = reader.f32();
    modifier->fade = reader.f32();
    return modifier;
}

}  // namespace tarkeep::data
