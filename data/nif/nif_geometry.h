// Geometry blocks ("NiTriShape", "NiTriStrips", "NiParticles") and their data.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "data/nif/nif_object.h"

namespace tarkeep::data {

struct NiGeometry : NiAVObject {
    bool operator==(const NiGeometry&) const = default;

    NifRef data = kNoRef;
    NifRef skin_instance = kNoRef;
    bool has_shader = false;
    std::string shader;
    std::uint32_t shader_extra = 0;
};

inline constexpr std::uint16_t kVectorFlagsUvMask = 63;
inline constexpr std::uint16_t kVectorFlagsTangents = 4096;

struct NiGeometryData : NiObject {
    bool operator==(const NiGeometryData&) const = default;

    std::uint16_t num_vertices = 0;
    std::uint8_t keep_flags = 0;
    std::uint8_t compress_flags = 0;
    std::vector<NifVec3> vertices;   // empty when the file has none
    std::uint16_t vector_flags = 0;  // low 6 bits: UV set count; 4096: tangents follow normals
    std::vector<NifVec3> normals;
    std::vector<NifVec3> tangents;
    std::vector<NifVec3> bitangents;
    NifVec3 center;
    float radius = 0;
    std::vector<NifColor4> colors;
    std::vector<std::vector<NifTexCoord>> uv_sets;
    std::uint16_t consistency = 0;
};

struct NiTriBasedGeomData : NiGeometryData {
    bool operator==(const NiTriBasedGeomData&) const = default;

    std::uint16_t num_triangles = 0;  // as stored; for strips not recomputed
    std::vector<NifTriangle> triangles;
};

struct NiTriShapeData : NiTriBasedGeomData {
    bool operator==(const NiTriShapeData&) const = default;

    std::uint32_t num_triangle_points = 0;
    std::vector<std::vector<std::uint16_t>> match_groups;
};

struct NiTriStripsData : NiTriBasedGeomData {
    bool operator==(const NiTriStripsData&) const = default;

    std::vector<std::uint16_t> strip_lengths;
    std::vector<std::vector<std::uint16_t>> strips;  // empty when the file has no points
};

struct NiParticlesData : NiGeometryData {
    bool operator==(const NiParticlesData&) const = default;

    std::vector<float> radii;
    std::uint16_t num_active = 0;
    std::vector<float> sizes;
    std::vector<NifQuat> rotations;
};

// Triangles of triangle strips: every window of three indices, the odd ones flipped to
// keep the winding, windows with a repeated index left out.
std::vector<NifTriangle> strips_to_triangles(const std::vector<std::vector<std::uint16_t>>& strips);

std::unique_ptr<NiObject> read_ni_geometry(NifReader& reader);
std::unique_ptr<NiObject> read_ni_tri_shape_data(NifReader& reader);
std::unique_ptr<NiObject> read_ni_tri_strips_data(NifReader& reader);
std::unique_ptr<NiObject> read_ni_particles_data(NifReader& reader);

}  // namespace tarkeep::data
