// Readers of the key groups and of the keyframe, float, position, colour, visibility, UV and morph data.
#include "data/nif/nif_keyframes.h"

#include "data/nif/nif_reader.h"

namespace tarkeep::data {

template <class T>
NifKeyGroup<T> read_key_group(NifReader& reader) {
    NifKeyGroup<T> group;
    const std::uint32_t count = reader.u32();
    if (count == 0) return group;
    group.interpolation = reader.u32();
    const bool quadratic = group.interpolation == kInterpolationQuadratic;
    const bool tbc = group.interpolation == kInterpolationTbc;
    reader.require_elements(count, sizeof(float) + sizeof(T));
    group.keys.resize(count);
    for (NifKey<T>& key : group.keys) {
        key.time = reader.f32();
        key.value = reader.value<T>();
        if (quadratic) {
            key.forward = reader.value<T>();
            key.backward = reader.value<T>();
        } else if (tbc) {
            key.tbc = reader.value<NifTbc>();
        }
    }
    return group;
}

template NifKeyGroup<float> read_key_group<float>(NifReader&);
template NifKeyGroup<NifVec3> read_key_group<NifVec3>(NifReader&);
template NifKeyGroup<NifColor4> read_key_group<NifColor4>(NifReader&);

std::unique_ptr<NiObject> read_ni_keyframe_data(NifReader& reader) {
    auto data = std::make_unique<NiKeyframeData>();
    data->num_rotation_keys = reader.u32();
    if (data->num_rotation_keys != 0) {
        data->rotation_type = reader.u32();
        if (data->rotation_type == kRotationXyz) {
            data->xyz_unknown = reader.f32();
            for (auto& group : data->xyz_rotations) group = read_key_group<float>(reader);
        } else {
            const bool tbc = data->rotation_type == kRotationTbc;
            reader.require_elements(data->num_rotation_keys, sizeof(float) + sizeof(NifQuat));
            data->rotations.resize(data->num_rotation_keys);
            for (NifQuatKey& key : data->rotations) {
                key.time = reader.f32();
                key.value = reader.value<NifQuat>();
                if (tbc) key.tbc = reader.value<NifTbc>();
            }
        }
    }
    data->translations = read_key_group<NifVec3>(reader);
    data->scales = read_key_group<float>(reader);
    return data;
}

std::unique_ptr<NiObject> read_ni_float_data(NifReader& reader) {
    auto data = std::make_unique<NiFloatData>();
    data->keys = read_key_group<float>(reader);
    return data;
}

std::unique_ptr<NiObject> read_ni_pos_data(NifReader& reader) {
    auto data = std::make_unique<NiPosData>();
    data->keys = read_key_group<NifVec3>(reader);
    return data;
}

std::unique_ptr<NiObject> read_ni_color_data(NifReader& reader) {
    auto data = std::make_unique<NiColorData>();
    data->keys = read_key_group<NifColor4>(reader);
    return data;
}

std::unique_ptr<NiObject> read_ni_vis_data(NifReader& reader) {
    auto data = std::make_unique<NiVisData>();
    const std::uint32_t count = reader.u32();
    reader.require_elements(count, sizeof(float) + 1);
    data->keys.resize(count);
    for (NifVisKey& key : data->keys) {
        key.time = reader.f32();
        key.visible = reader.u8();
    }
    return data;
}

std::unique_ptr<NiObject> read_ni_uv_data(NifReader& reader) {
    auto data = std::make_unique<NiUVData>();
    for (auto& group : data->groups) group = read_key_group<float>(reader);
    return data;
}

std::unique_ptr<NiObject> read_ni_morph_data(NifReader& reader) {
    auto data = std::make_unique<NiMorphData>();
    const std::uint32_t morph_count = reader.u32();
    data->num_vertices = reader.u32();
    data->relative = reader.u8();
    // Each morph holds at least its key count and its vectors.
    const std::uint64_t vector_bytes = std::uint64_t{data->num_vertices} * sizeof(NifVec3);
    if (morph_count != 0) reader.require(vector_bytes);
    reader.require_elements(morph_count, sizeof(std::uint32_t) + static_cast<std::size_t>(vector_bytes));
    data->morphs.resize(morph_count);
    for (NifMorph& morph : data->morphs) {
        morph.keys = read_key_group<float>(reader);
        morph.vectors = reader.values<NifVec3>(data->num_vertices);
    }
    return data;
}

}  // namespace tarkeep::data
