// Skinning: the instance binding a geometry to bones, per-bone weights, and partitions.
#pragma once
#include <memory>
#include <vector>

#include "data/nif/nif_object.h"

namespace tarkeep::data {

struct NiSkinInstance : NiObject {
    bool operator==(const NiSkinInstance&) const = default;

    NifRef data = kNoRef;
    NifRef skeleton_root = kNoRef;
    std::vector<NifRef> bones;
};

struct NifSkinWeight {
    std::uint16_t vertex = 0;
    float weight = 0;
    bool operator==(const NifSkinWeight&) const = default;
};

struct NifSkinBone {
    NifTransform transform;
    NifVec3 bound_center;
    float bound_radius = 0;
    std::uint16_t num_weights = 0;       // stored even when the weights are not
    std::vector<NifSkinWeight> weights;  // empty unless the skin data has weights
    bool operator==(const NifSkinBone&) const = default;
};

struct NiSkinData : NiObject {
    bool operator==(const NiSkinData&) const = default;

    NifTransform transform;  // skin to root
    NifRef skin_partition = kNoRef;
    bool has_weights = false;
    std::vector<NifSkinBone> bones;
};

struct NifSkinPartitionEntry {
    std::uint16_t num_vertices = 0;
    std::uint16_t num_triangles = 0;
    std::uint16_t num_weights_per_vertex = 0;
    std::vector<std::uint16_t> bones;
    std::vector<std::uint16_t> vertex_map;  // empty when absent
    std::vector<float> vertex_weights;      // num_vertices x num_weights_per_vertex, or empty
    std::vector<std::uint16_t> strip_lengths;
    bool has_faces = false;
    std::vector<NifTriangle> triangles;  // when there are no strips
    std::vector<std::vector<std::uint16_t>> strips;
    std::vector<std::uint8_t> bone_indices;  // num_vertices x num_weights_per_vertex, or empty
    bool operator==(const NifSkinPartitionEntry&) const = default;
};

struct NiSkinPartition : NiObject {
    bool operator==(const NiSkinPartition&) const = default;

    std::vector<NifSkinPartitionEntry> partitions;
};

std::unique_ptr<NiObject> read_ni_skin_instance(NifReader& reader);
std::unique_ptr<NiObject> read_ni_skin_data(NifReader& reader);
std::unique_ptr<NiObject> read_ni_skin_partition(NifReader& reader);

}  // namespace tarkeep::data
