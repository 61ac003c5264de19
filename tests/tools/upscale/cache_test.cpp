// Cache keys and the terrain manifest: source hashes, settings strings, round trips, up-to-date checks.
#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"
#include "tests/tools/upscale/test_files.h"
#include "tools/upscale/cache_keys.h"
#include "tools/upscale/terrain_manifest.h"

namespace tarkeep::upscale {
namespace {

using test::read_text;
using test::touch;

TEST(SourceHash, IsSixteenHexDigitsOfFnv1a) {
    EXPECT_EQ(source_hash({}), "cbf29ce484222325");
    const std::vector<std::uint8_t> a = {'a'};
    EXPECT_EQ(source_hash(a), "af63dc4c8601ec8c");
    const std::vector<std::uint8_t> foobar = {'f', 'o', 'o', 'b', 'a', 'r'};
    EXPECT_EQ(source_hash(foobar), "85944171f73967e8");
    Fnv1a64 pieces;
    pieces.update(std::span(foobar).first(2));
    pieces.update(std::span(foobar).subspan(2));
    EXPECT_EQ(hash_hex(pieces.value()), "85944171f73967e8");
}

TEST(SettingsString, NamesEverySetting) {
    EXPECT_EQ(terrain_settings_string(64, 3, 0.5, false, 10, false, ""), "m64-bp3x50-db0");
    EXPECT_EQ(terrain_settings_string(64, 3, 0.51, false, 10, false, ""), "m64-bp3x51-db0");
    EXPECT_EQ(terrain_settings_string(64, 3, 0.504, false, 10, false, ""), "m64-bp3x50-db0");
    EXPECT_EQ(terrain_settings_string(64, 3, 0.125, false, 10, false, ""), "m64-bp3x13-db0");  // 12.5 rounds up
    EXPECT_EQ(terrain_settings_string(32, 0, 1.0, true, 12, true, "-ot256"), "m32-bp0x100-db12-tta-ot256");
    EXPECT_EQ(round_half_away(-2.5), -3);
}

TEST(TerrainManifest, RoundTripsInStemOrder) {
    test::TempDir dir;
    TerrainManifest m;
    m["zeta"] = {"0123456789abcdef", "realesrgan-x4plus", "m64-bp3x50-db0", 1024, 512};
    m["alpha"] = {"fedcba9876543210", "onnx:esrgan", "m64-bp3x50-db0-ot512", 256, 256};
    save_terrain_manifest(dir / "manifest.txt", m);
    EXPECT_EQ(read_text(dir / "manifest.txt"),
              "tarkeep-terrain-hd 1\n"
              "alpha fedcba9876543210 onnx:esrgan m64-bp3x50-db0-ot512 256 256\n"
              "zeta 0123456789abcdef realesrgan-x4plus m64-bp3x50-db0 1024 512\n");
    EXPECT_EQ(load_terrain_manifest(dir / "manifest.txt"), m);
    EXPECT_FALSE(std::filesystem::exists(dir / "manifest.txt.tmp"));
}

TEST(TerrainManifest, ForeignOrDamagedFilesLoadLeniently) {
    test::TempDir dir;
    const auto path = dir / "manifest.txt";
    EXPECT_TRUE(load_terrain_manifest(path).empty());
    for (const char* header : {"tarkeep-terrain-hd 2\n", "tarkeep-terrain-hd 1 \n", "tarkeep-model-hd 1\n"}) {
        touch(path, std::string(header) + "a h m s 1 2\n");
        EXPECT_TRUE(load_terrain_manifest(path).empty()) << header;
    }
    touch(path, "tarkeep-terrain-hd 1\r\na h m s 1 2\r\nb h m s 3\nc h m s x 4\na h2 m s 5 6\n");
    const TerrainManifest m = load_terrain_manifest(path);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m.at("a"), (TerrainManifestEntry{"h2", "m", "s", 5, 6}));
}

TEST(TerrainManifest, UpToDateNeedsSameKeysAndTheFile) {
    test::TempDir dir;
    TerrainManifest m;
    m["grass"] = {"h", "model", "set", 4, 4};
    touch(dir / "grass.png", "x");
    EXPECT_TRUE(is_up_to_date(m, "grass", "h", "model", "set", false, dir.path()));
    EXPECT_FALSE(is_up_to_date(m, "grass", "h", "model", "set", true, dir.path()));  // forced
    const std::vector<std::vector<const char*>> changed = {{"grass", "h2", "model", "set"},
                                                           {"grass", "h", "model2", "set"},
                                                           {"grass", "h", "model", "set2"},
                                                           {"sand", "h", "model", "set"}};
    for (const auto& k : changed)
        EXPECT_FALSE(is_up_to_date(m, k[0], k[1], k[2], k[3], false, dir.path())) << k[0] << k[1] << k[2] << k[3];
    std::filesystem::remove(dir / "grass.png");
    EXPECT_FALSE(is_up_to_date(m, "grass", "h", "model", "set", false, dir.path()));
}

}  // namespace
}  // namespace tarkeep::upscale
