#include "tools/upscale/terrain_manifest.h"

#include <gtest/gtest.h>

#include "tests/tools/upscale/test_files.h"

namespace tarkeep::upscale {
namespace {

using namespace test;

TEST(TerrainManifest, SavesSortedAndEscapedThroughATemporaryAndLoadsBack) {
    TempDir dir;
    const auto path = dir / "manifest.txt";
    TerrainManifest m;
    m["zeta t"] = {"0123456789abcdef", "realesrgan-x4plus", "m64 db0", 1024, 512};  // blanks escaped
    m["alpha"] = {"fedcba9876543210", "onnx:esrgan", "m64-bp3x50-db0-ot512", 256, 256};
    save_terrain_manifest(path, m);
    EXPECT_EQ(read_text(path),
              "tarkeep-terrain-hd 1\nalpha fedcba9876543210 onnx:esrgan m64-bp3x50-db0-ot512 256 256\n"
              "zeta%20t 0123456789abcdef realesrgan-x4plus m64%20db0 1024 512\n");
    EXPECT_EQ(load_terrain_manifest(path), m);
    EXPECT_FALSE(std::filesystem::exists(dir / "manifest.txt.tmp"));
}

// A damaged cache costs a redo, never a failed run.
TEST(TerrainManifest, LoadsDamagedFilesLeniently) {
    TempDir dir;
    const auto path = dir / "manifest.txt";
    for (const char* header : {"tarkeep-terrain-hd 2\n", "tarkeep-terrain-hd 1 \n", "tarkeep-model-hd 1\n"}) {
        touch(path, std::string(header) + "a h m s 1 2\n");
        EXPECT_TRUE(load_terrain_manifest(path).empty()) << header;
    }
    touch(path, "tarkeep-terrain-hd 1\r\na h m s 1 2\r\nb h m s 3\nc h m s x 4\na h2 m s 5 6\n");
    const TerrainManifest loaded = load_terrain_manifest(path);
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded.at("a"), (TerrainManifestEntry{"h2", "m", "s", 5, 6}));
}

// Changed settings, models, --force and missing files are redone in the terrain runs; a changed source here.
TEST(TerrainManifest, AChangedSourceOrUnknownStemIsNotUpToDate) {
    TempDir dir;
    touch(dir / "a.png");
    const TerrainManifest manifest{{"a", {"h2", "m", "s", 5, 6}}};
    EXPECT_TRUE(is_up_to_date(manifest, "a", "h2", "m", "s", false, dir.path()));
    EXPECT_FALSE(is_up_to_date(manifest, "a", "h", "m", "s", false, dir.path()) ||
                 is_up_to_date(manifest, "b", "h2", "m", "s", false, dir.path()));
}

}  // namespace
}  // namespace tarkeep::upscale
