// Model texture factors, the model manifest and its source hash.
#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"
#include "tests/tools/upscale/test_files.h"
#include "tools/upscale/cache_keys.h"
#include "tools/upscale/model_catalogue.h"
#include "tools/upscale/model_manifest.h"

namespace tarkeep::upscale {
namespace {

TEST(ModelCache, ChooseScale) {
    struct Case {
        std::uint32_t w, h, min, max, factor, expected;
    } cases[] = {
        {256, 128, 64, 1024, 4, 4}, {512, 512, 64, 1024, 4, 2}, {1024, 64, 64, 1024, 4, 0}, {63, 256, 64, 1024, 4, 0},
        {256, 256, 64, 1024, 3, 2}, {256, 256, 64, 1024, 8, 4}, {64, 64, 64, 1024, 8, 8},   {600, 64, 64, 1024, 3, 0},
        {0, 64, 0, 1024, 4, 0},     {64, 64, 64, 256, 4, 4},    {65, 65, 64, 256, 4, 2},    {64, 64, 64, 1024, 16, 16},
    };
    for (const Case& c : cases)
        EXPECT_EQ(choose_scale(c.w, c.h, c.min, c.max, c.factor), c.expected) << c.w << "x" << c.h << " f" << c.factor;
}

TEST(ModelCache, ManifestRoundTripAndHeader) {
    test::TempDir dir;
    const auto path = dir.path() / "manifest.txt";
    ModelManifest manifest;
    manifest["b"] = {"00000000000000ff", "m", "s", 256, 128, 4};
    manifest["a"] = {"1111111111111111", "onnx:x", "ui-sheet", 64, 64, 2};
    write_model_manifest(path, manifest);
    EXPECT_EQ(test::read_text(path),
              "tarkeep-model-hd 1\na 1111111111111111 onnx:x ui-sheet 64 64 2\n"
              "b 00000000000000ff m s 256 128 4\n");
    EXPECT_EQ(read_model_manifest(path), manifest);
    EXPECT_TRUE(is_ui_record(manifest["a"]));
    EXPECT_FALSE(is_ui_record(manifest["b"]));
    test::touch(path, "tarkeep-model-hd 2\na h m s 1 1 1\n");
    EXPECT_TRUE(read_model_manifest(path).empty());
    test::touch(path, "tarkeep-model-hd 1\r\na h m s 1 1 1\r\nshort h m s 1 1\n");
    EXPECT_EQ(read_model_manifest(path).size(), 1u);
    EXPECT_EQ(foreign_manifest_problem(dir.path()), "");
    test::touch(path, "tarkeep-terrain-hd 7\n");
    EXPECT_NE(foreign_manifest_problem(dir.path()), "");
}

TEST(ModelCache, SourceHashCoversTextureMaskLengthAndMask) {
    const std::vector<std::uint8_t> texture = {'a', 'b'}, mask = {'x', 'y', 'z'};
    const std::vector<std::uint8_t> with_mask = {'a', 'b', 3, 0, 0, 0, 0, 0, 0, 0, 'x', 'y', 'z'};
    const std::vector<std::uint8_t> without = {'a', 'b', 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(model_source_hash(texture, mask), source_hash(with_mask));
    EXPECT_EQ(model_source_hash(texture, {}), source_hash(without));
}

}  // namespace
}  // namespace tarkeep::upscale
