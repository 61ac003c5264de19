// Shared by the glTF tests: models built with the NIF writer, accessor reading, and the validator.
#pragma once
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "data/gltf/gltf_convert.h"
#include "data/nif/nif_writer.h"
#include "image/png.h"
#include "platform/file_bytes.h"
#include "platform/shell.h"
#include "tests/data/error_text.h"
#include "tests/support/program_run.h"
#include "tests/support/temp_dir.h"

namespace tarkeep::test {

using data::JsonValue;
using data::NifFile;
using Doubles = std::vector<double>;
using data::make_nif_file;
using data::nif_block;
using data::to_json;

inline std::vector<std::uint8_t> tiny_png() {
    const std::vector<std::uint8_t> pixels{200, 10, 10, 255, 10, 200, 10, 255, 10, 10, 200, 255, 9, 9, 9, 255};
    return image::encode_png(2, 2, pixels.data(), true);
}

// Y-up at scale 1; every texture exists and is tiny_png, in player colour when named "*_pc".
inline data::GltfConvertOptions test_options() {
    data::GltfConvertOptions options;
    options.texture_exists = [](const std::string&) { return true; };
    options.texture_provider = [](const std::string& name, char) {
        return std::make_shared<const data::GltfImage>(data::GltfImage{tiny_png(), false, name.ends_with("_pc")});
    };
    return options;
}

// Written and read back, so that every model the tests convert is one the reader accepts.
inline NifFile round_trip(NifFile& file) {
    file.roots = {0};
    return data::read_nif(write_nif(file));
}

// Root (at 1, 2, 3) > LOD node (three ranges) > three quads with material, alpha and textures.
inline NifFile scene_model() {
    NifFile file = make_nif_file();
    add_nif_node(file, "Root", {1, 2, 3});
    data::NiMaterialProperty colours;  // unlit: the larger of ambient and diffuse
    std::tie(colours.ambient, colours.diffuse, colours.alpha) =
        std::tuple(data::NifColor3{1, 0, 0}, data::NifColor3{0, 1, 0}, 0.5f);
    const auto unlit = add_nif_block(file, "NiMaterialProperty", colours);
    colours.emissive = {0, 0, 0.1f};
    const auto lit = add_nif_block(file, "NiMaterialProperty", colours);
    data::NiAlphaProperty alpha;
    std::tie(alpha.flags, alpha.threshold) = std::tuple(0x200, 128);
    const auto masked = add_nif_block(file, "NiAlphaProperty", alpha);
    alpha.flags = 0x201;
    const auto blended = add_nif_block(file, "NiAlphaProperty", alpha);
    data::NiLODNode lod;
    data::NiRangeLODData ranges;
    ranges.ranges = {{0, 10}, {10, 50}, {50, 1000}};
    std::tie(lod.name, lod.lod_data) = std::tuple("Levels", add_nif_block(file, "NiRangeLODData", ranges));
    lod.children = {add_nif_quad(file, {"Near", {unlit, masked, add_nif_texturing(file, "knight_pc")}}),
                    add_nif_quad(file, {"Middle", {blended, add_nif_texturing(file, "knight")}}),
                    add_nif_quad(file, {"Far", {lit}})};
    add_nif_child(file, 0, add_nif_block(file, "NiLODNode", lod));
    return round_trip(file);
}

// Root > Bip01 (z 1) > Bip01 Spine (z 2), and a skinned quad with bones {root, hip, spine,
// root, hip}: vertex 0 has five influences, vertex 1 two equal ones, vertex 2 weights that
// sum to zero, vertex 3 none.
inline NifFile skinned_model(std::size_t extra_nodes = 0) {
    NifFile file = make_nif_file();
    const auto root = add_nif_node(file, "Root"), hip = add_nif_node(file, "Bip01", {0, 0, 1}, root);
    const auto spine = add_nif_node(file, "Bip01 Spine", {0, 0, 1}, hip);
    for (std::size_t i = 0; i < extra_nodes; ++i) add_nif_node(file, "Extra" + std::to_string(i), {}, root);
    const auto shape = add_nif_quad(file, {"Body", {}, root});
    data::NiSkinData skin;
    skin.has_weights = true;
    const std::vector<data::NifSkinWeight> weights[5] = {
        {{0, 0.1f}, {2, 0}}, {{0, 0.4f}, {1, 0.25f}}, {{0, 0.2f}}, {{0, 0.2f}, {1, 0.25f}}, {{0, 0.3f}}};
    for (const float z : {0.0f, -1.0f, -2.0f, 0.0f, -1.0f}) {  // the inverse of the bone's rest place
        auto& bone = skin.bones.emplace_back();
        std::tie(bone.weights, bone.transform.translation) =
            std::tuple(weights[skin.bones.size() - 1], data::NifVec3{0, 0, z});
        bone.num_weights = static_cast<std::uint16_t>(bone.weights.size());
    }
    data::NiSkinInstance instance;
    std::tie(instance.data, instance.skeleton_root) = std::tuple(add_nif_block(file, "NiSkinData", skin), root);
    instance.bones = {root, hip, spine, root, hip};
    nif_block<data::NiGeometry>(file, shape).skin_instance = add_nif_block(file, "NiSkinInstance", instance);
    return round_trip(file);
}

// A keyframe file as written: one sequence with keyframes on `target`, optionally visibility keys
// and property controllers, and the given roots.
struct Kf {
    std::string path;
    std::vector<std::uint8_t> bytes;
};
inline Kf keys_on(const std::string& name, const data::NiKeyframeData& keys, const std::string& target = "Bip01",
                  const data::NiVisData* visibility = nullptr, const std::vector<std::string>& properties = {},
                  std::vector<std::uint32_t> roots = {0}) {
    NifFile file = data::make_nif_sequence(name);
    add_nif_controller(file, "NiKeyframeController", target, "NiKeyframeData", keys);
    if (visibility) add_nif_controller(file, "NiVisController", target, "NiVisData", *visibility);
    for (const auto& property : properties)
        add_nif_controller(file, "NiAlphaController", property, "NiFloatData", data::NiFloatData{});
    file.roots = std::move(roots);
    return {name + ".kf", write_nif(file)};
}

// A turn of 0.7 radians about z and a step of `distance` along y (none when 0), over one second.
inline data::NiKeyframeData walk_keys(float distance) {
    data::NiKeyframeData data;
    std::tie(data.num_rotation_keys, data.rotation_type) = std::tuple(2, 1);
    data.rotations = {{0, {1, 0, 0, 0}, {}}, {1, {std::cos(0.35f), 0, 0, std::sin(0.35f)}, {}}};
    data.translations.interpolation = 1;
    if (distance != 0) data.translations.keys = {{0, {0, 0, 0}, {}, {}, {}}, {1, {0, distance, 0}, {}, {}, {}}};
    return data;
}

inline data::GltfConvertResult convert(const NifFile& model, const std::vector<Kf>& kfs = {},
                                       const data::GltfConvertOptions& options = test_options()) {
    std::vector<data::GltfKeyframeFile> files;
    for (const Kf& kf : kfs) files.push_back({kf.path, data::read_nif(kf.bytes)});
    return data::convert_model(model, files, options);
}

inline const JsonValue& member(const JsonValue& value, const std::string& key) {
    if (const JsonValue* found = value.find(key)) return *found;
    throw std::runtime_error("no member " + key);
}

// The values of an accessor, read back from the binary buffer (little-endian hosts).
inline Doubles accessor_values(const data::GltfDocument& doc, const JsonValue& index) {
    const JsonValue& accessor = doc.accessors.at(std::size_t(index.as_int()));
    const JsonValue& view = doc.buffer_views.at(std::size_t(member(accessor, "bufferView").as_int()));
    const auto type = member(accessor, "componentType").as_int(), at = member(view, "byteOffset").as_int();
    const std::int64_t width = type == 5121 ? 1 : type == 5123 ? 2 : 4;
    Doubles out;
    for (std::int64_t i = at; i < at + member(view, "byteLength").as_int(); i += width) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &doc.bin.at(std::size_t(i)), std::size_t(width));
        out.push_back(type == 5126 ? double(std::bit_cast<float>(bits)) : double(bits));
    }
    return out;
}

