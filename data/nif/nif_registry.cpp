// The table of NIF block readers, looked up by FNV-1a hash of the type name.
#include "data/nif/nif_registry.h"

#include <array>
#include <stdexcept>
#include <string>
#include <unordered_map>

#include "data/nif/nif_blocks.h"
#include "io/checksum.h"

namespace tarkeep::data {

namespace {

// The registry's key of a type name.
std::uint64_t name_hash(std::string_view name) {
    io::Fnv1a64 hash;
    hash.update(name);
    return hash.value();
}

constexpr NifBlockType kBlockTypes[] = {
    {"NiNode", read_ni_node},
    {"NiLODNode", read_ni_lod_node},
    {"NiRangeLODData", read_ni_range_lod_data},
    {"NiStringExtraData", read_ni_string_extra_data},
    {"NiTextKeyExtraData", read_ni_text_key_extra_data},
    {"NiZBufferProperty", read_ni_z_buffer_property},
    {"NiVertexColorProperty", read_ni_vertex_color_property},
    {"NiMaterialProperty", read_ni_material_property},
    {"NiTexturingProperty", read_ni_texturing_property},
    {"NiSourceTexture", read_ni_source_texture},
    {"NiTriShape", read_ni_geometry},
    {"NiTriShapeData", read_ni_tri_shape_data},
    {"NiSkinInstance", read_ni_skin_instance},
    {"NiSkinData", read_ni_skin_data},
    {"NiSkinPartition", read_ni_skin_partition},
    {"NiKeyframeController", read_ni_data_controller},
    {"NiKeyframeData", read_ni_keyframe_data},
    {"NiControllerSequence", read_ni_controller_sequence},
    {"NiAlphaProperty", read_ni_alpha_property},
    {"NiStencilProperty", read_ni_stencil_property},
    {"NiSpecularProperty", read_ni_flags_property},
    {"NiWireframeProperty", read_ni_flags_property},
    {"NiDitherProperty", read_ni_flags_property},
    {"NiShadeProperty", read_ni_flags_property},
    {"NiBooleanExtraData", read_ni_boolean_extra_data},
    {"NiIntegerExtraData", read_ni_integer_extra_data},
    {"NiFloatExtraData", read_ni_float_extra_data},
    {"NiBillboardNode", read_ni_billboard_node},
    {"NiTriStrips", read_ni_geometry},
    {"NiTriStripsData", read_ni_tri_strips_data},
    {"NiPixelData", read_ni_pixel_data},
    {"NiFloatData", read_ni_float_data},
    {"NiPosData", read_ni_pos_data},
    {"NiColorData", read_ni_color_data},
    {"NiVisData", read_ni_vis_data},
    {"NiUVData", read_ni_uv_data},
    {"NiMorphData", read_ni_morph_data},
    {"NiAlphaController", read_ni_data_controller},
    {"NiVisController", read_ni_data_controller},
    {"NiMaterialColorController", read_ni_material_color_controller},
    {"NiTextureTransformController", read_ni_texture_transform_controller},
    {"NiFlipController", read_ni_flip_controller},
    {"NiUVController", read_ni_uv_controller},
    {"NiGeomMorpherController", read_ni_geom_morpher_controller},
    {"NiParticles", read_ni_geometry},
    {"NiParticlesData", read_ni_particles_data},
    {"NiParticleColorModifier", read_ni_particle_color_modifier},
    {"NiParticleGrowFade", read_ni_particle_grow_fade},
    {"NiGravity", read_ni_gravity},
    {"NiParticleBomb", read_ni_particle_bomb},
    {"NiParticleSystemController", read_ni_particle_system_controller},
    {"NiDirectionalLight", read_ni_directional_light},
};

// The hash is already well mixed; use it as is.
struct IdentityHash {
    std::size_t operator()(std::uint64_t value) const { return static_cast<std::size_t>(value); }
};

using Registry = std::unordered_map<std::uint64_t, const NifBlockType*, IdentityHash>;

Registry build_registry() {
    Registry registry;
    for (const NifBlockType& type : kBlockTypes) {
        if (!registry.emplace(name_hash(type.name), &type).second) {
            throw std::logic_error("NIF block type registered twice or hash collision: " + std::string(type.name));
        }
    }
    return registry;
}

const Registry& registry() {
    static const Registry instance = build_registry();
    return instance;
}

}  // namespace

std::span<const NifBlockType> nif_block_types() { return kBlockTypes; }

NifBlockReader find_nif_block_reader(std::string_view type_name) {
    const Registry& types = registry();
    const auto found = types.find(name_hash(type_name));
    // A different name may share the hash; only an exact match counts.
    if (found == types.end() || found->second->name != type_name) return nullptr;
    return found->second->reader;
}

}  // namespace tarkeep::data
