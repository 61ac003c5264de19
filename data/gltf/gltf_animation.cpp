// Animations of controller sequences: rotation, translation, visibility (and scale) channels.
#include <algorithm>
#include <cmath>
#include <set>

#include "data/gltf/gltf_convert.h"
#include "data/text_lines.h"

namespace tarkeep::data {
namespace {

constexpr double kSubdivision = 0.5235987755982988;  // pi / 6: the largest step between two rotation keys
constexpr std::size_t kMaxKeys = 1 << 20;            // after subdivision; more is a damaged curve

double angle_at(const NifKeyGroup<float>& group, double t) {
    const auto& keys = group.keys;
    if (keys.empty()) return 0;
    if (t <= keys.front().time) return keys.front().value;
    if (t > keys.back().time) return keys.back().value;
    for (std::size_t i = 1; i < keys.size(); ++i) {
        if (t <= keys[i].time) {
            const double t0 = keys[i - 1].time, t1 = keys[i].time;
            const double span = t1 == t0 ? 1 : t1 - t0;
            return keys[i - 1].value + (keys[i].value - keys[i - 1].value) * ((t - t0) / span);
        }
    }
    return keys.back().value;
}

// Quaternion keys (x, y, z, w) of three angle curves, subdivided so that no step turns
// more than pi / 6 about any axis, each on the hemisphere of the one before.
void xyz_keys(const NiKeyframeData& data, std::vector<double>& times, std::vector<Quatd>& keys) {
    std::vector<double> stops;
    for (const auto& group : data.xyz_rotations) {
        for (const auto& key : group.keys) stops.push_back(key.time);
    }
    std::sort(stops.begin(), stops.end());
    stops.erase(std::unique(stops.begin(), stops.end()), stops.end());
    const auto angles = [&](double t) {
        return std::array<double, 3>{angle_at(data.xyz_rotations[0], t), angle_at(data.xyz_rotations[1], t),
                                     angle_at(data.xyz_rotations[2], t)};
    };
    for (std::size_t i = 0; i < stops.size(); ++i) {
        if (i > 0) {
            const double t0 = stops[i - 1], t1 = stops[i];
            const auto a0 = angles(t0), a1 = angles(t1);
            double d = 0;
            for (int axis = 0; axis < 3; ++axis) d = std::max(d, std::fabs(a1[axis] - a0[axis]));
            const double steps = std::ceil(d / kSubdivision);
            // A damaged curve with a huge (or NaN) turn is not worth millions of keys.
            const std::size_t n = steps > 1 ? (steps < 4096 ? static_cast<std::size_t>(steps) : 4096) : 1;
            for (std::size_t k = 1; n > 1 && k < n; ++k) times.push_back(t0 + (t1 - t0) * double(k) / double(n));
            if (times.size() > kMaxKeys)
                throw GltfError("too many XYZ rotation keys in block " + std::to_string(data.block_index));
        }
        times.push_back(stops[i]);
    }
    for (const double t : times) {
        const auto a = angles(t);
        Quatd q = xyz_to_quat(a[0], a[1], a[2]);
        if (!keys.empty()) {
            const Quatd& p = keys.back();
            if (p.x * q.x + p.y * q.y + p.z * q.z + p.w * q.w < 0) q = {-q.x, -q.y, -q.z, -q.w};
        }
        keys.push_back(q);
    }
}

}  // namespace

std::optional<std::size_t> GltfConverter::node_by_name(const std::string& name) {
    if (node_by_name_.empty()) {
        for (std::size_t i = 0; i < block_of_joint_.size(); ++i) {
            const std::string& node_name = doc_.nodes[i].find("name")->as_string();
            node_by_name_.emplace(node_name, i);
            node_by_lower_name_.emplace(ascii_lower(node_name), i);
        }
    }
    if (const auto exact = node_by_name_.find(name); exact != node_by_name_.end()) return exact->second;
    if (const auto folded = node_by_lower_name_.find(ascii_lower(name)); folded != node_by_lower_name_.end()) {
        return folded->second;
    }
    return std::nullopt;
}

void GltfConverter::add_channel(JsonValue& animation, std::size_t node, const char* path, std::vector<double> times,
                                std::vector<double> values, std::size_t components, const char* type,
                                const char* interpolation) {
    const std::string& name = animation.find("name")->as_string();
    // Times must increase strictly; keys that step back or repeat a time are dropped.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < times.size(); ++i) {
        if (kept > 0 && !(times[i] > times[kept - 1])) continue;
        times[kept] = times[i];
        std::copy_n(values.begin() + std::ptrdiff_t(i * components), components,
                    values.begin() + std::ptrdiff_t(kept * components));
        ++kept;
    }
    if (kept == 0) return;
    if (kept < times.size()) {
        stats_.warnings.push_back("animation " + name + ": " + std::to_string(times.size() - kept) +
                                  " keys out of time order dropped");
    }
    times.resize(kept);
    values.resize(kept * components);
    JsonValue& channels = *animation.find("channels");
    for (const JsonValue& channel : channels.items()) {
        const JsonValue& target = *channel.find("target");
        if (std::size_t(target.find("node")->as_int()) == node && target.find("path")->as_string() == path) {
            stats_.warnings.push_back("animation " + name + ": a second " + path + " channel of node " +
                                      doc_.nodes[node].find("name")->as_string() + " left out");
            return;
        }
    }
    const std::string what = "animation " + name + " " + path + " keys";
    JsonValue sampler = JsonValue::object();
    sampler.set("input", add_float_accessor(doc_, times, 1, "SCALAR", kTargetNone, true, what));
    sampler.set("output", add_float_accessor(doc_, values, components, type, kTargetNone, false, what));
    sampler.set("interpolation", interpolation);
    JsonValue& samplers = *animation.find("samplers");
    samplers.push(std::move(sampler));
    JsonValue target = JsonValue::object();
    target.set("node", node);
    target.set("path", path);
    JsonValue channel = JsonValue::object();
    channel.set("sampler", samplers.size() - 1);
    channel.set("target", std::move(target));
    channels.push(std::move(channel));
}

