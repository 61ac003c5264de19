// Skins: per-vertex joints and weights, and inverse bind matrices over the joint list.
#include <algorithm>
#include <cmath>

#include "data/gltf/gltf_convert.h"

namespace tarkeep::data {
namespace {

// Bind poses of the skin data and of the node tree that differ by less than this (relative)
// are the same pose; the node tree's is used then.
constexpr double kBindTolerance = 1e-3;

struct Influence {
    double weight = 0;
    std::uint32_t bone = 0;
};

double kahan_sum(const std::vector<Influence>& influences) {
    double sum = 0, compensation = 0;
    for (const Influence& influence : influences) {
        const double y = influence.weight - compensation;
        const double t = sum + y;
        compensation = (t - sum) - y;
        sum = t;
    }
    return sum;
}

}  // namespace

void GltfConverter::convert_skins() {
    for (const std::uint32_t block : geometry_blocks_) {
        const auto& geometry = dynamic_cast<const NiGeometry&>(*model_.blocks[block]);
        if (geometry.skin_instance < 0) continue;
        const auto& data = block_as<NiTriBasedGeomData>(geometry.data, "geometry data");
        if (triangles_in_range(data).empty()) continue;  // left out with a warning later
        skinned_[block] = convert_skin(geometry, data.vertices.size());
    }
}

GltfConverter::SkinAttributes GltfConverter::convert_skin(const NiGeometry& geometry, std::size_t vertex_count) {
    const auto& instance = block_as<NiSkinInstance>(geometry.skin_instance, "skin instance");
    const auto& skin = block_as<NiSkinData>(instance.data, "skin data");
    if (skin.bones.size() < instance.bones.size()) {
        throw GltfError("skin data has fewer bones than the skin instance");
    }
    std::vector<std::vector<Influence>> influences(vertex_count);
    for (std::size_t bone = 0; bone < skin.bones.size(); ++bone) {
        for (const NifSkinWeight& weight : skin.bones[bone].weights) {
            if (weight.vertex >= vertex_count) throw GltfError("skin weight for a vertex out of range");
            if (!std::isfinite(weight.weight)) throw GltfError("non-finite skin weight in geometry " + geometry.name);
            // A negative weight would make the file invalid; it counts as no influence.
            influences[weight.vertex].push_back({std::max(0.0, double(weight.weight)), std::uint32_t(bone)});
        }
    }
    std::vector<std::uint32_t> bone_joints;
    for (const NifRef bone : instance.bones) {
        const auto node = node_of_block_.find(static_cast<std::uint32_t>(bone));
        if (bone < 0 || node == node_of_block_.end()) throw GltfError("skin bone outside the node tree");
        bone_joints.push_back(static_cast<std::uint32_t>(node->second));
    }
    // A vertex that no bone moves follows the skeleton root (or the model's root).
    std::uint32_t fallback_joint = 0;
    if (const auto root = node_of_block_.find(static_cast<std::uint32_t>(instance.skeleton_root));
        instance.skeleton_root >= 0 && root != node_of_block_.end()) {
        fallback_joint = static_cast<std::uint32_t>(root->second);
    }

    std::vector<std::uint32_t> joint_values;
    std::vector<double> weight_values;
    for (std::vector<Influence>& list : influences) {
        stats_.max_influences = std::max(stats_.max_influences, list.size());
        if (list.empty()) ++stats_.vertices_without_influence;
        std::stable_sort(list.begin(), list.end(), [](const Influence& a, const Influence& b) {
            return a.weight != b.weight ? a.weight > b.weight : a.bone > b.bone;
        });
        if (list.size() > 4) list.resize(4);
        double sum = kahan_sum(list);
        std::vector<std::pair<std::uint32_t, double>> slots;
        for (const Influence& influence : list) {
            if (influence.bone >= bone_joints.size()) throw GltfError("skin weight for a bone out of range");
            const std::uint32_t joint = bone_joints[influence.bone];
            // Two bones on one node share a joint: one slot, their weights added.
            auto same = std::find_if(slots.begin(), slots.end(), [&](const auto& s) { return s.first == joint; });
            if (same != slots.end()) {
                same->second += influence.weight;
            } else {
                slots.emplace_back(joint, influence.weight);
            }
        }
        // All-zero weights are invalid in glTF: the first joint (or the fallback) takes all.
        if (sum == 0) {
            if (slots.empty()) slots.emplace_back(fallback_joint, 0.0);
            slots.front().second = 1;
            sum = 1;
        }
        for (std::size_t s = 0; s < 4; ++s) {
            joint_values.push_back(s < slots.size() ? slots[s].first : 0);
            weight_values.push_back(s < slots.size() ? slots[s].second / sum : 0);
        }
    }

    const Mat4 geometry_world = world_of(geometry.block_index);
    std::vector<Mat4> worlds;
    for (const std::uint32_t joint_block : block_of_joint_) worlds.push_back(world_of(joint_block));
    for (std::size_t bone = 0; bone < instance.bones.size(); ++bone) {
        const NifTransform& t = skin.bones[bone].transform;
        const Mat4 from_skin = geometry_world * inverse_affine(compose(t.translation, t.rotation, t.scale));
        Mat4& tree = worlds[bone_joints[bone]];
        if (!nearly_equal(tree, from_skin, kBindTolerance)) tree = from_skin;
    }
    SkinAttributes out = add_joint_attributes(joint_values, weight_values, geometry.name);
    out.skin = add_skin(geometry.name.c_str(), worlds);
    return out;
}

GltfConverter::SkinAttributes GltfConverter::add_joint_attributes(const std::vector<std::uint32_t>& joints,
                                                                  const std::vector<double>& weights,
                                                                  const std::string& what) {
    SkinAttributes out;
    const int component = block_of_joint_.size() < 256 ? kComponentU8 : kComponentU16;
    out.joints = add_uint_accessor(doc_, joints, 4, "VEC4", component, kTargetVertices);
    out.weights = add_float_accessor(doc_, weights, 4, "VEC4", kTargetVertices, false, "WEIGHTS_0 of geometry " + what);
    return out;
}

std::size_t GltfConverter::add_skin(const char* name, const std::vector<Mat4>& bind_worlds) {
    if (bind_worlds.empty()) throw GltfError("skin without joints");
    std::vector<double> matrices;
    JsonValue joints = JsonValue::array();
    for (std::size_t j = 0; j < bind_worlds.size(); ++j) {
        joints.push(j);
        const Mat4 inverse = inverse_affine(to_gltf(bind_worlds[j]));
        for (int col = 0; col < 4; ++col) {
            for (int row = 0; row < 4; ++row) matrices.push_back(inverse.at(row, col));
        }
    }
    JsonValue skin = JsonValue::object();
    skin.set("joints", std::move(joints));
    skin.set("inverseBindMatrices",
             add_float_accessor(doc_, matrices, 16, "MAT4", kTargetNone, false, std::string("skin ") + name));
    skin.set("skeleton", 0);
    skin.set("name", name);
    doc_.skins.push_back(std::move(skin));
    return doc_.skins.size() - 1;
}

}  // namespace tarkeep::data
