// The UI sheet commands end to end on the sample game, with the reference upscaler
// standing in for the outside one.
#include <gtest/gtest.h>

#include "data/game_archives.h"
#include "data/texture/texture_image.h"
#include "image/image_files.h"
#include "image/kernels.h"
#include "tests/tools/upscale/terrain_game.h"
#include "tests/tools/upscale/test_files.h"
#include "tools/upscale/model_manifest.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;
using test::contains;
using test::sample_game;

class UiPipeline : public ::testing::Test {
protected:
    test::ProgramResult run(const std::string& options, std::vector<std::string> extra = {}) {
        return test::run_upscale(
            test::words({sample_game().string(), cache_.string(), "--exe", test::ref_upscaler()}, options, extra));
    }
    test::ProgramResult build(std::vector<std::string> extra) {
        return run(
            "--ui-build --icon-model nearest --panel-model lanczos3 --alpha-model nearest --margin 4 "
            "--tile-max 128",
            extra);
    }
    image::RgbaImage source(const std::string& stem) {
        return data::texture_to_rgba(data::GameArchives(sample_game()).read(stem + ".texcache"));
    }

    test::TempDir dir_;
    fs::path cache_ = dir_ / "cache";
};

TEST_F(UiPipeline, FirstBuildStoresEveryIncludedSheetTwiceAsLargeAndTheSecondNothing) {
    const auto first = build({"--verbose"});
    ASSERT_EQ(first.exit_code, 0) << first.out << first.err;
    // The 8 x 4 sheet is below the 8 pixel limit; the hud panel's one pass is split in
    // 2 tiles of at most 128 pixels, colour and alpha.
    for (const char* part :
         {"table dbsprite_cursor_packed.csv: skipped (not drawn by the in-game HUD)\n",
          "4 UI sheets: 1 below 8 px, 0 up to date, 3 to upscale ( icon:2 panel:1 ), 42 network "
          "inputs (1 passes split into tiles), 0.0 Mpx sheets, 0.0 Mpx passes (pack sprite, icon "
          "nearest, panel lanczos3, alpha nearest, settings ui-sprite4-x4box2-bp3x50-anearest-bleed-t128)\n",
          "Real-ESRGAN lanczos3: ", "hud_panel panel lanczos3 passes 1 consistency ",
          "buttons_main icon nearest passes 3 consistency 0.00 -> 0.00 | ", "  panel: ring ",
          "done: 3 upscaled, 0 failed, cache 3 entries "})
        EXPECT_TRUE(contains(first.out, part));
    const ModelManifest manifest = read_model_manifest(cache_ / "manifest.txt");
    ASSERT_EQ(manifest.size(), 3u);
    for (const char* stem : {"buttons_main", "hud_panel", "icons_units"}) {
        const image::RgbaImage hd = image::read_png_file(cache_ / (std::string(stem) + ".png"));
        EXPECT_TRUE(hd.width == 2 * source(stem).width && hd.height == manifest.at(stem).height) << stem;
        EXPECT_EQ(manifest.at(stem).model, std::string(stem) == "hud_panel" ? "lanczos3" : "nearest");
    }
    EXPECT_TRUE(contains(build({}).out, "4 UI sheets: 1 below 8 px, 3 up to date, 0 to upscale ( ), 0 network inputs"));
    // Another pack is another setting: everything is redone, one pass per sheet.
    const auto sheet = build({"--pack", "sheet", "--verbose", "--keep-work"});
    EXPECT_TRUE(contains(sheet.out, "icons_units icon nearest passes 1 "));
    EXPECT_TRUE(fs::exists(cache_ / "_work" / "hud_panel_raw.png"));
    EXPECT_EQ(build({"--pack", "atlas"}).exit_code, 2);
}

// With pixel replication every stored sheet box-reduces to its source inside each sprite
// rectangle: the tiles, crops and pastes put every pixel back where it came from.
TEST_F(UiPipeline, NearestModelReproducesTheSourceInsideEverySprite) {
    for (const char* pack : {"sprite", "sheet"}) {
        const auto run = build({"--panel-model", "nearest", "--pack", pack, "--tile-max", "40"});
        ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
        const std::pair<const char*, std::vector<std::array<std::uint32_t, 4>>> sheets[] = {
            {"hud_panel", {{0, 0, 128, 64}}},
            {"buttons_main", {{0, 0, 96, 24}, {48, 24, 48, 24}}},
            {"icons_units", {{0, 0, 128, 128}}}};
        for (const auto& [stem, rects] : sheets) {
            const image::RgbaImage small = source(stem);
            const image::RgbaImage back =
                image::box_down(image::read_png_file(cache_ / (std::string(stem) + ".png")), 2);
            std::size_t differing = 0;
            for (const auto& r : rects) {
                for (std::uint32_t y = r[1], x = r[0]; y < r[1] + r[3]; x = x + 1 < r[0] + r[2] ? x + 1 : (++y, r[0])) {
                    const std::size_t at = (std::size_t{y} * small.width + x) * 4;
                    // Colours under alpha 0 are bled, so only alpha is compared there.
                    for (std::size_t c = small.pixels[at + 3] == 0 ? 3 : 0; c < 4; ++c)
                        differing += back.pixels[at + c] != small.pixels[at + c];
                }
            }
            EXPECT_EQ(differing, 0u) << stem << " " << pack;
        }
    }
}

