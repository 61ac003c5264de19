// The whole model conversion, the keyframe pre-pass and unique node names.
#include <cmath>
#include <set>

#include "data/gltf/gltf_convert.h"

namespace tarkeep::data {
namespace {

// Translation keys of the accumulation root that stray this far from the first key mean
// the sequence carries the model along (a walk), not only poses it.
constexpr double kMoveThreshold = 1e-4;

bool is_property_target(const std::string& name) { return name.find("\nPROP\n") != std::string::npos; }

// The keyframe data of a controller, or null for a controller that animates nothing here.
const NiKeyframeData* keyframe_data(const NifFile& file, const NiObject& controller) {
    if (controller.type_name != "NiKeyframeController") return nullptr;
    const auto* data_controller = dynamic_cast<const NiDataController*>(&controller);
    if (data_controller == nullptr || data_controller->data < 0 ||
        std::size_t(data_controller->data) >= file.blocks.size()) {
        return nullptr;
    }
    return dynamic_cast<const NiKeyframeData*>(file.blocks[std::size_t(data_controller->data)].get());
}

}  // namespace

void GltfConverter::keyframe_prepass(const std::vector<GltfKeyframeFile>& keyframes) {
    // Damaged sequences are skipped here: convert_sequence reports them.
    std::set<std::uint32_t> animated;
    for (const GltfKeyframeFile& kf : keyframes) {
        const NifFile& file = kf.file;
        if (file.roots.empty() || file.roots[0] >= file.blocks.size()) continue;
        const auto* sequence = dynamic_cast<const NiControllerSequence*>(file.blocks[file.roots[0]].get());
        if (sequence == nullptr) continue;
        bool moves = false;
        for (const NifControlledBlock& entry : sequence->blocks) {
            if (is_property_target(entry.target_name) || entry.controller < 0 ||
                std::size_t(entry.controller) >= file.blocks.size()) {
                continue;
            }
            const auto node = node_by_name(entry.target_name);
            if (!node) continue;
            const NiObject& controller = *file.blocks[std::size_t(entry.controller)];
            bool animates = controller.type_name == "NiVisController";
            if (const NiKeyframeData* data = keyframe_data(file, controller)) {
                animates = !data->rotations.empty() || !data->translations.keys.empty() ||
                           (options_.scale_channels && !data->scales.keys.empty());
                for (const auto& group : data->xyz_rotations) animates = animates || !group.keys.empty();
                if (node == node_by_name(sequence->accum_root_name)) {
                    const auto& keys = data->translations.keys;
                    for (const auto& key : keys) {
                        const NifVec3& a = key.value;
                        const NifVec3& b = keys.front().value;
                        const double distance = std::fabs(a.x - b.x) + std::fabs(a.y - b.y) + std::fabs(a.z - b.z);
                        moves = moves || distance > kMoveThreshold;
                    }
                }
            }
            if (animates) animated.insert(block_of_joint_[*node]);
        }
        moves_[sequence->name] = moves_[sequence->name] || moves;
    }
    // A rigid part under an animated node is bound to its own node as a joint.
    for (const std::uint32_t block : geometry_blocks_) {
        const auto& geometry = dynamic_cast<const NiGeometry&>(*model_.blocks[block]);
        if (geometry.skin_instance >= 0) continue;
        std::size_t steps = 0;
        for (std::optional<std::uint32_t> at = block; at && steps <= model_.blocks.size(); ++steps) {
            if (animated.count(*at) != 0) {
                rigid_bind_[block] = world_of(block);
                break;
            }
            const auto parent = parent_of_.find(*at);
            at = parent == parent_of_.end() ? std::nullopt : std::optional<std::uint32_t>(parent->second);
        }
    }
}

void GltfConverter::make_node_names_unique() {
    std::set<std::string> used;
    for (std::size_t i = 0; i < doc_.nodes.size(); ++i) {
        JsonValue* name = doc_.nodes[i].find("name");
        if (name == nullptr) continue;
        const std::string& old = name->as_string();
        if (!old.empty() && used.insert(old).second) continue;
        std::string candidate = old.empty() ? "node" + std::to_string(i) : old + "~" + std::to_string(i);
        while (used.count(candidate) != 0) candidate += "_";
        used.insert(candidate);
        *name = JsonValue(candidate);
    }
}

GltfConvertResult convert_model(const NifFile& model, const std::vector<GltfKeyframeFile>& keyframes,
                                const GltfConvertOptions& options) {
    GltfConverter converter(model, options);
    if (model.roots.empty()) throw GltfError("no root");
    converter.doc().scene_nodes.push_back(
        static_cast<std::int64_t>(converter.convert_node(static_cast<NifRef>(model.roots[0]))));
    if (options.keyframe_pass && !keyframes.empty()) converter.keyframe_prepass(keyframes);
    converter.convert_skins();
    converter.convert_geometries();
    for (const GltfKeyframeFile& kf : keyframes) converter.convert_sequence(kf);
    if (options.keyframe_pass) converter.make_node_names_unique();
    return {std::move(converter.doc()), std::move(converter.stats())};
}

}  // namespace tarkeep::data
