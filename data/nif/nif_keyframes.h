// Animation data: keyframes, interpolated values, visibility, UV and morph data.
#pragma once
#include <array>
#include <memory>
#include <vector>

#include "data/nif/nif_object.h"

namespace tarkeep::data {

// u32 key count; when non-zero, the interpolation and the keys. Instantiated for
// float, NifVec3 and NifColor4.
template <class T>
NifKeyGroup<T> read_key_group(NifReader& reader);

inline constexpr std::uint32_t kRotationTbc = 3;
inline constexpr std::uint32_t kRotationXyz = 4;

struct NifQuatKey {
    float time = 0;
    NifQuat value;
    NifTbc tbc;  // in the file for rotation type 3 only
    bool operator==(const NifQuatKey&) const = default;
};

struct NiKeyframeData : NiObject {
    bool operator==(const NiKeyframeData&) const = default;

    // The stored count; for XYZ rotation the groups carry their own counts.
    std::uint32_t num_rotation_keys = 0;
    std::uint32_t rotation_type = 0;  // absent from the file when there are no rotation keys
    float xyz_unknown = 0;
    std::array<NifKeyGroup<float>, 3> xyz_rotations;  // about x, y, z (rotation type 4)
    std::vector<NifQuatKey> rotations;                // every other rotation type
    NifKeyGroup<NifVec3> translations;
    NifKeyGroup<float> scales;
};

struct NiFloatData : NiObject {
    bool operator==(const NiFloatData&) const = default;
    NifKeyGroup<float> keys;
};

struct NiPosData : NiObject {
    bool operator==(const NiPosData&) const = default;
    NifKeyGroup<NifVec3> keys;
};

struct NiColorData : NiObject {
    bool operator==(const NiColorData&) const = default;
    NifKeyGroup<NifColor4> keys;
};

struct NifVisKey {
    float time = 0;
    std::uint8_t visible = 0;
    bool operator==(const NifVisKey&) const = default;
};

struct NiVisData : NiObject {
    bool operator==(const NiVisData&) const = default;
    std::vector<NifVisKey> keys;
};

struct NiUVData : NiObject {
    bool operator==(const NiUVData&) const = default;
    std::array<NifKeyGroup<float>, 4> groups;
};

struct NifMorph {
    NifKeyGroup<float> keys;
    std::vector<NifVec3> vectors;
    bool operator==(const NifMorph&) const = default;
};

struct NiMorphData : NiObject {
    bool operator==(const NiMorphData&) const = default;

    std::uint32_t num_vertices = 0;
    std::uint8_t relative = 0;
    std::vector<NifMorph> morphs;
};

std::unique_ptr<NiObject> read_ni_keyframe_data(NifReader& reader);
std::unique_ptr<NiObject> read_ni_float_data(NifReader& reader);
std::unique_ptr<NiObject> read_ni_pos_data(NifReader& reader);
std::unique_ptr<NiObject> read_ni_color_data(NifReader& reader);
std::unique_ptr<NiObject> read_ni_vis_data(NifReader& reader);
std::unique_ptr<NiObject> read_ni_uv_data(NifReader& reader);
std::unique_ptr<NiObject> read_ni_morph_data(NifReader& reader);

}  // namespace tarkeep::data