inline const JsonValue& attributes(const data::GltfDocument& doc, std::size_t mesh) {
    return member(member(doc.meshes.at(mesh), "primitives").items().at(0), "attributes");
}

inline Doubles attribute(const data::GltfDocument& doc, std::size_t mesh, const std::string& name) {
    return accessor_values(doc, member(attributes(doc, mesh), name));
}

// Input or output values of sampler `index` of animation `animation`.
inline Doubles samples(const data::GltfDocument& doc, std::size_t animation, std::size_t index,
                       const char* side = "output") {
    return accessor_values(doc, member(member(doc.animations.at(animation), "samplers").items().at(index), side));
}

// The two lists one after the other.
inline Doubles operator+(Doubles a, const Doubles& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline void expect_near(const Doubles& actual, const Doubles& expected, double tolerance = 1e-6) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) EXPECT_NEAR(actual[i], expected[i], tolerance) << i;
}

// Every file passes the Khronos glTF validator (npm package gltf-validator, which .ci/deps
// installs under build/gltf-validator); skips when node or the package is missing.
inline void expect_valid(const std::map<std::string, std::vector<std::uint8_t>>& glbs) {
    const auto modules = std::filesystem::path(TARKEEP_SOURCE_DIR) / "build" / "gltf-validator";
    if (!platform::has_posix_shell() || !std::filesystem::exists("/usr/bin/node") ||
        !std::filesystem::exists(modules / "node_modules" / "gltf-validator"))
        GTEST_SKIP() << "node or the gltf-validator package is missing (.ci/deps installs them)";
    TempDir dir;
    std::vector<std::string> arguments{std::string(TARKEEP_SOURCE_DIR) + "/tests/data/gltf/validate_glb.js",
                                       modules.string()};
    for (const auto& [name, glb] : glbs)
        platform::write_file(arguments.emplace_back((dir / (name + ".glb")).string()), glb);
    const ProgramResult report = run_program("/usr/bin/node", arguments);
    EXPECT_EQ(report.exit_code, 0) << report.out << report.err;
}

}  // namespace tarkeep::test
