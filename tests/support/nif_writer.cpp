#include "tests/support/nif_writer.h"

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <unordered_map>

namespace tarkeep::test {

using namespace tarkeep::data;

namespace {

void require(bool condition, std::string_view what) {
    if (!condition) throw std::invalid_argument("nif writer: " + std::string(what));
}

template <class T>
const T& as(const NiObject& block, std::string_view type_name) {
    const auto* typed = dynamic_cast<const T*>(&block);
    require(typed != nullptr, "block class does not fit type " + std::string(type_name));
    return *typed;
}

// Everything a block writer may need besides the block.
struct Context {
    NifByteWriter& out;
    std::string_view type_name;
    std::uint32_t version;
    const std::vector<std::uint8_t>* pixels;
};

// ---- base field families ----

void object_net(NifByteWriter& out, const NiObjectNET& block) {
    out.string(block.name);
    out.ref_list(block.extra_data);
    out.ref(block.controller);
}

void av_object(NifByteWriter& out, const NiAVObject& block) {
    object_net(out, block);
    out.u16(block.flags);
    out.raw(block.translation);
    out.raw(block.rotation);
    out.f32(block.scale);
    out.ref_list(block.properties);
    out.ref(block.collision);
}

void node(NifByteWriter& out, const NiNode& block) {
    av_object(out, block);
    out.ref_list(block.children);
    out.ref_list(block.effects);
}

void time_controller(NifByteWriter& out, const NiTimeController& block) {
    out.ref(block.next_controller);
    out.u16(block.flags);
    out.f32(block.frequency);
    out.f32(block.phase);
    out.f32(block.start_time);
    out.f32(block.stop_time);
    out.ref(block.target);
}

void modifier(NifByteWriter& out, const NiParticleModifier& block) {
    out.ref(block.next_modifier);
    out.ref(block.controller);
}

template <class T>
void optional_run(NifByteWriter& out, const std::vector<T>& values, std::size_t count, std::string_view what) {
    out.bool8(!values.empty());
    if (values.empty()) return;
    require(values.size() == count, what);
    out.raw_run(values);
}

void geometry_data(NifByteWriter& out, const NiGeometryData& block) {
    const std::size_t count = block.num_vertices;
    out.u16(block.num_vertices);
    out.u8(block.keep_flags);
    out.u8(block.compress_flags);
    optional_run(out, block.vertices, count, "vertices != num_vertices");
    out.u16(block.vector_flags);
    optional_run(out, block.normals, count, "normals != num_vertices");
    if (!block.normals.empty() && (block.vector_flags & kVectorFlagsTangents)) {
        require(block.tangents.size() == count && block.bitangents.size() == count, "tangents != num_vertices");
        out.raw_run(block.tangents);
        out.raw_run(block.bitangents);
    }
    out.raw(block.center);
    out.f32(block.radius);
    optional_run(out, block.colors, count, "colors != num_vertices");
    require(block.uv_sets.size() == (block.vector_flags & kVectorFlagsUvMask), "uv_sets != vector_flags & 63");
    for (const auto& set : block.uv_sets) {
        require(set.size() == count, "uv set != num_vertices");
        out.raw_run(set);
    }
    out.u16(block.consistency);
}

template <class T>
void key_group(NifByteWriter& out, const NifKeyGroup<T>& group) {
    out.u32(static_cast<std::uint32_t>(group.keys.size()));
    if (group.keys.empty()) return;
    out.u32(group.interpolation);
    for (const NifKey<T>& key : group.keys) {
        out.f32(key.time);
        out.raw(key.value);
        if (group.interpolation == kInterpolationQuadratic) {
            out.raw(key.forward);
            out.raw(key.backward);
        } else if (group.interpolation == kInterpolationTbc) {
            out.raw(key.tbc);
        }
    }
}

void u16_strips(NifByteWriter& out, const std::vector<std::vector<std::uint16_t>>& strips,
                const std::vector<std::uint16_t>& lengths) {
    require(strips.size() == lengths.size(), "strips != strip lengths");
    for (std::size_t i = 0; i < strips.size(); ++i) {
        require(strips[i].size() == lengths[i], "strip != its length");
        out.raw_run(strips[i]);
    }
}

void texture_desc(NifByteWriter& out, const NifTextureDesc& desc) {
    out.ref(desc.source);
    out.u32(desc.clamp);
    out.u32(desc.filter);
    out.u32(desc.uv_set);
    out.raw(desc.unused);
    out.bool8(desc.has_transform);
    if (!desc.has_transform) return;
    out.raw(desc.transform.translation);
    out.raw(desc.transform.scale);
    out.f32(desc.transform.rotation);
    out.u32(desc.transform.method);
    out.raw(desc.transform.center);
}

// ---- one writer per block family ----

void write_node(const Context& c, const NiObject& b) { node(c.out, as<NiNode>(b, c.type_name)); }

void write_lod_node(const Context& c, const NiObject& b) {
    const auto& block = as<NiLODNode>(b, c.type_name);
    node(c.out, block);
    c.out.u16(block.switch_flags);
    c.out.u32(block.index);
    c.out.ref(block.lod_data);
}

void write_billboard_node(const Context& c, const NiObject& b) {
    const auto& block = as<NiBillboardNode>(b, c.type_name);
    node(c.out, block);
    c.out.u16(block.billboard_mode);
}

void write_range_lod_data(const Context& c, const NiObject& b) {
    const auto& block = as<NiRangeLODData>(b, c.type_name);
    c.out.raw(block.center);
    c.out.u32(static_cast<std::uint32_t>(block.ranges.size()));
    c.out.raw_run(block.ranges);
}

void write_directional_light(const Context& c, const NiObject& b) {
    const auto& block = as<NiDirectionalLight>(b, c.type_name);
    av_object(c.out, block);
    c.out.u32_list(block.affected_nodes);
    c.out.f32(block.dimmer);
    c.out.raw(block.ambient);
    c.out.raw(block.diffuse);
    c.out.raw(block.specular);
}

void write_geometry(const Context& c, const NiObject& b) {
    const auto& block = as<NiGeometry>(b, c.type_name);
    av_object(c.out, block);
    c.out.ref(block.data);
    c.out.ref(block.skin_instance);
    c.out.bool8(block.has_shader);
    if (block.has_shader) {
        c.out.string(block.shader);
        c.out.u32(block.shader_extra);
    }
}

void write_tri_shape_data(const Context& c, const NiObject& b) {
    const auto& block = as<NiTriShapeData>(b, c.type_name);
    geometry_data(c.out, block);
    c.out.u16(block.num_triangles);
    c.out.u32(block.num_triangle_points);
    optional_run(c.out, block.triangles, block.num_triangles, "triangles != num_triangles");
    c.out.u16(static_cast<std::uint16_t>(block.match_groups.size()));
    for (const auto& group : block.match_groups) {
        c.out.u16(static_cast<std::uint16_t>(group.size()));
        c.out.raw_run(group);
    }
}

void write_tri_strips_data(const Context& c, const NiObject& b) {
    const auto& block = as<NiTriStripsData>(b, c.type_name);
    geometry_data(c.out, block);
    c.out.u16(block.num_triangles);
    c.out.u16(static_cast<std::uint16_t>(block.strip_lengths.size()));
    c.out.raw_run(block.strip_lengths);
    c.out.bool8(!block.strips.empty());
    if (!block.strips.empty()) u16_strips(c.out, block.strips, block.strip_lengths);
}

void write_particles_data(const Context& c, const NiObject& b) {
    const auto& block = as<NiParticlesData>(b, c.type_name);
    geometry_data(c.out, block);
    optional_run(c.out, block.radii, block.num_vertices, "radii != num_vertices");
    c.out.u16(block.num_active);
    optional_run(c.out, block.sizes, block.num_vertices, "sizes != num_vertices");
    optional_run(c.out, block.rotations, block.num_vertices, "rotations != num_vertices");
}

void write_skin_instance(const Context& c, const NiObject& b) {
    const auto& block = as<NiSkinInstance>(b, c.type_name);
    c.out.ref(block.data);
    c.out.ref(block.skeleton_root);
    c.out.ref_list(block.bones);
}

void write_skin_data(const Context& c, const NiObject& b) {
    const auto& block = as<NiSkinData>(b, c.type_name);
    c.out.raw(block.transform);
    c.out.u32(static_cast<std::uint32_t>(block.bones.size()));
    c.out.ref(block.skin_partition);
    c.out.bool8(block.has_weights);
    for (const NifSkinBone& bone : block.bones) {
        c.out.raw(bone.transform);
        c.out.raw(bone.bound_center);
        c.out.f32(bone.bound_radius);
        c.out.u16(bone.num_weights);
        if (!block.has_weights) continue;
        require(bone.weights.size() == bone.num_weights, "weights != num_weights");
        for (const NifSkinWeight& weight : bone.weights) {
            c.out.u16(weight.vertex);
            c.out.f32(weight.weight);
        }
    }
}

void write_skin_partition(const Context& c, const NiObject& b) {
    const auto& block = as<NiSkinPartition>(b, c.type_name);
    c.out.u32(static_cast<std::uint32_t>(block.partitions.size()));
    for (const NifSkinPartitionEntry& part : block.partitions) {
        const std::size_t weighted = std::size_t{part.num_vertices} * part.num_weights_per_vertex;
        c.out.u16(part.num_vertices);
        c.out.u16(part.num_triangles);
        c.out.u16(static_cast<std::uint16_t>(part.bones.size()));
        c.out.u16(static_cast<std::uint16_t>(part.strip_lengths.size()));
        c.out.u16(part.num_weights_per_vertex);
        c.out.raw_run(part.bones);
        optional_run(c.out, part.vertex_map, part.num_vertices, "vertex_map != num_vertices");
        optional_run(c.out, part.vertex_weights, weighted, "vertex_weights != vertices x weights");
        c.out.raw_run(part.strip_lengths);
        c.out.bool8(part.has_faces);
        if (part.has_faces && part.strip_lengths.empty()) {
            require(part.triangles.size() == part.num_triangles, "triangles != num_triangles");
            c.out.raw_run(part.triangles);
        } else if (part.has_faces) {
            u16_strips(c.out, part.strips, part.strip_lengths);
        }
        optional_run(c.out, part.bone_indices, weighted, "bone_indices != vertices x weights");
    }
}

void write_data_controller(const Context& c, const NiObject& b) {
    const auto& block = as<NiDataController>(b, c.type_name);
    time_controller(c.out, block);
    c.out.ref(block.data);
}

void write_geom_morpher_controller(const Context& c, const NiObject& b) {
    const auto& block = as<NiGeomMorpherController>(b, c.type_name);
    time_controller(c.out, block);
    if (c.version >= kNifVersionMorpherExtraFlags) c.out.u16(block.extra_flags);
    c.out.ref(block.data);
    c.out.u8(block.always_update);
}

void write_material_color_controller(const Context& c, const NiObject& b) {
    const auto& block = as<NiMaterialColorController>(b, c.type_name);
    time_controller(c.out, block);
    if (c.version >= kNifVersion10_1_0_0) c.out.u16(block.target_color);
    c.out.ref(block.data);
}

void write_texture_transform_controller(const Context& c, const NiObject& b) {
    const auto& block = as<NiTextureTransformController>(b, c.type_name);
    time_controller(c.out, block);
    c.out.u8(block.shader_map);
    c.out.u32(block.texture_slot);
    c.out.u32(block.operation);
    c.out.ref(block.data);
}

void write_uv_controller(const Context& c, const NiObject& b) {
    const auto& block = as<NiUVController>(b, c.type_name);
    time_controller(c.out, block);
    c.out.u16(block.unknown);
    c.out.ref(block.data);
}

void write_flip_controller(const Context& c, const NiObject& b) {
    const auto& block = as<NiFlipController>(b, c.type_name);
    time_controller(c.out, block);
    c.out.u32(block.texture_slot);
    c.out.f32(block.accum_time);
    c.out.f32(block.delta);
    c.out.u32_list(block.sources);
}

void write_particle_system_controller(const Context& c, const NiObject& b) {
    const auto& block = as<NiParticleSystemController>(b, c.type_name);
    NifByteWriter& out = c.out;
    time_controller(out, block);
    for (const float value : {block.speed, block.speed_random, block.vertical_direction, block.vertical_angle,
                              block.horizontal_direction, block.horizontal_angle}) {
        out.f32(value);
    }
    out.raw(block.normal);
    out.raw(block.color);
    out.f32(block.size);
    out.f32(block.emit_start);
    out.f32(block.emit_stop);
    out.u8(block.unknown_byte);
    out.f32(block.emit_rate);
    out.f32(block.lifetime);
    out.f32(block.lifetime_random);
    out.u16(block.emit_flags);
    out.raw(block.start_random);
    out.ref(block.emitter);
    out.u16(block.unknown_short2);
    out.f32(block.unknown_float13);
    out.u32(block.unknown_int1);
    out.u32(block.unknown_int2);
    out.u16(block.unknown_short3);
    out.u16(static_cast<std::uint16_t>(block.particles.size()));
    out.u16(block.num_valid);
    out.raw_run(block.particles);
    out.ref(block.unknown_link);
    out.ref(block.particle_extra);
    out.ref(block.unknown_link2);
    out.u8(block.trailer);
}

void write_gravity(const Context& c, const NiObject& b) {
    const auto& block = as<NiGravity>(b, c.type_name);
    modifier(c.out, block);
    c.out.f32(block.unknown);
    c.out.f32(block.force);
    c.out.u32(block.kind);
    c.out.raw(block.position);
    c.out.raw(block.direction);
}

void write_particle_bomb(const Context& c, const NiObject& b) {
    const auto& block = as<NiParticleBomb>(b, c.type_name);
    modifier(c.out, block);
    for (const float value : {block.decay, block.duration, block.delta_v, block.start}) c.out.f32(value);
    c.out.u32(block.decay_type);
    c.out.u32(block.symmetry_type);
    c.out.raw(block.position);
    c.out.raw(block.direction);
}

void write_particle_color_modifier(const Context& c, const NiObject& b) {
    const auto& block = as<NiParticleColorModifier>(b, c.type_name);
    modifier(c.out, block);
    c.out.ref(block.color_data);
}

void write_particle_grow_fade(const Context& c, const NiObject& b) {
    const auto& block = as<NiParticleGrowFade>(b, c.type_name);
    modifier(c.out, block);
    c.out.f32(block.grow);
    c.out.f32(block.fade);
}

void write_keyframe_data(const Context& c, const NiObject& b) {
    const auto& block = as<NiKeyframeData>(b, c.type_name);
    const bool xyz = block.rotation_type == kRotationXyz;
    const auto count = xyz ? block.num_rotation_keys : static_cast<std::uint32_t>(block.rotations.size());
    c.out.u32(count);
    if (count != 0) {
        c.out.u32(block.rotation_type);
        if (xyz) {
            c.out.f32(block.xyz_unknown);
            for (const auto& group : block.xyz_rotations) key_group(c.out, group);
        } else {
            for (const NifQuatKey& key : block.rotations) {
                c.out.f32(key.time);
                c.out.raw(key.value);
                if (block.rotation_type == kRotationTbc) c.out.raw(key.tbc);
            }
        }
    }
    key_group(c.out, block.translations);
    key_group(c.out, block.scales);
}

void write_float_data(const Context& c, const NiObject& b) { key_group(c.out, as<NiFloatData>(b, c.type_name).keys); }
void write_pos_data(const Context& c, const NiObject& b) { key_group(c.out, as<NiPosData>(b, c.type_name).keys); }
void write_color_data(const Context& c, const NiObject& b) { key_group(c.out, as<NiColorData>(b, c.type_name).keys); }

void write_vis_data(const Context& c, const NiObject& b) {
    const auto& block = as<NiVisData>(b, c.type_name);
    c.out.u32(static_cast<std::uint32_t>(block.keys.size()));
    for (const NifVisKey& key : block.keys) {
        c.out.f32(key.time);
        c.out.u8(key.visible);
    }
}

void write_uv_data(const Context& c, const NiObject& b) {
    for (const auto& group : as<NiUVData>(b, c.type_name).groups) key_group(c.out, group);
}

void write_morph_data(const Context& c, const NiObject& b) {
    const auto& block = as<NiMorphData>(b, c.type_name);
    c.out.u32(static_cast<std::uint32_t>(block.morphs.size()));
    c.out.u32(block.num_vertices);
    c.out.u8(block.relative);
    for (const NifMorph& morph : block.morphs) {
        key_group(c.out, morph.keys);
        require(morph.vectors.size() == block.num_vertices, "morph vectors != num_vertices");
        c.out.raw_run(morph.vectors);
    }
}

void write_controller_sequence(const Context& c, const NiObject& b) {
    const auto& block = as<NiControllerSequence>(b, c.type_name);
    c.out.string(block.name);
    c.out.string(block.accum_root_name);
    c.out.ref(block.text_keys);
    c.out.u32(static_cast<std::uint32_t>(block.blocks.size()));
    for (const NifControlledBlock& entry : block.blocks) {
        c.out.string(entry.target_name);
        c.out.ref(entry.controller);
    }
}

void write_string_extra_data(const Context& c, const NiObject& b) {
    const auto& block = as<NiStringExtraData>(b, c.type_name);
    c.out.string(block.name);
    c.out.string(block.string);
}

void write_text_key_extra_data(const Context& c, const NiObject& b) {
    const auto& block = as<NiTextKeyExtraData>(b, c.type_name);
    c.out.string(block.name);
    c.out.u32(static_cast<std::uint32_t>(block.keys.size()));
    for (const NifTextKey& key : block.keys) {
        c.out.f32(key.time);
        c.out.string(key.value);
    }
}

void write_boolean_extra_data(const Context& c, const NiObject& b) {
    const auto& block = as<NiBooleanExtraData>(b, c.type_name);
    c.out.string(block.name);
    c.out.u8(block.value);
}

void write_integer_extra_data(const Context& c, const NiObject& b) {
    const auto& block = as<NiIntegerExtraData>(b, c.type_name);
    c.out.string(block.name);
    c.out.u32(block.value);
}

void write_float_extra_data(const Context& c, const NiObject& b) {
    const auto& block = as<NiFloatExtraData>(b, c.type_name);
    c.out.string(block.name);
    c.out.f32(block.value);
}

void write_alpha_property(const Context& c, const NiObject& b) {
    const auto& block = as<NiAlphaProperty>(b, c.type_name);
    object_net(c.out, block);
    c.out.u16(block.flags);
    c.out.u8(block.threshold);
}

void write_flags_property(const Context& c, const NiObject& b) {
    const auto& block = as<NiFlagsProperty>(b, c.type_name);
    object_net(c.out, block);
    c.out.u16(block.flags);
}

void write_z_buffer_property(const Context& c, const NiObject& b) {
    const auto& block = as<NiZBufferProperty>(b, c.type_name);
    object_net(c.out, block);
    c.out.u16(block.flags);
    c.out.u32(block.function);
}

void write_vertex_color_property(const Context& c, const NiObject& b) {
    const auto& block = as<NiVertexColorProperty>(b, c.type_name);
    object_net(c.out, block);
    c.out.u16(block.flags);
    c.out.u32(block.vertex_mode);
    c.out.u32(block.lighting_mode);
}

void write_stencil_property(const Context& c, const NiObject& b) {
    const auto& block = as<NiStencilProperty>(b, c.type_name);
    object_net(c.out, block);
    c.out.u8(block.enabled);
    for (const std::uint32_t value : {block.function, block.reference, block.mask, block.fail, block.zfail,
                                      block.pass, block.draw_mode}) {
        c.out.u32(value);
    }
}

void write_material_property(const Context& c, const NiObject& b) {
    const auto& block = as<NiMaterialProperty>(b, c.type_name);
    object_net(c.out, block);
    c.out.raw(block.ambient);
    c.out.raw(block.diffuse);
    c.out.raw(block.specular);
    c.out.raw(block.emissive);
    c.out.f32(block.glossiness);
    c.out.f32(block.alpha);
}

void write_texturing_property(const Context& c, const NiObject& b) {
    const auto& block = as<NiTexturingProperty>(b, c.type_name);
    object_net(c.out, block);
    c.out.u32(block.apply_mode);
    c.out.u32(block.texture_count);
    const std::size_t visited = visited_texture_slots(block.texture_count);
    for (std::size_t i = 0; i < kTextureSlotCount; ++i) {
        const NifTextureSlot& slot = block.slots[i];
        if (i >= visited) {
            require(!slot.present, "present texture slot beyond texture_count");
            continue;
        }
        c.out.bool8(slot.present);
        if (!slot.present) continue;
        texture_desc(c.out, slot.desc);
        if (i == kSlotBump) {
            c.out.raw(block.luma);
            c.out.raw(block.matrix);
        }
    }
    c.out.u32(static_cast<std::uint32_t>(block.shader_textures.size()));
    for (const NifShaderTexture& shader : block.shader_textures) {
        c.out.bool8(shader.present);
        if (!shader.present) continue;
        texture_desc(c.out, shader.desc);
        c.out.u32(shader.map_id);
    }
}

void write_source_texture(const Context& c, const NiObject& b) {
    const auto& block = as<NiSourceTexture>(b, c.type_name);
    object_net(c.out, block);
    c.out.u8(block.external);
    c.out.string(block.file_name);
    c.out.ref(block.external != 0 ? block.unknown_link : block.pixel_data);
    c.out.u32(block.pixel_layout);
    c.out.u32(block.use_mipmaps);
    c.out.u32(block.alpha_format);
    c.out.u8(block.is_static);
}

void write_pixel_data(const Context& c, const NiObject& b) {
    const auto& block = as<NiPixelData>(b, c.type_name);
    c.out.u32(block.format);
    c.out.raw(block.masks);
    c.out.u32(block.bits_per_pixel);
    c.out.raw(block.fast_compare);
    c.out.u32(block.tiling);
    c.out.ref(block.palette);
    c.out.u32(static_cast<std::uint32_t>(block.mipmaps.size()));
    c.out.u32(block.bytes_per_pixel);
    c.out.raw_run(block.mipmaps);
    c.out.u32(block.num_pixels);
    if (c.pixels != nullptr) {
        require(c.pixels->size() == block.num_pixels, "pixel payload != num_pixels");
        c.out.bytes(c.pixels->data(), c.pixels->size());
    } else {
        c.out.data().resize(c.out.size() + block.num_pixels, 0);
    }
}

using BlockWriter = void (*)(const Context&, const NiObject&);

const std::unordered_map<std::string_view, BlockWriter>& block_writers() {
    static const std::unordered_map<std::string_view, BlockWriter> writers{
        {"NiNode", write_node},
        {"NiLODNode", write_lod_node},
        {"NiBillboardNode", write_billboard_node},
        {"NiRangeLODData", write_range_lod_data},
        {"NiDirectionalLight", write_directional_light},
        {"NiTriShape", write_geometry},
        {"NiTriStrips", write_geometry},
        {"NiParticles", write_geometry},
        {"NiTriShapeData", write_tri_shape_data},
        {"NiTriStripsData", write_tri_strips_data},
        {"NiParticlesData", write_particles_data},
        {"NiSkinInstance", write_skin_instance},
        {"NiSkinData", write_skin_data},
        {"NiSkinPartition", write_skin_partition},
        {"NiKeyframeController", write_data_controller},
        {"NiAlphaController", write_data_controller},
        {"NiVisController", write_data_controller},
        {"NiGeomMorpherController", write_geom_morpher_controller},
        {"NiMaterialColorController", write_material_color_controller},
        {"NiTextureTransformController", write_texture_transform_controller},
        {"NiUVController", write_uv_controller},
        {"NiFlipController", write_flip_controller},
        {"NiParticleSystemController", write_particle_system_controller},
        {"NiGravity", write_gravity},
        {"NiParticleBomb", write_particle_bomb},
        {"NiParticleColorModifier", write_particle_color_modifier},
        {"NiParticleGrowFade", write_particle_grow_fade},
        {"NiKeyframeData", write_keyframe_data},
        {"NiFloatData", write_float_data},
        {"NiPosData", write_pos_data},
        {"NiColorData", write_color_data},
        {"NiVisData", write_vis_data},
        {"NiUVData", write_uv_data},
        {"NiMorphData", write_morph_data},
        {"NiControllerSequence", write_controller_sequence},
        {"NiStringExtraData", write_string_extra_data},
        {"NiTextKeyExtraData", write_text_key_extra_data},
        {"NiBooleanExtraData", write_boolean_extra_data},
        {"NiIntegerExtraData", write_integer_extra_data},
        {"NiFloatExtraData", write_float_extra_data},
        {"NiAlphaProperty", write_alpha_property},
        {"NiSpecularProperty", write_flags_property},
        {"NiWireframeProperty", write_flags_property},
        {"NiDitherProperty", write_flags_property},
        {"NiShadeProperty", write_flags_property},
        {"NiZBufferProperty", write_z_buffer_property},
        {"NiVertexColorProperty", write_vertex_color_property},
        {"NiStencilProperty", write_stencil_property},
        {"NiMaterialProperty", write_material_property},
        {"NiTexturingProperty", write_texturing_property},
        {"NiSourceTexture", write_source_texture},
        {"NiPixelData", write_pixel_data},
    };
    return writers;
}

}  // namespace

void NifByteWriter::string(std::string_view text) {
    u32(static_cast<std::uint32_t>(text.size()));
    bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

void NifByteWriter::ref_list(const std::vector<NifRef>& refs) {
    u32(static_cast<std::uint32_t>(refs.size()));
    raw_run(refs);
}

void NifByteWriter::u32_list(const std::vector<std::uint32_t>& values) {
    u32(static_cast<std::uint32_t>(values.size()));
    raw_run(values);
}

void write_nif_block(NifByteWriter& out, std::string_view type_name, const NiObject& block, std::uint32_t version,
                     const std::vector<std::uint8_t>* pixels) {
    const auto found = block_writers().find(type_name);
    require(found != block_writers().end(), "no writer for type " + std::string(type_name));
    found->second(Context{out, type_name, version, pixels}, block);
}

NifWriteLayout write_nif_layout(const NifFile& file, const NifPixelPayloads& pixels) {
    require(file.block_types.size() == file.blocks.size(), "block_types != blocks");
    NifByteWriter out;
    out.bytes(reinterpret_cast<const std::uint8_t*>(file.header.data()), file.header.size());
    out.u8(0x0A);
    out.u32(file.version);
    if (file.version == kNifVersion10_1_0_0) out.u32(file.user_version.value_or(0));
    out.u32(static_cast<std::uint32_t>(file.blocks.size()));

    std::vector<std::string> table;
    std::vector<std::uint16_t> type_index;
    for (const std::string& type : file.block_types) {
        auto found = std::find(table.begin(), table.end(), type);
        if (found == table.end()) found = table.insert(table.end(), type);
        type_index.push_back(static_cast<std::uint16_t>(found - table.begin()));
    }
    out.u16(static_cast<std::uint16_t>(table.size()));
    for (const std::string& type : table) out.string(type);
    out.raw_run(type_index);
    out.u32_list(file.header_list);

    NifWriteLayout layout;
    for (std::size_t i = 0; i < file.blocks.size(); ++i) {
        out.u32(0);
        layout.block_offsets.push_back(out.size());
        const auto payload = pixels.find(i);
        write_nif_block(out, file.block_types[i], *file.blocks[i], file.version,
                        payload == pixels.end() ? nullptr : &payload->second);
        layout.block_ends.push_back(out.size());
    }
    layout.footer_offset = out.size();
    out.u32_list(file.roots);
    layout.bytes = std::move(out.data());
    return layout;
}

std::vector<std::uint8_t> write_nif(const NifFile& file, const NifPixelPayloads& pixels) {
    return write_nif_layout(file, pixels).bytes;
}

NifFile make_nif_file(std::uint32_t version) {
    NifFile file;
    file.version = version;
    file.header = version == kNifVersion10_0_1_0 ? "Gamebryo File Format, Version 10.0.1.0"
                                                 : "Gamebryo File Format, Version 10.1.0.0";
    if (version == kNifVersion10_1_0_0) file.user_version = 0;
    return file;
}

}  // namespace tarkeep::test