void GltfConverter::convert_sequence(const GltfKeyframeFile& keyframes) {
    const NifFile& file = keyframes.file;
    if (file.roots.empty()) throw GltfError("kf without root: " + keyframes.path);
    const auto& sequence =
        nif_block<NiControllerSequence>(file, static_cast<NifRef>(file.roots[0]), "controller sequence");
    JsonValue animation = JsonValue::object();
    animation.set("name", sequence.name);
    animation.set("channels", JsonValue::array());
    animation.set("samplers", JsonValue::array());
    JsonValue not_in_core = JsonValue::array();
    for (const NifControlledBlock& entry : sequence.blocks) {
        if (entry.target_name.find("\nPROP\n") != std::string::npos) {
            std::string shown;
            for (const char c : entry.target_name) shown += c == '\n' ? std::string(" | ") : std::string(1, c);
            not_in_core.push(shown);
            continue;
        }
        const auto node = node_by_name(entry.target_name);
        if (!node) continue;
        const NiObject& controller = nif_block_at(file, entry.controller, "controller");
        if (controller.type_name == "NiVisController") {
            const auto& data = nif_block<NiVisData>(
                file, nif_block<NiDataController>(file, entry.controller, "controller").data, "vis data");
            const JsonValue* own = doc_.nodes[*node].find("scale");
            const double scale = own != nullptr ? own->items()[0].as_number() : 1.0;
            std::vector<double> times, values;
            for (const NifVisKey& key : data.keys) {
                times.push_back(key.time);
                values.insert(values.end(), 3, key.visible != 0 ? scale : 0.0);
            }
            add_channel(animation, *node, "scale", times, values, 3, "VEC3", "STEP");
        } else if (controller.type_name == "NiKeyframeController") {
            const auto& data = nif_block<NiKeyframeData>(
                file, nif_block<NiDataController>(file, entry.controller, "controller").data, "keyframe data");
            std::vector<double> times, values;
            std::vector<Quatd> rotations;
            if (data.rotation_type == kRotationXyz && data.num_rotation_keys != 0) {
                if (std::all_of(data.xyz_rotations.begin(), data.xyz_rotations.end(),
                                [](const auto& group) { return group.keys.empty(); })) {
                    throw GltfError("XYZ rotation without key groups");
                }
                xyz_keys(data, times, rotations);
            } else {
                for (const NifQuatKey& key : data.rotations) {
                    times.push_back(key.time);
                    rotations.push_back({key.value.x, key.value.y, key.value.z, key.value.w});
                }
            }
            for (const Quatd& raw : rotations) {
                const double length = std::sqrt(raw.x * raw.x + raw.y * raw.y + raw.z * raw.z + raw.w * raw.w);
                // glTF wants unit rotations; a zero one stands for no rotation.
                const Quatd unit =
                    length > 1e-12 ? Quatd{raw.x / length, raw.y / length, raw.z / length, raw.w / length} : Quatd{};
                const Quatd q = rotation(unit);
                values.insert(values.end(), {q.x, q.y, q.z, q.w});
            }
            add_channel(animation, *node, "rotation", times, values, 4, "VEC4", "LINEAR");
            times.clear();
            values.clear();
            for (const auto& key : data.translations.keys) {
                times.push_back(key.time);
                const Vec3d p = point({key.value.x, key.value.y, key.value.z});
                values.insert(values.end(), {p.x, p.y, p.z});
            }
            add_channel(animation, *node, "translation", times, values, 3, "VEC3", "LINEAR");
            if (options_.scale_channels) {
                times.clear();
                values.clear();
                for (const auto& key : data.scales.keys) {
                    times.push_back(key.time);
                    values.insert(values.end(), 3, key.value);
                }
                add_channel(animation, *node, "scale", times, values, 3, "VEC3", "LINEAR");
            }
        }
    }
    JsonValue extras = JsonValue::object();
    extras.set("sequence", sequence.name);
    JsonValue text_keys = JsonValue::array();
    if (sequence.text_keys >= 0) {
        for (const NifTextKey& key : nif_block<NiTextKeyExtraData>(file, sequence.text_keys, "text keys").keys) {
            JsonValue item = JsonValue::object();
            item.set("time", key.time);
            item.set("text", key.value);
            text_keys.push(std::move(item));
        }
    }
    extras.set("text_keys", std::move(text_keys));
    extras.set("accum_root", sequence.accum_root_name);
    extras.set("not_in_gltf_core", std::move(not_in_core));
    const auto moves = moves_.find(sequence.name);
    extras.set("moves", moves != moves_.end() && moves->second);
    animation.set("extras", std::move(extras));
    // glTF requires at least one channel per animation.
    if (animation.find("channels")->size() == 0) {
        stats_.warnings.push_back("animation " + sequence.name + " (" + keyframes.path +
                                  ") has nothing glTF can animate, left out");
        return;
    }
    doc_.animations.push_back(std::move(animation));
}

}  // namespace tarkeep::data
