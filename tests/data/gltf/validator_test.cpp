// Every kind of file the conversion makes passes the Khronos glTF validator.
#include "tests/data/gltf/gltf_test_util.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_writer.h"

namespace tarkeep::test {
namespace {

TEST(GltfValidator, ConvertedModelsHaveNoErrors) {
    auto options = test_options();
    options.scale = 0.27;  // the command's factor: bounds must still match the stored floats
    options.scale_channels = true;
    auto pbr = options;
    pbr.companions = [](const std::string&, std::uint32_t, std::uint32_t) {
        return std::make_shared<const data::GltfPbrImages>(data::GltfPbrImages{tiny_png(), tiny_png(), 1});
    };
    data::NiKeyframeData xyz;
    xyz.num_rotation_keys = 1;
    xyz.rotation_type = data::kRotationXyz;
    xyz.xyz_rotations[1].keys = {{0, 0, 0, 0, {}}, {2, 6, 0, 0, {}}};
    SequenceContent walk = keys_on(walk_keys(1));
    walk.visibility = data::NiVisData{};
    walk.visibility->keys = {{0, 1}, {0.5f, 0}};
    walk.property_targets = {"Body\nPROP\nNiMaterialProperty"};
    std::vector<data::GltfKeyframeFile> kfs;
    kfs.push_back({"walk.kf", sequence_file("Walk", walk)});
    kfs.push_back({"turn.kf", sequence_file("Turn", keys_on(xyz, "Bip01 Spine"))});
    NifFile rigid = make_nif_file();
    add_node(rigid, "Root");
    add_child(rigid, 0, add_node(rigid, "Bip01", {0, 0, 1}));
    add_child(rigid, 1, add_quad(rigid, "Shield", {add_texturing(rigid, "shield")}));
    dynamic_cast<data::NiTriShapeData&>(*rigid.blocks[4]).vertices[1] = {0.1f, 0.3f, 0.7f};
    add_child(rigid, 0, add_quad(rigid, "Shield"));
    rigid.roots = {0};

    TempDir dir;
    std::vector<std::filesystem::path> files;
    const auto write = [&](const std::string& name, data::GltfConvertResult result) {
        files.push_back(dir / (name + ".glb"));
        write_file(files.back(), data::write_glb(result.doc));
    };
    write("scene", data::convert_model(scene_model(), {}, options));
    write("scene_pbr", data::convert_model(scene_model(), {}, pbr));
    write("skinned_256", data::convert_model(skinned_model(252), {}, options));
    write("skinned_animated", data::convert_model(skinned_model(), kfs, options));
    write("rigid_bound", data::convert_model(round_trip(rigid), kfs, options));
    const auto report = run_gltf_validator(files);
    if (!report) GTEST_SKIP() << "node or the gltf-validator package is missing (.ci/deps installs them)";
    EXPECT_EQ(report->exit_code, 0) << report->out << report->err;
    std::printf("%s", report->out.c_str());
}

}  // namespace
}  // namespace tarkeep::test
