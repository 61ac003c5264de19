// Terrain sources that are not DXT: uncompressed ones are upscaled, unreadable ones fail alone.
#include <gtest/gtest.h>

#include "data/texture/dxt.h"
#include "image/png_files.h"
#include "tests/tools/upscale/terrain_game.h"
#include "tests/tools/upscale/test_files.h"

namespace tarkeep::upscale {
namespace {

using namespace test;

TEST(TerrainSources, AnUncompressedTextureIsUpscaledAndAnUnreadableOneFailsAlone) {
    TempDir dir;
    write_terrain_game(dir / "game", 5, 16);
    const std::vector<std::uint8_t> pixels(16 * 16 * 4, 120);
    const auto rgba = data::write_texcache(
        {data::format_rgba, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, 0, -1, 4, {{16, 16, 0}}, 1024, pixels});
    ZipFiles patch;
    patch.add("t1.texcache", std::string(rgba.begin(), rgba.end()));
    patch.add("t2.texcache", "not a texture");
    GameFolderWriter(dir / "game").add_zip("zz_patch.zip", patch);

    const auto run = run_upscale({(dir / "game").string(), (dir / "cache").string(), "--exe", ref_upscaler(), "--model",
                                  "nearest", "--margin", "4"});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err.rfind("t2: ", 0), 0u) << run.err;
    EXPECT_EQ(lines_starting(run.err, "t2: "), 1u) << run.err;
    EXPECT_TRUE(contains(run.out, "5 terrain textures, 4 to upscale"));
    EXPECT_TRUE(contains(run.out, "done: 4 upscaled, 1 failed, cache 4 entries"));
    const image::RgbaImage t1 = image::read_png_file(dir / "cache" / "t1.png");
    EXPECT_EQ(t1.width, 64u);
    EXPECT_EQ(t1.pixels[3], 255);  // made opaque
}

}  // namespace
}  // namespace tarkeep::upscale
