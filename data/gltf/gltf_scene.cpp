// Scene graph nodes and the block access, transforms and axis change they share.
#include <algorithm>
#include <cmath>

#include "data/gltf/gltf_convert.h"
#include "data/nif/nif_blocks.h"

namespace tarkeep::data {
namespace {

// Keeps a damaged model whose children lists share subtrees from growing without end.
constexpr std::size_t kMaxNodes = 65536;

}  // namespace

GltfConverter::GltfConverter(const NifFile& model, const GltfConvertOptions& options)
    : model_(model), options_(options), scale_(options.y_up ? options.scale : 1) {
    for (std::size_t i = 0; i < model.blocks.size(); ++i) {
        if (const auto* node = dynamic_cast<const NiNode*>(model.blocks[i].get())) {
            for (const NifRef child : node->children) {
                if (child >= 0) parent_of_.emplace(static_cast<std::uint32_t>(child), static_cast<std::uint32_t>(i));
            }
        }
    }
}

const NiObject& nif_block_at(const NifFile& file, NifRef ref, const char* what) {
    if (ref < 0 || static_cast<std::size_t>(ref) >= file.blocks.size()) {
        throw GltfError(std::string("block reference out of range: ") + what);
    }
    return *file.blocks[static_cast<std::size_t>(ref)];
}

const NiObject& GltfConverter::any_block(NifRef ref, const char* what) const { return nif_block_at(model_, ref, what); }

Mat4 GltfConverter::world_of(std::uint32_t block) const {
    if (const auto known = world_cache_.find(block); known != world_cache_.end()) return known->second;
    Mat4 world;
    std::size_t steps = 0;
    for (std::optional<std::uint32_t> at = block; at;) {
        if (++steps > model_.blocks.size()) throw GltfError("cycle in the node tree at block " + std::to_string(block));
        const auto* object = dynamic_cast<const NiAVObject*>(model_.blocks[*at].get());
        if (object != nullptr) world = compose(object->translation, object->rotation, object->scale) * world;
        const auto parent = parent_of_.find(*at);
        at = parent == parent_of_.end() ? std::nullopt : std::optional<std::uint32_t>(parent->second);
    }
    world_cache_.emplace(block, world);
    return world;
}

// C * m * C^-1 with C the axis change and length factor.
Mat4 GltfConverter::to_gltf(const Mat4& nif) const {
    Mat4 c;
    if (options_.y_up) c.m = {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1};
    Mat4 c_inverse;
    c_inverse.m = {c.m[0], c.m[4], c.m[8], 0, c.m[1], c.m[5], c.m[9], 0, c.m[2], c.m[6], c.m[10], 0, 0, 0, 0, 1};
    Mat4 out = c * nif * c_inverse;
    out.at(0, 3) *= scale_;
    out.at(1, 3) *= scale_;
    out.at(2, 3) *= scale_;
    return out;
}

Vec3d GltfConverter::point(const Vec3d& p) const {
    const double s = scale_;
    if (options_.y_up) return {s * p.x, s * p.z, -s * p.y};
    return {s * p.x, s * p.y, s * p.z};
}

Vec3d GltfConverter::direction(const Vec3d& d) const {
    if (options_.y_up) return {d.x, d.z, -d.y};
    return d;
}

Quatd GltfConverter::rotation(const Quatd& q) const {
    if (options_.y_up) return {q.x, q.z, -q.y, q.w};
    return q;
}

// Depth first with a stack of its own: a damaged file may nest nodes tens of thousands deep,
// which one call per level would turn into a stack overflow. Nodes are numbered as they are
// entered, parents before children.
std::size_t GltfConverter::convert_node(NifRef ref) {
    struct Level {
        std::size_t block = 0, index = 0, next_child = 0;
        std::vector<NifRef> children;
        JsonValue child_indices = JsonValue::array();
    };
    std::vector<bool> on_path(model_.blocks.size());
    const auto enter = [&](NifRef block) {
        Level level;
        level.index = add_node(block, on_path, level.children);
        level.block = static_cast<std::size_t>(block);
        on_path[level.block] = true;
        return level;
    };
    std::vector<Level> path;
    path.push_back(enter(ref));
    const std::size_t root = path.back().index;
    while (!path.empty()) {
        Level& level = path.back();
        if (level.next_child < level.children.size()) {
            Level child = enter(level.children[level.next_child++]);
            level.child_indices.push(child.index);
            path.push_back(std::move(child));
            continue;
        }
        if (level.child_indices.size() != 0) doc_.nodes[level.index].set("children", std::move(level.child_indices));
        on_path[level.block] = false;
        path.pop_back();
    }
    return root;
}

std::size_t GltfConverter::add_node(NifRef ref, const std::vector<bool>& on_path, std::vector<NifRef>& children) {
    const auto& object = block_as<NiAVObject>(ref, "scene graph node");
    if (on_path[static_cast<std::size_t>(ref)])
        throw GltfError("cycle in the node tree at block " + std::to_string(ref));
    if (doc_.nodes.size() >= kMaxNodes) throw GltfError("scene graph has more than 65536 nodes");
    const auto block = static_cast<std::uint32_t>(ref);
    JsonValue node = JsonValue::object();
    node.set("name", object.name);
    const NifVec3& t = object.translation;
    if (t.x != 0 || t.y != 0 || t.z != 0) {
        const Vec3d p = point({t.x, t.y, t.z});
        node.set("translation", JsonValue::array_of(std::vector<double>{p.x, p.y, p.z}));
    }
    const Quatd q = rotation(matrix_to_quat(object.rotation));
    if (std::max({std::fabs(q.x), std::fabs(q.y), std::fabs(q.z)}) > 1e-7) {
        node.set("rotation", JsonValue::array_of(std::vector<double>{q.x, q.y, q.z, q.w}));
    }
    if (!(std::fabs(object.scale - 1.0) <= 1e-7)) {
        node.set("scale", JsonValue::array_of(std::vector<double>(3, object.scale)));
    }
    doc_.nodes.push_back(std::move(node));
    const std::size_t index = doc_.nodes.size() - 1;
    node_of_block_.emplace(block, index);
    block_of_joint_.push_back(block);
    if (object.type_name == "NiTriShape" || object.type_name == "NiTriStrips") {
        if (std::find(geometry_blocks_.begin(), geometry_blocks_.end(), block) == geometry_blocks_.end()) {
            geometry_blocks_.push_back(block);
        }
    }

    if (const auto* as_node = dynamic_cast<const NiNode*>(&object)) {
        std::copy_if(as_node->children.begin(), as_node->children.end(), std::back_inserter(children),
                     [](NifRef child) { return child >= 0; });
    }
    if (object.type_name == "NiLODNode") {
        const auto& lod = dynamic_cast<const NiLODNode&>(object);
        const auto& data = block_as<NiRangeLODData>(lod.lod_data, "lod data");
        if (!children.empty()) stats_.hidden_lods += children.size() - 1;
        JsonValue ranges = JsonValue::array();
        for (const NifLodRange& range : data.ranges) {
            ranges.push(JsonValue::array_of(std::vector<double>{range.near_distance, range.far_distance}));
        }
        JsonValue extras = JsonValue::object();
        extras.set("lod_ranges", std::move(ranges));
        doc_.nodes[index].set("extras", std::move(extras));
    }
    return index;
}

}  // namespace tarkeep::data
