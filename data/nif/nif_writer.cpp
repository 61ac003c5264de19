// The NIF fixture writer: the base field families and one writer per block class.
#include "data/nif/nif_writer.h"

#include <algorithm>
#include <stdexcept>
#include <unordered_map>

namespace tarkeep::data {

using namespace tarkeep::data;

namespace {

void require(bool condition, std::string_view what) {
    if (!condition) throw std::invalid_argument("nif writer: " + std::string(what));
}

// Everything a block writer may need besides the block.
struct Context {
    NifByteWriter& out;
    std::uint32_t version;
    const std::vector<std::uint8_t>* pixels;
};

// ---- base field families ----

void object_net(NifByteWriter& out, const NiObjectNET& block) {
    out.string(block.name);
    out.counted(block.extra_data);
    out.raw(block.controller);
}

void av_object(NifByteWriter& out, const NiAVObject& block) {
    object_net(out, block);
    out.raw(block.flags, block.translation, block.rotation, block.scale);
    out.counted(block.properties);
    out.raw(block.collision);
}

void time_controller(NifByteWriter& out, const NiTimeController& block) {
    out.raw(block.next_controller, block.flags, block.frequency, block.phase, block.start_time, block.stop_time,
            block.target);
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
    out.raw(block.num_vertices, block.keep_flags, block.compress_flags);
    optional_run(out, block.vertices, count, "vertices != num_vertices");
    out.raw(block.vector_flags);
    optional_run(out, block.normals, count, "normals != num_vertices");
    if (!block.normals.empty() && (block.vector_flags & kVectorFlagsTangents)) {
        require(block.tangents.size() == count && block.bitangents.size() == count, "tangents != num_vertices");
        out.raw_run(block.tangents);
        out.raw_run(block.bitangents);
    }
    out.raw(block.center, block.radius);
    optional_run(out, block.colors, count, "colors != num_vertices");
    require(block.uv_sets.size() == (block.vector_flags & kVectorFlagsUvMask), "uv_sets != vector_flags & 63");
    for (const auto& set : block.uv_sets) {
        require(set.size() == count, "uv set != num_vertices");
        out.raw_run(set);
    }
    out.raw(block.consistency);
}

template <class T>
void key_group(NifByteWriter& out, const NifKeyGroup<T>& group) {
    out.u32(static_cast<std::uint32_t>(group.keys.size()));
    if (group.keys.empty()) return;
    out.u32(group.interpolation);
    for (const NifKey<T>& key : group.keys) {
        out.raw(key.time, key.value);
        if (group.interpolation == kInterpolationQuadratic) out.raw(key.forward, key.backward);
        if (group.interpolation == kInterpolationTbc) out.raw(key.tbc);
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
    out.raw(desc.source, desc.clamp, desc.filter, desc.uv_set, desc.unused);
    out.bool8(desc.has_transform);
    if (!desc.has_transform) return;
    const NifTextureTransform& t = desc.transform;
    out.raw(t.translation, t.scale, t.rotation, t.method, t.center);
}

// ---- one writer per block class; several type names may share one ----

void write(const Context& c, const NiNode& block) {
    av_object(c.out, block);
    c.out.counted(block.children);
    c.out.counted(block.effects);
}

void write(const Context& c, const NiLODNode& block) {
    write(c, static_cast<const NiNode&>(block));
    c.out.raw(block.switch_flags, block.index, block.lod_data);
}

void write(const Context& c, const NiBillboardNode& block) {
    write(c, static_cast<const NiNode&>(block));
    c.out.raw(block.billboard_mode);
}

void write(const Context& c, const NiRangeLODData& block) {
    c.out.raw(block.center);
    c.out.counted(block.ranges);
}

void write(const Context& c, const NiDirectionalLight& block) {
    av_object(c.out, block);
    c.out.counted(block.affected_nodes);
    c.out.raw(block.dimmer, block.ambient, block.diffuse, block.specular);
}

void write(const Context& c, const NiGeometry& block) {
    av_object(c.out, block);
    c.out.raw(block.data, block.skin_instance);
    c.out.bool8(block.has_shader);
    if (!block.has_shader) return;
    c.out.string(block.shader);
    c.out.raw(block.shader_extra);
}

void write(const Context& c, const NiTriShapeData& block) {
    geometry_data(c.out, block);
    c.out.raw(block.num_triangles, block.num_triangle_points);
    optional_run(c.out, block.triangles, block.num_triangles, "triangles != num_triangles");
    c.out.u16(static_cast<std::uint16_t>(block.match_groups.size()));
    for (const auto& group : block.match_groups) {
        c.out.u16(static_cast<std::uint16_t>(group.size()));
        c.out.raw_run(group);
    }
}

void write(const Context& c, const NiTriStripsData& block) {
    geometry_data(c.out, block);
    c.out.raw(block.num_triangles);
    c.out.u16(static_cast<std::uint16_t>(block.strip_lengths.size()));
    c.out.raw_run(block.strip_lengths);
    c.out.bool8(!block.strips.empty());
    if (!block.strips.empty()) u16_strips(c.out, block.strips, block.strip_lengths);
}

void write(const Context& c, const NiParticlesData& block) {
    geometry_data(c.out, block);
    optional_run(c.out, block.radii, block.num_vertices, "radii != num_vertices");
    c.out.raw(block.num_active);
    optional_run(c.out, block.sizes, block.num_vertices, "sizes != num_vertices");
    optional_run(c.out, block.rotations, block.num_vertices, "rotations != num_vertices");
}

void write(const Context& c, const NiSkinInstance& block) {
    c.out.raw(block.data, block.skeleton_root);
    c.out.counted(block.bones);
}

void write(const Context& c, const NiSkinData& block) {
    c.out.raw(block.transform, static_cast<std::uint32_t>(block.bones.size()), block.skin_partition);
    c.out.bool8(block.has_weights);
    for (const NifSkinBone& bone : block.bones) {
        c.out.raw(bone.transform, bone.bound_center, bone.bound_radius, bone.num_weights);
        if (!block.has_weights) continue;
        require(bone.weights.size() == bone.num_weights, "weights != num_weights");
        for (const NifSkinWeight& weight : bone.weights) c.out.raw(weight.vertex, weight.weight);
    }
}

void write(const Context& c, const NiSkinPartition& block) {
    c.out.u32(static_cast<std::uint32_t>(block.partitions.size()));
    for (const NifSkinPartitionEntry& part : block.partitions) {
        const std::size_t weighted = std::size_t{part.num_vertices} * part.num_weights_per_vertex;
        c.out.raw(part.num_vertices, part.num_triangles, static_cast<std::uint16_t>(part.bones.size()),
                  static_cast<std::uint16_t>(part.strip_lengths.size()), part.num_weights_per_vertex);
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

void write(const Context& c, const NiDataController& block) {
    time_controller(c.out, block);
    c.out.raw(block.data);
}

void write(const Context& c, const NiGeomMorpherController& block) {
    time_controller(c.out, block);
    if (c.version >= kNifVersionMorpherExtraFlags) c.out.raw(block.extra_flags);
    c.out.raw(block.data, block.always_update);
}

void write(const Context& c, const NiMaterialColorController& block) {
    time_controller(c.out, block);
    if (c.version >= kNifVersion10_1_0_0) c.out.raw(block.target_color);
    c.out.raw(block.data);
}

void write(const Context& c, const NiTextureTransformController& block) {
    time_controller(c.out, block);
    c.out.raw(block.shader_map, block.texture_slot, block.operation, block.data);
}

void write(const Context& c, const NiUVController& block) {
    time_controller(c.out, block);
    c.out.raw(block.unknown, block.data);
}

void write(const Context& c, const NiFlipController& block) {
    time_controller(c.out, block);
    c.out.raw(block.texture_slot, block.accum_time, block.delta);
    c.out.counted(block.sources);
}

void write(const Context& c, const NiParticleSystemController& b) {
    time_controller(c.out, b);
    c.out.raw(b.speed, b.speed_random, b.vertical_direction, b.vertical_angle, b.horizontal_direction,
              b.horizontal_angle, b.normal, b.color, b.size, b.emit_start, b.emit_stop, b.unknown_byte);
    c.out.raw(b.emit_rate, b.lifetime, b.lifetime_random, b.emit_flags, b.start_random, b.emitter);
    c.out.raw(b.unknown_short2, b.unknown_float13, b.unknown_int1, b.unknown_int2, b.unknown_short3);
    c.out.raw(static_cast<std::uint16_t>(b.particles.size()), b.num_valid);
    c.out.raw_run(b.particles);
    c.out.raw(b.unknown_link, b.particle_extra, b.unknown_link2, b.trailer);
}

void write(const Context& c, const NiGravity& b) {
    c.out.raw(b.next_modifier, b.controller, b.unknown, b.force, b.kind, b.position, b.direction);
}

void write(const Context& c, const NiParticleBomb& b) {
    c.out.raw(b.next_modifier, b.controller, b.decay, b.duration, b.delta_v, b.start, b.decay_type, b.symmetry_type,
              b.position, b.direction);
}

void write(const Context& c, const NiParticleColorModifier& b) {
    c.out.raw(b.next_modifier, b.controller, b.color_data);
}

void write(const Context& c, const NiParticleGrowFade& b) { c.out.raw(b.next_modifier, b.controller, b.grow, b.fade); }

void write(const Context& c, const NiKeyframeData& block) {
    const bool xyz = block.rotation_type == kRotationXyz;
    const auto count = xyz ? block.num_rotation_keys : static_cast<std::uint32_t>(block.rotations.size());
    c.out.u32(count);
    if (count != 0) c.out.u32(block.rotation_type);
    if (count != 0 && xyz) {
        c.out.raw(block.xyz_unknown);
        for (const auto& group : block.xyz_rotations) key_group(c.out, group);
    } else if (!xyz) {
        for (const NifQuatKey& key : block.rotations) {
            c.out.raw(key.time, key.value);
            if (block.rotation_type == kRotationTbc) c.out.raw(key.tbc);
        }
    }
    key_group(c.out, block.translations);
    key_group(c.out, block.scales);
}

void write(const Context& c, const NiFloatData& block) { key_group(c.out, block.keys); }
void write(const Context& c, const NiPosData& block) { key_group(c.out, block.keys); }
void write(const Context& c, const NiColorData& block) { key_group(c.out, block.keys); }

void write(const Context& c, const NiVisData& block) {
    c.out.u32(static_cast<std::uint32_t>(block.keys.size()));
    for (const NifVisKey& key : block.keys) c.out.raw(key.time, key.visible);
}

void write(const Context& c, const NiUVData& block) {
    for (const auto& group : block.groups) key_group(c.out, group);
}

void write(const Context& c, const NiMorphData& block) {
    c.out.raw(static_cast<std::uint32_t>(block.morphs.size()), block.num_vertices, block.relative);
    for (const NifMorph& morph : block.morphs) {
        key_group(c.out, morph.keys);
        require(morph.vectors.size() == block.num_vertices, "morph vectors != num_vertices");
        c.out.raw_run(morph.vectors);
    }
}

void write(const Context& c, const NiControllerSequence& block) {
    c.out.string(block.name);
    c.out.string(block.accum_root_name);
    c.out.raw(block.text_keys, static_cast<std::uint32_t>(block.blocks.size()));
    for (const NifControlledBlock& entry : block.blocks) {
        c.out.string(entry.target_name);
        c.out.raw(entry.controller);
    }
}

void write(const Context& c, const NiStringExtraData& block) {
    c.out.string(block.name);
    c.out.string(block.string);
}

void write(const Context& c, const NiTextKeyExtraData& block) {
    c.out.string(block.name);
    c.out.u32(static_cast<std::uint32_t>(block.keys.size()));
    for (const NifTextKey& key : block.keys) {
        c.out.raw(key.time);
        c.out.string(key.value);
    }
}

// Extra data whose one value follows the name.
template <class T>
void write_value_extra_data(const Context& c, const T& block) {
    c.out.string(block.name);
    c.out.raw(block.value);
}
void write(const Context& c, const NiBooleanExtraData& block) { write_value_extra_data(c, block); }
void write(const Context& c, const NiIntegerExtraData& block) { write_value_extra_data(c, block); }
void write(const Context& c, const NiFloatExtraData& block) { write_value_extra_data(c, block); }

void write(const Context& c, const NiAlphaProperty& block) {
    object_net(c.out, block);
    c.out.raw(block.flags, block.threshold);
}

void write(const Context& c, const NiFlagsProperty& block) {
    object_net(c.out, block);
    c.out.raw(block.flags);
}

void write(const Context& c, const NiZBufferProperty& block) {
    object_net(c.out, block);
    c.out.raw(block.flags, block.function);
}

void write(const Context& c, const NiVertexColorProperty& block) {
    object_net(c.out, block);
    c.out.raw(block.flags, block.vertex_mode, block.lighting_mode);
}

void write(const Context& c, const NiStencilProperty& b) {
    object_net(c.out, b);
    c.out.raw(b.enabled, b.function, b.reference, b.mask, b.fail, b.zfail, b.pass, b.draw_mode);
}

void write(const Context& c, const NiMaterialProperty& b) {
    object_net(c.out, b);
    c.out.raw(b.ambient, b.diffuse, b.specular, b.emissive, b.glossiness, b.alpha);
}

void write(const Context& c, const NiTexturingProperty& block) {
    object_net(c.out, block);
    c.out.raw(block.apply_mode, block.texture_count);
    const std::size_t visited = visited_texture_slots(block.texture_count);
    for (std::size_t i = 0; i < kTextureSlotCount; ++i) {
        const NifTextureSlot& slot = block.slots[i];
        require(i < visited || !slot.present, "present texture slot beyond texture_count");
        if (i < visited) c.out.bool8(slot.present);
        if (!slot.present) continue;
        texture_desc(c.out, slot.desc);
        if (i == kSlotBump) c.out.raw(block.luma, block.matrix);
    }
    c.out.u32(static_cast<std::uint32_t>(block.shader_textures.size()));
    for (const NifShaderTexture& shader : block.shader_textures) {
        c.out.bool8(shader.present);
        if (!shader.present) continue;
        texture_desc(c.out, shader.desc);
        c.out.raw(shader.map_id);
    }
}

void write(const Context& c, const NiSourceTexture& block) {
    object_net(c.out, block);
    c.out.raw(block.external);
    c.out.string(block.file_name);
    c.out.raw(block.external != 0 ? block.unknown_link : block.pixel_data);
    c.out.raw(block.pixel_layout, block.use_mipmaps, block.alpha_format, block.is_static);
}

void write(const Context& c, const NiPixelData& b) {
    c.out.raw(b.format, b.masks, b.bits_per_pixel, b.fast_compare, b.tiling, b.palette);
    c.out.raw(static_cast<std::uint32_t>(b.mipmaps.size()), b.bytes_per_pixel);
    c.out.raw_run(b.mipmaps);
    c.out.raw(b.num_pixels);
    if (c.pixels == nullptr) {
        c.out.data().resize(c.out.size() + b.num_pixels, 0);
        return;
    }
    require(c.pixels->size() == b.num_pixels, "pixel payload != num_pixels");
    c.out.bytes(c.pixels->data(), c.pixels->size());
}

using BlockWriter = void (*)(const Context&, const NiObject&, std::string_view);

// Checks that the block is a T before writing it as one.
template <class T>
void typed(const Context& c, const NiObject& block, std::string_view type_name) {
    const auto* typed_block = dynamic_cast<const T*>(&block);
    require(typed_block != nullptr, "block class does not fit type " + std::string(type_name));
    write(c, *typed_block);
}

const std::unordered_map<std::string_view, BlockWriter>& block_writers() {
    static const std::unordered_map<std::string_view, BlockWriter> writers{
        {"NiNode", typed<NiNode>},
        {"NiLODNode", typed<NiLODNode>},
        {"NiBillboardNode", typed<NiBillboardNode>},
        {"NiRangeLODData", typed<NiRangeLODData>},
        {"NiDirectionalLight", typed<NiDirectionalLight>},
        {"NiTriShape", typed<NiGeometry>},
        {"NiTriStrips", typed<NiGeometry>},
        {"NiParticles", typed<NiGeometry>},
        {"NiTriShapeData", typed<NiTriShapeData>},
        {"NiTriStripsData", typed<NiTriStripsData>},
        {"NiParticlesData", typed<NiParticlesData>},
        {"NiSkinInstance", typed<NiSkinInstance>},
        {"NiSkinData", typed<NiSkinData>},
        {"NiSkinPartition", typed<NiSkinPartition>},
        {"NiKeyframeController", typed<NiDataController>},
        {"NiAlphaController", typed<NiDataController>},
        {"NiVisController", typed<NiDataController>},
        {"NiGeomMorpherController", typed<NiGeomMorpherController>},
        {"NiMaterialColorController", typed<NiMaterialColorController>},
        {"NiTextureTransformController", typed<NiTextureTransformController>},
        {"NiUVController", typed<NiUVController>},
        {"NiFlipController", typed<NiFlipController>},
        {"NiParticleSystemController", typed<NiParticleSystemController>},
        {"NiGravity", typed<NiGravity>},
        {"NiParticleBomb", typed<NiParticleBomb>},
        {"NiParticleColorModifier", typed<NiParticleColorModifier>},
        {"NiParticleGrowFade", typed<NiParticleGrowFade>},
        {"NiKeyframeData", typed<NiKeyframeData>},
        {"NiFloatData", typed<NiFloatData>},
        {"NiPosData", typed<NiPosData>},
        {"NiColorData", typed<NiColorData>},
        {"NiVisData", typed<NiVisData>},
        {"NiUVData", typed<NiUVData>},
        {"NiMorphData", typed<NiMorphData>},
        {"NiControllerSequence", typed<NiControllerSequence>},
        {"NiStringExtraData", typed<NiStringExtraData>},
        {"NiTextKeyExtraData", typed<NiTextKeyExtraData>},
        {"NiBooleanExtraData", typed<NiBooleanExtraData>},
        {"NiIntegerExtraData", typed<NiIntegerExtraData>},
        {"NiFloatExtraData", typed<NiFloatExtraData>},
        {"NiAlphaProperty", typed<NiAlphaProperty>},
        {"NiSpecularProperty", typed<NiFlagsProperty>},
        {"NiWireframeProperty", typed<NiFlagsProperty>},
        {"NiDitherProperty", typed<NiFlagsProperty>},
        {"NiShadeProperty", typed<NiFlagsProperty>},
        {"NiZBufferProperty", typed<NiZBufferProperty>},
        {"NiVertexColorProperty", typed<NiVertexColorProperty>},
        {"NiStencilProperty", typed<NiStencilProperty>},
        {"NiMaterialProperty", typed<NiMaterialProperty>},
        {"NiTexturingProperty", typed<NiTexturingProperty>},
        {"NiSourceTexture", typed<NiSourceTexture>},
        {"NiPixelData", typed<NiPixelData>},
    };
    return writers;
}

}  // namespace

void NifByteWriter::string(std::string_view text) {
    u32(static_cast<std::uint32_t>(text.size()));
    bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

void write_nif_block(NifByteWriter& out, std::string_view type_name, const NiObject& block, std::uint32_t version,
                     const std::vector<std::uint8_t>* pixels) {
    const auto found = block_writers().find(type_name);
    require(found != block_writers().end(), "no writer for type " + std::string(type_name));
    found->second(Context{out, version, pixels}, block, type_name);
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
    out.counted(file.header_list);

    NifWriteLayout layout;
    for (std::size_t i = 0; i < file.blocks.size(); ++i) {
        out.u32(0);
        layout.block_offsets.push_back(out.size());
        const auto payload = pixels.find(i);
        write_nif_block(out, file.block_types[i], *file.blocks[i], file.version,
                        payload == pixels.end() ? nullptr : &payload->second);
        layout.block_ends.push_back(out.size());
    }
    out.counted(file.roots);
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

NifRef add_nif_node(NifFile& file, const std::string& name, NifVec3 translation, NifRef parent) {
    NiNode node;
    node.name = name;
    node.translation = translation;
    const NifRef ref = add_nif_block(file, "NiNode", std::move(node));
    if (parent != kNoRef) add_nif_child(file, parent, ref);
    return ref;
}

void add_nif_child(NifFile& file, NifRef parent, NifRef child) {
    nif_block<NiNode>(file, parent).children.push_back(child);
}

NifRef add_nif_quad(NifFile& file, const NifQuad& quad) {
    NiTriShapeData data;
    data.num_vertices = 4;
    data.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 0, 2}, {0, 0, 2}};
    data.vector_flags = 1;
    data.normals.assign(4, NifVec3{0, -1, 0});
    data.center = quad.center;
    data.radius = quad.radius;
    data.uv_sets = {quad.uvs};
    data.num_triangles = 2;
    data.num_triangle_points = 6;
    data.triangles = {{0, 1, 2}, {0, 2, 3}};
    NiGeometry shape;
    shape.name = quad.name;
    shape.translation = quad.translation;
    shape.properties = quad.properties;
    shape.data = add_nif_block(file, "NiTriShapeData", std::move(data));
    const NifRef ref = add_nif_block(file, "NiTriShape", std::move(shape));
    if (quad.parent != kNoRef) add_nif_child(file, quad.parent, ref);
    return ref;
}

NifRef add_nif_texturing(NifFile& file, NifRef base, const std::vector<NifRef>& decals, std::uint32_t apply_mode,
                         std::uint32_t filter) {
    NiTexturingProperty texturing;
    texturing.apply_mode = apply_mode;
    texturing.texture_count = decals.empty() ? 7 : 8;
    const auto show = [&](std::size_t slot, NifRef source) {
        texturing.slots[slot].present = true;
        texturing.slots[slot].desc.source = source;
        texturing.slots[slot].desc.filter = filter;
    };
    show(kSlotBase, base);
    for (std::size_t d = 0; d < decals.size() && d < 2; ++d) show(kSlotDecal0 + d, decals[d]);
    return add_nif_block(file, "NiTexturingProperty", std::move(texturing));
}

NifRef add_nif_texturing(NifFile& file, const std::string& texture) {
    NiSourceTexture source;
    source.external = 1;
    source.file_name = texture;
    return add_nif_texturing(file, add_nif_block(file, "NiSourceTexture", std::move(source)));
}

NifFile make_nif_sequence(const std::string& name) {
    NifFile file = make_nif_file();
    NiControllerSequence sequence;
    sequence.name = name;
    sequence.accum_root_name = "Bip01";
    sequence.text_keys = 1;
    add_nif_block(file, "NiControllerSequence", std::move(sequence));
    NiTextKeyExtraData text;
    text.keys = {{0, "start"}, {1, "end"}};
    add_nif_block(file, "NiTextKeyExtraData", std::move(text));
    return file;
}

}  // namespace tarkeep::data
