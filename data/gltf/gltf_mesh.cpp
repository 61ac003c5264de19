// Meshes (positions, normals, texture coordinates, tangents, indices) and their placement.
#include <algorithm>
#include <cmath>

#include "data/gltf/gltf_convert.h"

namespace tarkeep::data {
namespace {

Vec3d to_vec(const NifVec3& v) { return {v.x, v.y, v.z}; }
Vec3d sub(const Vec3d& a, const Vec3d& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3d add_scaled(const Vec3d& a, const Vec3d& b, double s) { return {a.x + b.x * s, a.y + b.y * s, a.z + b.z * s}; }
double dot(const Vec3d& a, const Vec3d& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3d cross(const Vec3d& a, const Vec3d& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double length(const Vec3d& v) { return std::sqrt(dot(v, v)); }

std::string dropped_triangles(const std::string& geometry, std::size_t count) {
    return "geometry " + geometry + ": " + std::to_string(count) + " triangles out of range dropped";
}

// Unit normals are required of NORMAL; a zero or damaged one points up.
Vec3d unit_normal(const Vec3d& n) {
    const double l = length(n);
    if (!(l > 1e-12) || !std::isfinite(l)) return {0, 1, 0};
    return {n.x / l, n.y / l, n.z / l};
}

void append(std::vector<double>& out, const Vec3d& v) { out.insert(out.end(), {v.x, v.y, v.z}); }

// Per-vertex tangents with handedness from positions, normals, UVs and triangles.
std::vector<double> tangents(const std::vector<Vec3d>& positions, const std::vector<Vec3d>& normals,
                             const std::vector<NifTexCoord>& uvs, const std::vector<NifTriangle>& triangles) {
    const std::size_t count = positions.size();
    std::vector<Vec3d> tangent_sum(count), bitangent_sum(count);
    for (const NifTriangle& tri : triangles) {
        const std::size_t i0 = tri.a, i1 = tri.b, i2 = tri.c;
        if (i0 >= count || i1 >= count || i2 >= count) continue;
        const Vec3d e1 = sub(positions[i1], positions[i0]);
        const Vec3d e2 = sub(positions[i2], positions[i0]);
        const double du1 = double(uvs[i1].u) - uvs[i0].u, dv1 = double(uvs[i1].v) - uvs[i0].v;
        const double du2 = double(uvs[i2].u) - uvs[i0].u, dv2 = double(uvs[i2].v) - uvs[i0].v;
        const double d = dv2 * du1 - du2 * dv1;
        if (std::fabs(d) < 1e-20) continue;
        const double s = d > 0 ? 1 : -1;
        const Vec3d t{s * (e1.x * dv2 - e2.x * dv1), s * (e1.y * dv2 - e2.y * dv1), s * (e1.z * dv2 - e2.z * dv1)};
        const Vec3d b{s * (e2.x * du1 - e1.x * du2), s * (e2.y * du1 - e1.y * du2), s * (e2.z * du1 - e1.z * du2)};
        for (const std::size_t i : {i0, i1, i2}) {
            tangent_sum[i] = add_scaled(tangent_sum[i], t, 1);
            bitangent_sum[i] = add_scaled(bitangent_sum[i], b, 1);
        }
    }
    std::vector<double> out;
    out.reserve(count * 4);
    for (std::size_t i = 0; i < count; ++i) {
        const Vec3d& n = normals[i];
        Vec3d t = add_scaled(tangent_sum[i], n, -dot(n, tangent_sum[i]));
        if (length(t) < 1e-12) {
            t = cross(n, std::fabs(n.x) < 0.9 ? Vec3d{1, 0, 0} : Vec3d{0, 1, 0});
            if (length(t) < 1e-12) t = {1, 0, 0};
        }
        const double l = length(t);
        t = {t.x / l, t.y / l, t.z / l};
        const double w = dot(cross(n, t), bitangent_sum[i]) > 0 ? -1 : 1;
        out.insert(out.end(), {t.x, t.y, t.z, w});
    }
    return out;
}

}  // namespace

void GltfConverter::convert_geometries() {
    for (const std::uint32_t block : geometry_blocks_) {
        const auto& geometry = dynamic_cast<const NiGeometry&>(*model_.blocks[block]);
        const auto& data = block_as<NiTriBasedGeomData>(geometry.data, "geometry data");
        const std::vector<NifTriangle> triangles = triangles_in_range(data);
        const std::size_t dropped = data.triangles.size() - triangles.size();
        if (data.vertices.empty() || triangles.empty()) {
            const bool all_dropped = !data.vertices.empty() && dropped != 0;
            const std::string why = all_dropped ? dropped_triangles(geometry.name, dropped)
                                                : "geometry " + geometry.name + " has no " +
                                                      (data.vertices.empty() ? "vertices" : "triangles");
            stats_.warnings.push_back(why + ", left out");
            skinned_.erase(block);
            continue;
        }
        if (dropped != 0) stats_.warnings.push_back(dropped_triangles(geometry.name, dropped));
        const std::size_t mesh = convert_geometry(geometry, data, triangles);
        const auto skinned = skinned_.find(block);
        if (skinned != skinned_.end() || rigid_bind_.count(block) != 0) {
            const bool is_skinned = skinned != skinned_.end();
            JsonValue node = JsonValue::object();
            node.set("name", geometry.name + (is_skinned ? "_skinned" : "_rigid"));
            node.set("mesh", mesh);
            node.set("skin", is_skinned ? skinned->second.skin : *rigid_skin_);
            doc_.nodes.push_back(std::move(node));
            doc_.scene_nodes.push_back(static_cast<std::int64_t>(doc_.nodes.size() - 1));
            if (!is_skinned) ++stats_.rigid_bound;
        } else {
            doc_.nodes[node_of_block_.at(block)].set("mesh", mesh);
        }
    }
}

std::vector<NifTriangle> GltfConverter::triangles_in_range(const NiTriBasedGeomData& data) {
    const std::size_t count = data.vertices.size();
    std::vector<NifTriangle> out;
    std::copy_if(data.triangles.begin(), data.triangles.end(), std::back_inserter(out),
                 [count](const NifTriangle& tri) { return tri.a < count && tri.b < count && tri.c < count; });
    return out;
}

std::size_t GltfConverter::convert_geometry(const NiGeometry& geometry, const NiTriBasedGeomData& data,
                                            const std::vector<NifTriangle>& triangles) {
    const std::uint32_t block = geometry.block_index;
    const std::size_t count = data.vertices.size();
    std::optional<Mat4> transform;
    if (skinned_.count(block) != 0) {
        transform = world_of(block);
    } else if (const auto bound = rigid_bind_.find(block); bound != rigid_bind_.end()) {
        transform = bound->second;
    }
    std::vector<Vec3d> positions, normals;
    std::vector<double> position_values, normal_values;
    for (const NifVec3& v : data.vertices) {
        const Vec3d p = transform ? transform_point(*transform, to_vec(v)) : to_vec(v);
        positions.push_back(point(p));
        append(position_values, positions.back());
    }
    for (const NifVec3& n : data.normals) {
        const Vec3d d = transform ? transform_direction(*transform, to_vec(n)) : to_vec(n);
        normals.push_back(direction(unit_normal(d)));
        append(normal_values, normals.back());
    }
    JsonValue attributes = JsonValue::object();
    attributes.set("POSITION", add_float_accessor(doc_, position_values, 3, "VEC3", kTargetVertices, true,
                                                  "POSITION of geometry " + geometry.name));
    if (!normals.empty()) {
        attributes.set("NORMAL", add_float_accessor(doc_, normal_values, 3, "VEC3", kTargetVertices, false,
                                                    "NORMAL of geometry " + geometry.name));
    }
    const bool has_uvs = !data.uv_sets.empty() && data.uv_sets[0].size() == count;
    if (has_uvs) {
        std::vector<double> uv_values;
        for (const NifTexCoord& uv : data.uv_sets[0]) uv_values.insert(uv_values.end(), {uv.u, uv.v});
        attributes.set("TEXCOORD_0", add_float_accessor(doc_, uv_values, 2, "VEC2", kTargetVertices, false,
                                                        "TEXCOORD_0 of geometry " + geometry.name));
    }
    std::vector<std::uint32_t> indices;
    for (const NifTriangle& tri : triangles) indices.insert(indices.end(), {tri.a, tri.b, tri.c});
    const std::size_t index_accessor = add_uint_accessor(doc_, indices, 1, "SCALAR", kComponentU16, kTargetIndices);
    const std::size_t material = convert_material(geometry);
    if (needs_tangents_ && has_uvs && normals.size() == count) {
        attributes.set("TANGENT",
                       add_float_accessor(doc_, tangents(positions, normals, data.uv_sets[0], triangles), 4, "VEC4",
                                          kTargetVertices, false, "TANGENT of geometry " + geometry.name));
    }
    SkinAttributes joints;
    if (const auto skinned = skinned_.find(block); skinned != skinned_.end()) {
        joints = skinned->second;
    } else if (rigid_bind_.count(block) != 0) {
        if (!rigid_skin_) {
            std::vector<Mat4> worlds;
            for (const std::uint32_t joint_block : block_of_joint_) worlds.push_back(world_of(joint_block));
            rigid_skin_ = add_skin("rigid", worlds);
        }
        const auto joint = static_cast<std::uint32_t>(node_of_block_.at(block));
        std::vector<std::uint32_t> joint_values;
        std::vector<double> weight_values;
        for (std::size_t i = 0; i < count; ++i) {
            joint_values.insert(joint_values.end(), {joint, 0, 0, 0});
            weight_values.insert(weight_values.end(), {1, 0, 0, 0});
        }
        joints = add_joint_attributes(joint_values, weight_values, geometry.name);
    }
    if (joints.joints != joints.weights) {
        attributes.set("JOINTS_0", joints.joints);
        attributes.set("WEIGHTS_0", joints.weights);
    }
    JsonValue primitive = JsonValue::object();
    primitive.set("attributes", std::move(attributes));
    primitive.set("indices", index_accessor);
    primitive.set("material", material);
    JsonValue primitives = JsonValue::array();
    primitives.push(std::move(primitive));
    JsonValue mesh = JsonValue::object();
    mesh.set("name", geometry.name);
    mesh.set("primitives", std::move(primitives));
    doc_.meshes.push_back(std::move(mesh));
    return doc_.meshes.size() - 1;
}

}  // namespace tarkeep::data
