// Scene graph nodes, level-of-detail data and lights.
#pragma once
#include <memory>
#include <vector>

#include "data/nif/nif_object.h"

namespace tarkeep::data {

struct NiNode : NiAVObject {
    bool operator==(const NiNode&) const = default;

    std::vector<NifRef> children;
    std::vector<NifRef> effects;
};

struct NiLODNode : NiNode {
    bool operator==(const NiLODNode&) const = default;

    std::uint16_t switch_flags = 0;
    std::uint32_t index = 0;
    NifRef lod_data = kNoRef;
};

struct NiBillboardNode : NiNode {
    bool operator==(const NiBillboardNode&) const = default;

    std::uint16_t billboard_mode = 0;
};

struct NifLodRange {
    float near_distance = 0, far_distance = 0;  // (not "near"/"far": old Windows headers define those)
    bool operator==(const NifLodRange&) const = default;
};

static_assert(sizeof(NifLodRange) == 8);

struct NiRangeLODData : NiObject {
    bool operator==(const NiRangeLODData&) const = default;

    NifVec3 center;
    std::vector<NifLodRange> ranges;
};

struct NiDirectionalLight : NiAVObject {
    bool operator==(const NiDirectionalLight&) const = default;

    std::vector<std::uint32_t> affected_nodes;
    float dimmer = 0;
    NifColor3 ambient;
    NifColor3 diffuse;
    NifColor3 specular;
};

std::unique_ptr<NiObject> read_ni_node(NifReader& reader);
std::unique_ptr<NiObject> read_ni_lod_node(NifReader& reader);
std::unique_ptr<NiObject> read_ni_billboard_node(NifReader& reader);
std::unique_ptr<NiObject> read_ni_range_lod_data(NifReader& reader);
std::unique_ptr<NiObject> read_ni_directional_light(NifReader& reader);

}  // namespace tarkeep::data
