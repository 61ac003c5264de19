// The terrain command's deringing (off unless asked) and its advice on margins larger than
// the textures.
#include <gtest/gtest.h>

#include "data/game_archives.h"
#include "data/texture/texture_image.h"
#include "image/kernels.h"
#include "image/png_files.h"
#include "tests/tools/upscale/terrain_game.h"
#include "tests/tools/upscale/test_files.h"
#include "tools/upscale/margin_advice.h"

namespace tarkeep::upscale {
namespace {

using namespace test;

TEST(MarginWarning, NamesTheTexturesMoreThanTwiceTheMarginAndSuggestsHalfTheSmallestSide) {
    const std::vector<TextureSize> textures = {
        {"a", 64, 64}, {"b", 128, 41}, {"c", 100, 100}, {"d", 64, 66}, {"e", 200, 64}};
    const std::string advice = ", so their network inputs are mostly padding: try --margin 20 or less";
    for (const auto& [margin, named] :
         {std::pair{20, ""}, {21, "1 texture (b)"}, {32, "1 texture (b)"}, {33, "4 textures (a, b, d and 1 more)"}}) {
        const std::string start =
            "warning: --margin " + std::to_string(margin) + " is more than half the smaller side of ";
        EXPECT_EQ(margin_warning(margin, textures), *named ? start + named + advice : "");
    }
}

TEST(TerrainDering, WrapsAfterBackProjectionIsNamedInTheSettingsAndTheMarginIsAdvisedOnce) {
    TempDir dir;
    const std::filesystem::path game = dir / "game", cache = dir / "cache";
    write_terrain_game(game, 5, 16);
    const auto result =
        run_upscale(words({game.string(), cache.string(), "--exe", ref_upscaler(), "--model", "lanczos3"},
                          "--margin 9 --dering 0 --keep-work"));
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_TRUE(contains(result.out, "(model lanczos3, settings m9-bp3x50-db0-dr0)\n"));
    EXPECT_EQ(lines_starting(result.err, "warning: "), 1u) << result.err;
    EXPECT_TRUE(contains(result.err,
                         "warning: --margin 9 is more than half the smaller side of 5 textures (t0, t1, "
                         "t2 and 2 more), so their network inputs are mostly padding: try --margin 8 or "
                         "less\n"));
    const auto source = data::texture_to_rgb_opaque(data::GameArchives(game).read("t3.texcache"));
    const auto projected =
        back_project(crop(image::read_png_file(cache / "_work/out/t3.png"), 36, 36, 64, 64), source, 3, 0.5, true);
    image::RgbaImage expected = projected;
    dering(expected, source, 0, true);
    for (std::size_t i = 3; i < expected.pixels.size(); i += 4) expected.pixels[i] = 255;
    EXPECT_NE(expected.pixels, projected.pixels);
    EXPECT_EQ(image::read_png_file(cache / "t3.png").pixels, expected.pixels);
}

}  // namespace
}  // namespace tarkeep::upscale
