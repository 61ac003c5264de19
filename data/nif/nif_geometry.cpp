// Readers of the geometry blocks and their data, and triangle strips turned into triangles.
#include "data/nif/nif_geometry.h"

#include "data/nif/nif_reader.h"

namespace tarkeep::data {

namespace {

void read_geometry_data_fields(NifReader& reader, NiGeometryData& data) {
    data.num_vertices = reader.u16();
    data.keep_flags = reader.u8();
    data.compress_flags = reader.u8();
    const std::size_t count = data.num_vertices;
    if (reader.bool8()) data.vertices = reader.values<NifVec3>(count);
    data.vector_flags = reader.u16();
    if (reader.bool8()) {
        data.normals = reader.values<NifVec3>(count);
        if (data.vector_flags & kVectorFlagsTangents) {
            data.tangents = reader.values<NifVec3>(count);
            data.bitangents = reader.values<NifVec3>(count);
        }
    }
    data.center = reader.value<NifVec3>();
    data.radius = reader.f32();
    if (reader.bool8()) data.colors = reader.values<NifColor4>(count);
    const std::size_t uv_set_count = data.vector_flags & kVectorFlagsUvMask;
    data.uv_sets.reserve(uv_set_count);
    for (std::size_t set = 0; set < uv_set_count; ++set) data.uv_sets.push_back(reader.values<NifTexCoord>(count));
    data.consistency = reader.u16();
}

// Per entry a u16 count and that many u16.
std::vector<std::vector<std::uint16_t>> read_u16_groups(NifReader& reader, std::size_t count) {
    reader.require_elements(count, sizeof(std::uint16_t));
    std::vector<std::vector<std::uint16_t>> groups;
    groups.reserve(count);
    for (std::size_t i = 0; i < count; ++i) groups.push_back(reader.values<std::uint16_t>(reader.u16()));
    return groups;
}

}  // namespace

std::vector<NifTriangle> strips_to_triangles(const std::vector<std::vector<std::uint16_t>>& strips) {
    std::vector<NifTriangle> triangles;
    for (const auto& strip : strips) {
        for (std::size_t i = 0; i + 2 < strip.size(); ++i) {
            const std::uint16_t a = strip[i], b = strip[i + 1], c = strip[i + 2];
            if (a == b || b == c || a == c) continue;
            triangles.push_back(i % 2 == 0 ? NifTriangle{a, b, c} : NifTriangle{a, c, b});
        }
    }
    return triangles;
}

std::unique_ptr<NiObject> read_ni_geometry(NifReader& reader) {
    auto geometry = std::make_unique<NiGeometry>();
    read_av_object_fields(reader, *geometry);
    geometry->data = reader.ref();
    geometry->skin_instance = reader.ref();
    geometry->has_shader = reader.bool8();
    if (geometry->has_shader) {
        geometry->shader = reader.string();
        geometry->shader_extra = reader.u32();
    }
    return geometry;
}

std::unique_ptr<NiObject> read_ni_tri_shape_data(NifReader& reader) {
    auto data = std::make_unique<NiTriShapeData>();
    read_geometry_data_fields(reader, *data);
    data->num_triangles = reader.u16();
    data->num_triangle_points = reader.u32();
    if (reader.bool8()) data->triangles = reader.values<NifTriangle>(data->num_triangles);
    data->match_groups = read_u16_groups(reader, reader.u16());
    return data;
}

std::unique_ptr<NiObject> read_ni_tri_strips_data(NifReader& reader) {
    auto data = std::make_unique<NiTriStripsData>();
    read_geometry_data_fields(reader, *data);
    data->num_triangles = reader.u16();
    data->strip_lengths = reader.values<std::uint16_t>(reader.u16());
    if (reader.bool8()) {
        data->strips.reserve(data->strip_lengths.size());
        for (const std::uint16_t length : data->strip_lengths)
            data->strips.push_back(reader.values<std::uint16_t>(length));
    }
    data->triangles = strips_to_triangles(data->strips);
    return data;
}

std::unique_ptr<NiObject> read_ni_particles_data(NifReader& reader) {
    auto data = std::make_unique<NiParticlesData>();
    read_geometry_data_fields(reader, *data);
    const std::size_t count = data->num_vertices;
    if (reader.bool8()) data->radii = reader.values<float>(count);
    data->num_active = reader.u16();
    if (reader.bool8()) data->sizes = reader.values<float>(count);
    if (reader.bool8()) data->rotations = reader.values<NifQuat>(count);
    return data;
}

}  // namespace tarkeep::data