TEST_F(UiPipeline, FailedUpscalerRunFailsTheSheetsThatNeedIt) {
    const fs::path models = dir_ / "models", built = test::built_file("tools/ref_upscaler/models");
    test::touch(models / "broken.param", "tarkeep-ref-model 1\nkernel cubic\n");
    test::touch(models / "broken.bin");
    for (const char* file : {"nearest.param", "nearest.bin"}) fs::copy_file(built / file, models / file);
    const auto run = build({"--models", models.string(), "--panel-model", "broken"});
    EXPECT_TRUE(run.exit_code == 1 && contains(run.err, "  (GPU out of memory? try a smaller --tile-max)\n"));
    EXPECT_TRUE(contains(run.err, "hud_panel: Real-ESRGAN broken failed\n"));
    EXPECT_TRUE(contains(run.out, "done: 2 upscaled, 1 failed, cache 2 entries "));
    EXPECT_EQ(read_model_manifest(cache_ / "manifest.txt").count("hud_panel"), 0u);
}

TEST_F(UiPipeline, ModelAndUiBuildsShareACacheFolder) {
    const std::string models =
        "--models-build --model nearest --alpha-model nearest --pc-model nearest --only "
        "unit_shield";
    ASSERT_EQ(run(models).exit_code, 0);
    ModelManifest manifest = read_model_manifest(cache_ / "manifest.txt");
    manifest["old_sheet"] = {"0123456789abcdef", "nearest", "ui-sprite4", 8, 8, 2};
    write_model_manifest(cache_ / "manifest.txt", manifest);
    test::touch(cache_ / "old_sheet.png");
    ASSERT_EQ(build({"--only", "buttons_main", "--only", "no_such_sheet"}).exit_code, 0);
    EXPECT_TRUE(fs::exists(cache_ / "old_sheet.png"));  // --only removes nothing
    const auto ui = build({});
    EXPECT_TRUE(ui.exit_code == 0 && contains(ui.out, "1 up to date, 2 to upscale")) << ui.err;
    EXPECT_EQ(read_model_manifest(cache_ / "manifest.txt").size(), 4u);  // unit_shield and three sheets
    EXPECT_FALSE(fs::exists(cache_ / "old_sheet.png"));
    EXPECT_TRUE(contains(run(models).out, "1 up to date, 0 to upscale"));

    cache_ = dir_ / "terrain";
    test::touch(cache_ / "manifest.txt", "tarkeep-terrain-hd 1\n");
    EXPECT_TRUE(contains(build({}).err, "holds a terrain manifest"));
    cache_ = dir_ / "cache";
    const auto guarded = build({"--work", sample_game().string()});
    EXPECT_TRUE(guarded.exit_code == 2 && contains(guarded.err, "refusing work folder"));
}

TEST_F(UiPipeline, ListAndOrig) {
    const auto list = test::run_upscale({sample_game().string(), "--ui-list", "--verbose"});
    ASSERT_EQ(list.exit_code, 0) << list.err;
    EXPECT_EQ(list.out,
              "table dbsprite_cursor_packed.csv: 2 sprites, 2 with texture (skipped)\n"
              "table dbsprite_hud_packed.csv: 9 sprites, 8 with texture\n"
              "table dbsprite_unitActions_packed.csv: 8 sprites, 8 with texture\n"
              "table dbsprite_unitIcons_packed.csv: 8 sprites, 8 with texture\n"
              "buttons_main 96x48 RGBA sprites 3 rects 3 (+0 contained) max rect 48 tables dbsprite_hud_packed.csv\n"
              "hud_panel 128x64 DXT5 sprites 4 rects 1 (+3 contained) max rect 128 tables dbsprite_hud_packed.csv\n"
              "hud_pip 8x4 RGBA sprites 1 rects 1 (+0 contained) max rect 8 tables dbsprite_hud_packed.csv\n"
              "icons_units 128x128 DXT5 sprites 16 rects 16 (+0 contained) max rect 32 tables "
              "dbsprite_unitActions_packed.csv,dbsprite_unitIcons_packed.csv\n"
              "4 sheets, 21 distinct rects (0.0 Mpx), sheets 0.0 Mpx; formats: DXT5:2 RGBA:2\n");

    const fs::path orig = dir_ / "orig";
    ASSERT_EQ(
        test::run_upscale({sample_game().string(), "--ui-orig", orig.string(), "--only", "buttons_main"}).exit_code, 0);
    EXPECT_EQ(image::read_png_file(orig / "buttons_main.png").pixels, source("buttons_main").pixels);
    EXPECT_EQ(image::read_png_file(orig / "buttons_main_bl.png").width, 192u);
}

}  // namespace
}  // namespace tarkeep::upscale
