// Readers of skin instances, skin data and skin partitions, sizes checked before allocating.
#include "data/nif/nif_skin.h"

#include "data/nif/nif_reader.h"

namespace tarkeep::data {

namespace {

// Smallest file size of one bone of skin data: transform, bound, weight count.
constexpr std::size_t kMinSkinBoneBytes = sizeof(NifTransform) + sizeof(NifVec3) + sizeof(float) + 2;
// Smallest file size of one partition: five counts and four flags.
constexpr std::size_t kMinPartitionBytes = 5 * 2 + 4;
// File size of one weight: u16 vertex index and f32 weight (no padding in the file).
constexpr std::size_t kSkinWeightBytes = 6;

NifSkinBone read_skin_bone(NifReader& reader, bool has_weights) {
    NifSkinBone bone;
    bone.transform = reader.value<NifTransform>();
    bone.bound_center = reader.value<NifVec3>();
    bone.bound_radius = reader.f32();
    bone.num_weights = reader.u16();
    if (has_weights) {
        reader.require_elements(bone.num_weights, kSkinWeightBytes);
        bone.weights.resize(bone.num_weights);
        for (NifSkinWeight& weight : bone.weights) {
            weight.vertex = reader.u16();
            weight.weight = reader.f32();
        }
    }
    return bone;
}

NifSkinPartitionEntry read_partition(NifReader& reader) {
    NifSkinPartitionEntry part;
    part.num_vertices = reader.u16();
    part.num_triangles = reader.u16();
    const std::uint16_t bone_count = reader.u16();
    const std::uint16_t strip_count = reader.u16();
    part.num_weights_per_vertex = reader.u16();
    const std::size_t weighted = std::size_t{part.num_vertices} * part.num_weights_per_vertex;
    part.bones = reader.values<std::uint16_t>(bone_count);
    if (reader.bool8()) part.vertex_map = reader.values<std::uint16_t>(part.num_vertices);
    if (reader.bool8()) part.vertex_weights = reader.values<float>(weighted);
    part.strip_lengths = reader.values<std::uint16_t>(strip_count);
    part.has_faces = reader.bool8();
    if (part.has_faces) {
        if (strip_count == 0) {
            part.triangles = reader.values<NifTriangle>(part.num_triangles);
        } else {
            part.strips.reserve(strip_count);
            for (const std::uint16_t length : part.strip_lengths)
                part.strips.push_back(reader.values<std::uint16_t>(length));
        }
    }
    if (reader.bool8()) part.bone_indices = reader.values<std::uint8_t>(weighted);
    return part;
}

}  // namespace

std::unique_ptr<NiObject> read_ni_skin_instance(NifReader& reader) {
    auto skin = std::make_unique<NiSkinInstance>();
    skin->data = reader.ref();
    skin->skeleton_root = reader.ref();
    skin->bones = reader.ref_list();
    return skin;
}

std::unique_ptr<NiObject> read_ni_skin_data(NifReader& reader) {
    auto skin = std::make_unique<NiSkinData>();
    skin->transform = reader.value<NifTransform>();
    const std::uint32_t bone_count = reader.u32();
    skin->skin_partition = reader.ref();
    skin->has_weights = reader.bool8();
    reader.require_elements(bone_count, kMinSkinBoneBytes);
    skin->bones.reserve(bone_count);
    for (std::uint32_t i = 0; i < bone_count; ++i) skin->bones.push_back(read_skin_bone(reader, skin->has_weights));
    return skin;
}

std::unique_ptr<NiObject> read_ni_skin_partition(NifReader& reader) {
    auto skin = std::make_unique<NiSkinPartition>();
    const std::uint32_t count = reader.u32();
    reader.require_elements(count, kMinPartitionBytes);
    skin->partitions.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) skin->partitions.push_back(read_partition(reader));
    return skin;
}

}  // namespace tarkeep::data
