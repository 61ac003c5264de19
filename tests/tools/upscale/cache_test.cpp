// Cache keys and both manifests: source hashes, settings strings, round trips, up-to-date checks, scales.
#include <gtest/gtest.h>

#include "tests/tools/upscale/test_files.h"
#include "tools/upscale/cache_keys.h"
#include "tools/upscale/model_catalogue.h"
#include "tools/upscale/model_manifest.h"
#include "tools/upscale/terrain_manifest.h"

namespace tarkeep::upscale {
namespace {

using test::read_text;
using test::touch;
using Bytes = std::vector<std::uint8_t>;

TEST(CacheKeys, HashIsSixteenHexDigitsOfFnv1aAndSettingsNameEverySetting) {
    EXPECT_EQ(source_hash({}), "cbf29ce484222325");
    const Bytes foobar = {'f', 'o', 'o', 'b', 'a', 'r'};
    EXPECT_EQ(source_hash(foobar), "85944171f73967e8");
    Fnv1a64 pieces;
    pieces.update(std::span(foobar).first(2));
    pieces.update(std::span(foobar).subspan(2));
    EXPECT_EQ(hash_hex(pieces.value()), "85944171f73967e8");
    // A model texture's hash covers the texture, the mask's length and the mask.
    EXPECT_EQ(model_source_hash(Bytes{'a', 'b'}, Bytes{'x', 'y', 'z'}),
              source_hash(Bytes{'a', 'b', 3, 0, 0, 0, 0, 0, 0, 0, 'x', 'y', 'z'}));
    EXPECT_EQ(terrain_settings_string(64, 3, 0.125, false, 10, false, ""), "m64-bp3x13-db0");  // 12.5 rounds up
    EXPECT_EQ(terrain_settings_string(32, 0, 1.0, true, 12, true, "-ot256"), "m32-bp0x100-db12-tta-ot256");
    EXPECT_EQ(round_half_away(-2.5), -3);
}

TEST(TerrainManifest, RoundTripsInStemOrderLoadsDamagedFilesLenientlyAndDecidesWhatIsUpToDate) {
    test::TempDir dir;
    const auto path = dir / "manifest.txt";
    EXPECT_TRUE(load_terrain_manifest(path).empty());
    TerrainManifest m;
    m["zeta"] = {"0123456789abcdef", "realesrgan-x4plus", "m64-bp3x50-db0", 1024, 512};
    m["alpha"] = {"fedcba9876543210", "onnx:esrgan", "m64-bp3x50-db0-ot512", 256, 256};
    save_terrain_manifest(path, m);
    EXPECT_EQ(read_text(path),
              "tarkeep-terrain-hd 1\nalpha fedcba9876543210 onnx:esrgan m64-bp3x50-db0-ot512 256 256\n"
              "zeta 0123456789abcdef realesrgan-x4plus m64-bp3x50-db0 1024 512\n");
    EXPECT_EQ(load_terrain_manifest(path), m);
    EXPECT_FALSE(std::filesystem::exists(dir / "manifest.txt.tmp"));
    for (const char* header : {"tarkeep-terrain-hd 2\n", "tarkeep-terrain-hd 1 \n", "tarkeep-model-hd 1\n"}) {
        touch(path, std::string(header) + "a h m s 1 2\n");
        EXPECT_TRUE(load_terrain_manifest(path).empty()) << header;
    }
    touch(path, "tarkeep-terrain-hd 1\r\na h m s 1 2\r\nb h m s 3\nc h m s x 4\na h2 m s 5 6\n");
    const TerrainManifest loaded = load_terrain_manifest(path);
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded.at("a"), (TerrainManifestEntry{"h2", "m", "s", 5, 6}));

    touch(dir / "a.png");
    EXPECT_TRUE(is_up_to_date(loaded, "a", "h2", "m", "s", false, dir.path()));
    EXPECT_FALSE(is_up_to_date(loaded, "a", "h2", "m", "s", true, dir.path()));  // forced
    for (const auto& k : std::vector<std::vector<const char*>>{
             {"a", "h", "m", "s"}, {"a", "h2", "m2", "s"}, {"a", "h2", "m", "s2"}, {"b", "h2", "m", "s"}})
        EXPECT_FALSE(is_up_to_date(loaded, k[0], k[1], k[2], k[3], false, dir.path())) << k[0] << k[1] << k[2] << k[3];
    std::filesystem::remove(dir / "a.png");
    EXPECT_FALSE(is_up_to_date(loaded, "a", "h2", "m", "s", false, dir.path()));
}

TEST(ModelManifest, RoundTripHeaderForeignCachesAndScales) {
    test::TempDir dir;
    const auto path = dir / "manifest.txt";
    ModelManifest manifest;
    manifest["b"] = {"00000000000000ff", "m", "s", 256, 128, 4};
    manifest["a"] = {"1111111111111111", "onnx:x", "ui-sheet", 64, 64, 2};
    write_model_manifest(path, manifest);
    EXPECT_EQ(read_text(path),
              "tarkeep-model-hd 1\na 1111111111111111 onnx:x ui-sheet 64 64 2\n"
              "b 00000000000000ff m s 256 128 4\n");
    EXPECT_EQ(read_model_manifest(path), manifest);
    EXPECT_TRUE(is_ui_record(manifest["a"]) && !is_ui_record(manifest["b"]));
    touch(path, "tarkeep-model-hd 2\na h m s 1 1 1\n");
    EXPECT_TRUE(read_model_manifest(path).empty());
    touch(path, "tarkeep-model-hd 1\r\na h m s 1 1 1\r\nshort h m s 1 1\n");
    EXPECT_EQ(read_model_manifest(path).size(), 1u);
    EXPECT_EQ(foreign_manifest_problem(dir.path()), "");
    touch(path, "tarkeep-terrain-hd 7\n");
    EXPECT_NE(foreign_manifest_problem(dir.path()), "");

    const std::uint32_t cases[][6] = {
        // width, height, min, max, factor, scale
        {256, 128, 64, 1024, 4, 4}, {512, 512, 64, 1024, 4, 2}, {1024, 64, 64, 1024, 4, 0}, {63, 256, 64, 1024, 4, 0},
        {256, 256, 64, 1024, 3, 2}, {256, 256, 64, 1024, 8, 4}, {64, 64, 64, 1024, 8, 8},   {600, 64, 64, 1024, 3, 0},
        {0, 64, 0, 1024, 4, 0},     {64, 64, 64, 256, 4, 4},    {65, 65, 64, 256, 4, 2},    {64, 64, 64, 1024, 16, 16}};
    for (const auto& c : cases)
        EXPECT_EQ(choose_scale(c[0], c[1], c[2], c[3], c[4]), c[5]) << c[0] << "x" << c[1] << " f" << c[4];
}

}  // namespace
}  // namespace tarkeep::upscale
