// The model texture and UI sheet commands end to end on the sample game, with the reference
// upscaler standing in for the outside one.
#include <gtest/gtest.h>

#include "data/game_archives.h"
#include "data/texture/texcache_writer.h"
#include "data/texture/texture_image.h"
#include "image/kernels.h"
#include "image/png_files.h"
#include "io/zip_writer.h"
#include "tests/tools/upscale/terrain_game.h"
#include "tests/tools/upscale/test_files.h"
#include "tools/upscale/model_manifest.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;
using namespace test;
using test::sample_game;

class SamplePipelines : public ::testing::Test {
protected:
    ProgramResult tool(const std::vector<std::string>& arguments) { return run_upscale(arguments); }
    ProgramResult run(const std::string& options, std::vector<std::string> extra = {},
                      const fs::path& game = sample_game()) {
        return tool(words({game.string(), cache_.string(), "--exe", test::ref_upscaler()}, options, extra));
    }
    ProgramResult build(std::vector<std::string> extra, const fs::path& game = sample_game()) {
        return run("--models-build --model nearest --alpha-model nearest --pc-model lanczos3 --margin 4", extra, game);
    }
    ProgramResult ui_build(std::vector<std::string> extra) {
        return run(
            "--ui-build --icon-model nearest --panel-model lanczos3 --alpha-model nearest --margin 4 "
            "--tile-max 128",
            extra);
    }
    image::RgbaImage cached(const std::string& name) { return image::read_png_file(cache_ / (name + ".png")); }
    image::RgbaImage source(const std::string& stem) {
        return data::texture_to_rgba(data::GameArchives(sample_game()).read(stem + ".texcache"));
    }

    TempDir dir_;
    fs::path cache_ = dir_ / "cache";
    const std::string game_ = sample_game().string();
};
using ModelPipeline = SamplePipelines;
using UiPipeline = SamplePipelines;

TEST_F(ModelPipeline, BuildsEachTextureOnceAndRedoesOnlyWhatAnArchiveChanged) {
    const auto first = build({});
    ASSERT_EQ(first.exit_code, 0) << first.out << first.err;
    // Colours of 8 textures, alpha of 3, masks of 6 (one of them half the texture's size).
    const std::string settings = "(model nearest, settings pmirror4-bp3x50-anearest-pclanczos3-bleed-tile125)\n";
    EXPECT_EQ(masked(first.out),
              "10 model textures (scan # s): 2 below min size / above max, 0 up to date, 8 to upscale ( x2:1 x4:7 ), "
              "7 tiling (wrap padded), 17 network inputs, # -> # Mpx " +
                  settings +
                  "Real-ESRGAN nearest: # s\nReal-ESRGAN lanczos3: # s\n"
                  "mean |source - box(HD)|: # after Real-ESRGAN, # after back-projection\n"
                  "done: 8 upscaled, 0 failed, cache 8 entries # MB (+ masks # MB) | prepare # s, Real-ESRGAN # s, "
                  "post # s, total # s\n");
    const std::string manifest_text = read_text(cache_ / "manifest.txt");
    EXPECT_EQ(manifest_text,
              "tarkeep-model-hd 1\n"
              "banner_cloth 33058952e32d8627 nearest pmirror4-bp3x50-anearest-pclanczos3-bleed-tile125 256 256 4\n"
              "unit_archer 1e15f4144661fa0b nearest pmirror4-bp3x50-anearest-pclanczos3-bleed-tile125 256 256 4\n"
              "unit_cape 72da79f75f94052a nearest pmirror4-bp3x50-anearest-pclanczos3-bleed-tile125 256 256 4\n"
              "unit_catapult 1c265810ae084a94 nearest pmirror4-bp3x50-anearest-pclanczos3-bleed-tile125 256 256 4\n"
              "unit_footman 39efdc776e9d0e5e nearest pmirror4-bp3x50-anearest-pclanczos3-bleed-tile125 256 256 4\n"
              "unit_knight 67bd35d2161dcf9b nearest pmirror4-bp3x50-anearest-pclanczos3-bleed-tile125 512 512 4\n"
              "unit_shield d5648c3e39537b6f nearest pmirror4-bp3x50-anearest-pclanczos3-bleed-tile125 256 256 4\n"
              "unit_spear 5b3aeef69c953ae5 nearest pmirror4-bp3x50-anearest-pclanczos3-bleed-tile125 1024 128 2\n");
    for (const auto& [stem, entry] : read_model_manifest(cache_ / "manifest.txt")) {  // masks at the texture's size
        const bool mask = stem != "unit_catapult" && stem != "unit_shield";
        EXPECT_EQ(std::tuple(cached(stem).width, cached(stem).height, fs::exists(cache_ / (stem + "_pc.png"))),
                  std::tuple(entry.width, entry.height, mask));
        EXPECT_TRUE(!mask || cached(stem + "_pc").width == entry.width) << stem;
    }
    const image::RgbaImage archer = cached("unit_archer");
    std::size_t clear = 0;
    for (std::size_t i = 3; i < archer.pixels.size(); i += 4) clear += archer.pixels[i] == 0;
    EXPECT_GT(clear, 256u * 10);  // the cut-out edge survives
    EXPECT_FALSE(fs::exists(cache_ / "unit_badge.png") || fs::exists(cache_ / "_work_models"));

    // --model-get recolours only the masked area.
    const auto neutral = tool({game_, cache_.string(), "0", (dir_ / "n.png").string(), "--model-get", "unit_footman"});
    const auto blue = tool({game_, cache_.string(), "B", (dir_ / "b.png").string(), "--model-get", "unit_footman"});
    ASSERT_EQ(blue.exit_code, 0) << blue.err;
    EXPECT_TRUE(contains(neutral.out, "unit_footman colour 0: 256x256 patched 0, "));
    EXPECT_TRUE(contains(blue.out, "unit_footman colour B: 256x256 patched 1, "));
    const image::RgbaImage n = image::read_png_file(dir_ / "n.png"), b = image::read_png_file(dir_ / "b.png");
    const image::RgbaImage mask = cached("unit_footman_pc");
    double blueness_gain = 0, masked_pixels = 0;  // blue minus red, patched minus neutral
    for (std::size_t i = 0; i < n.pixels.size(); i += 4) {
        ASSERT_TRUE(mask.pixels[i] >= 4 || std::equal(&n.pixels[i], &n.pixels[i] + 4, &b.pixels[i])) << i / 4;
        if (mask.pixels[i] > 200) blueness_gain += b.pixels[i + 2] - b.pixels[i] - n.pixels[i + 2] + n.pixels[i];
        masked_pixels += mask.pixels[i] > 200;
    }
    EXPECT_GT(masked_pixels, 1000);
    EXPECT_GT(blueness_gain / masked_pixels, 60);
    EXPECT_EQ(tool({game_, cache_.string(), "A", "x.png", "--model-get", "unit_badge"}).out,
              "no HD texture for unit_badge\n");

    EXPECT_EQ(masked(build({"--verbose"}).out),
              "10 model textures (scan # s): 2 below min size / above max, 8 up to date, 0 to upscale ( ), 0 tiling "
              "(wrap padded), 0 network inputs, # -> # Mpx " +
                  settings +
                  "done: 0 upscaled, 0 failed, cache 8 entries # MB (+ masks # MB) | prepare # s, Real-ESRGAN # s, "
                  "post # s, total # s\nskipped unit_badge: 32x32 below --min-size 64\n"
                  "skipped unit_ghost: not in the archives\nskipped wall_frieze: 1024x64 above --max-size 1024\n");
    EXPECT_EQ(read_text(cache_ / "manifest.txt"), manifest_text);

    // The inspection commands over the same game and cache.
    EXPECT_EQ(masked(tool({game_, "--models-list", "--verbose"}).out),
              "banner_cloth 64x64 DXT5 users 1 mask 64x64 patches AB alpha 1\n"
              "unit_archer 64x64 DXT5 users 1 mask 64x64 patches ABC alpha 1\n"
              "unit_badge 32x32 DXT1 users 1 mask 0x0 patches - alpha 0\n"
              "unit_cape 64x64 DXT1 users 1 mask 32x32 patches ABE alpha 0\n"
              "unit_catapult 64x64 DXT1 users 1 mask 0x0 patches - alpha 0\n"
              "unit_footman 64x64 DXT1 users 1 mask 64x64 patches ABC alpha 0\n"
              "unit_knight 128x128 DXT1 users 2 mask 128x128 patches ABCDEFGHIJK alpha 0\n"
              "unit_shield 64x64 DXT1 users 2 mask 0x0 patches A alpha 0\n"
              "unit_spear 512x64 DXT5 users 1 mask 512x64 patches AD alpha 1\n"
              "wall_frieze 1024x64 DXT1 users 1 mask 0x0 patches - alpha 0\n"
              "10 model textures (# s): 6 with mask (1 mask size != base), 7 with patches (1 without mask), 3 with "
              "alpha, # Mpx\nmax side: 1024:1 128:1 32:1 512:1 64:6\nformats: DXT1:7 DXT5:3\n");

    const std::string fit = tool({game_, "--models-fit"}).out;
    EXPECT_TRUE(lines_starting(fit, "  worst ") == 12 && contains(fit, "colour A: 6 textures, fit error mean "));
    const std::string cape = tool({game_, "--models-fit", "--only", "unit_cape", "--verbose"}).out;
    EXPECT_TRUE(lines_starting(cape, "unit_cape ") == 3 && contains(cape, "\nunit_cape B error ") &&
                contains(cape, " samples 1460 strength "));  // the half-size mask is scaled, not overrun

    const std::string estimate = masked(tool({game_, cache_.string(), "--models-estimate", "--colour", "C"}).out);
    EXPECT_EQ(estimate.substr(0, estimate.find("converter cost")),
              "6 jobs, 7 textures (colour C): unique PNG # MB -> # MB (x#); embedded over all jobs # MB -> # MB (x#, "
              "+# MB)\n  scale 0 (0 = original kept): 1 textures, # MB PNG\n"
              "  scale 4 (0 = original kept): 6 textures, # MB PNG\n");
    EXPECT_TRUE(estimate.ends_with("\n1 textures missing from the archives (skipped)\n")) << estimate;

    const fs::path orig = dir_ / "orig";
    EXPECT_EQ(tool({game_, "--model-orig", orig.string(), "--only", "unit_cape", "--bilinear", "2"}).exit_code, 0);
    for (const char* name : {"unit_cape", "unit_cape_pc", "unit_cape_A", "unit_cape_B", "unit_cape_E"}) {
        const std::uint32_t side = std::string(name) == "unit_cape_pc" ? 32 : 64;
        EXPECT_EQ(image::read_png_file(orig / (std::string(name) + ".png")).width, side) << name;
        EXPECT_EQ(image::read_png_file(orig / (std::string(name) + "_bl.png")).width, 2 * side) << name;
    }

    // A later-sorting archive overrides one mask with a plain grey one: only that texture is redone.
    const fs::path game = dir_ / "game";
    fs::copy(sample_game(), game, fs::copy_options::recursive);
    io::ZipWriter patch;
    patch.add_stored("Art/unit_footman_pc.texcache",
                     data::dxt_texcache(std::vector<std::uint8_t>(64 * 64 * 4, 200), 64, 64, 4, true));
    patch.write(game / "zips" / "zz_patch.zip");
    const auto after = build({"--verbose"}, game);
    EXPECT_TRUE(after.exit_code == 0 && contains(after.out, " 7 up to date, 1 to upscale ( x4:1 )")) << after.err;
    EXPECT_EQ(lines_starting(after.out, "unit_footman x4 consistency "), 1u) << after.out;
    EXPECT_NEAR(cached("unit_footman_pc").pixels[0], 200, 4);  // as DXT1 stores it
}

TEST_F(ModelPipeline, AFailedUpscalerEndsTheBuildAndKeepsTheCache) {
    ASSERT_EQ(build({"--only", "unit_shield"}).exit_code, 0);
    const std::string manifest = read_text(cache_ / "manifest.txt"), hd = read_text(cache_ / "unit_shield.png");
    for (const char* file : {"exit7.param", "exit7.bin"}) touch(dir_ / "models" / file);
    const auto failed =
        build({"--only", "unit_shield", "--force", "--exe", TARKEEP_FAKE_UPSCALER, "--models",
               (dir_ / "models").string(), "--model", "exit7", "--alpha-model", "exit7", "--pc-model", "exit7"});
    EXPECT_TRUE(failed.exit_code == 1 && contains(failed.err, "\nerror: Real-ESRGAN failed (exit code 7): "));
    EXPECT_TRUE(lines_starting(failed.out, "Real-ESRGAN exit7: ") == 1 && !contains(failed.out, "done: "));
    EXPECT_EQ(read_text(cache_ / "manifest.txt") + read_text(cache_ / "unit_shield.png"), manifest + hd);
}

// Model and UI builds share a cache folder: each keeps what the other owns, and --only removes nothing.
TEST_F(ModelPipeline, SharedCacheFoldersKeepWhatOtherPipelinesOwnBadOnlyNamesAndScalesAreWarnings) {
    ModelManifest manifest;
    manifest["old_sheet"] = {"0123456789abcdef", "nearest", "ui-sprite8", 64, 64, 2};
    manifest["gone_texture"] = {"0123456789abcdef", "nearest", "pmirror4", 64, 64, 4};
    touch(cache_ / "old_sheet.png");
    touch(cache_ / "gone_texture.png");
    write_model_manifest(cache_ / "manifest.txt", manifest);
    // Bad --only names and scales are only warnings.
    const auto run = build({"--only", "unit_shield", "--only", "nosuch", "--scale", "5", "--max-size", "4096"});
    EXPECT_TRUE(run.exit_code == 0 && contains(run.err, "warning: nosuch is not a model texture\n")) << run.err;
    EXPECT_TRUE(lines_starting(run.err, "warning: --scale 5") == 1 && contains(run.out, "1 model textures (scan "));
    EXPECT_EQ(lines_starting(run.out, "Real-ESRGAN lanczos3"), 0u);  // no mask to upscale: that batch is not run
    EXPECT_EQ(read_model_manifest(cache_ / "manifest.txt").at("unit_shield").factor, 4u);
    EXPECT_TRUE(contains(build({"--only", "unit_shield", "--scale", "5", "--max-size", "4096"}).out, " 1 up to date"));
    ASSERT_EQ(ui_build({"--only", "buttons_main", "--only", "no_such_sheet"}).exit_code, 0);
    EXPECT_TRUE(fs::exists(cache_ / "gone_texture.png") && fs::exists(cache_ / "old_sheet.png"));
    ASSERT_EQ(build({}).exit_code, 0);
    EXPECT_TRUE(fs::exists(cache_ / "old_sheet.png") && !fs::exists(cache_ / "gone_texture.png"));
    const auto ui = ui_build({});
    EXPECT_TRUE(ui.exit_code == 0 && contains(ui.out, "1 up to date, 2 to upscale")) << ui.err;
    EXPECT_FALSE(fs::exists(cache_ / "old_sheet.png"));
    EXPECT_EQ(read_model_manifest(cache_ / "manifest.txt").size(), 11u);  // eight textures and three sheets
    EXPECT_TRUE(contains(build({}).out, "8 up to date, 0 to upscale"));

    const std::string terrain = "tarkeep-terrain-hd 1\nt0 0123456789abcdef nearest m4 64 64\n";
    cache_ = dir_ / "terrain";
    touch(cache_ / "manifest.txt", terrain);
    for (const auto& refused : {build({}), ui_build({}), tool({game_, cache_.string(), "--models-estimate"})})
        EXPECT_TRUE(refused.exit_code == 2 && contains(refused.err, "holds a terrain manifest"));
    EXPECT_EQ(read_text(cache_ / "manifest.txt"), terrain);
    EXPECT_EQ(std::distance(fs::directory_iterator(cache_), fs::directory_iterator()), 1);
    cache_ = dir_ / "cache";
    for (const auto& guarded : {build({"--work", game_}), ui_build({"--work", game_})})
        EXPECT_TRUE(guarded.exit_code == 2 && contains(guarded.err, "refusing work folder"));
    // The other way round: the terrain command leaves the model cache as it is.
    const std::string models = read_text(cache_ / "manifest.txt");
    const auto terrain_run = tool({game_, cache_.string(), "--exe", test::ref_upscaler(), "--model", "nearest"});
    EXPECT_TRUE(terrain_run.exit_code == 2 && contains(terrain_run.err, "holds the model and UI textures' manifest"));
    EXPECT_EQ(read_text(cache_ / "manifest.txt"), models);
}

// A mistyped cache folder still gives the game's own textures, with a line that says so.
TEST_F(ModelPipeline, CommandsReadingHdTexturesNameAFolderWithoutModelManifest) {
    const std::string warning = "warning: " + cache_.string() + " holds no model texture manifest";
    const std::string glb = (dir_ / "k.glb").string(), png = (dir_ / "k.png").string();
    const struct {
        std::vector<std::string> words;
        int status;
    } cases[] = {{{game_, cache_.string(), "0", png, "--model-get", "unit_knight"}, 1},
                 {{game_, cache_.string(), "--models-estimate"}, 0},
                 {{game_, cache_.string(), "Models/Units/knight.nifcache", glb, "--models-glb"}, 0}};
    for (const auto& c : cases) {
        const auto run = tool(c.words);
        EXPECT_TRUE(run.exit_code == c.status && run.err.starts_with(warning)) << run.err;
    }
    EXPECT_TRUE(fs::exists(glb) && !fs::exists(cache_));
    EXPECT_TRUE(contains(tool({game_, "--models-list", "--units"}).out,
                         "knight unit Knight, 3 animations\nknight_we unit Knight, 3 animations\n"));
}

TEST_F(SamplePipelines, KeptWorkFoldersOfTheModelAndUiBuildsDoNotBlockEachOther) {
    // What an older version kept in its one work folder: no build reads, refuses or removes it.
    touch(cache_ / "_work" / "out" / "unit_shield.png", "stale");
    for (int round = 0; round < 2; ++round)
        for (const auto& r : {build({"--only", "unit_shield", "--keep-work", "--force"}),
                              ui_build({"--only", "buttons_main", "--keep-work", "--force"})})
            EXPECT_TRUE(contains(r.out, "done: 1 upscaled, 0 failed")) << r.err;
    EXPECT_TRUE(fs::exists(cache_ / "_work_models" / "in" / "unit_shield.png") &&
                fs::exists(cache_ / "_work_ui" / "buttons_main_raw.png"));
    EXPECT_EQ(read_text(cache_ / "_work" / "out" / "unit_shield.png"), "stale");
}

// With --verbose, the skipped textures among the --only names follow the report.
TEST_F(SamplePipelines, VerboseNamesTheSkippedOnlyNamesAfterTheReport) {
    enum Build { models, ui, terrain };
    const std::tuple<Build, std::string, std::string> cases[] = {
        {models, "--only unit_ghost --only unit_badge", ""},
        {models, "--verbose --only unit_ghost --only unit_badge",
         "skipped unit_badge: 32x32 below --min-size 64\nskipped unit_ghost: not in the archives\n"},
        {ui, "--verbose --only hud_panel --min-size 65", "skipped hud_panel: 128x64 below --min-size 65\n"},
        {terrain, "--verbose --only ter_lava --only ter_sand", "skipped ter_lava: not in the archives\n"}};
    for (const auto& [kind, options, skipped] : cases) {
        const std::string out = (kind == ui       ? ui_build(words({}, options))
                                 : kind == models ? build(words({}, options))
                                                  : run("--model nearest --margin 4 " + options))
                                    .out;
        EXPECT_EQ(out.substr(out.find('\n', out.find("\ndone: ") + 1) + 1), skipped) << out;
    }
}

TEST_F(UiPipeline, BuildStoresEachSheetOnceAndNearestPutsEverySpritePixelBackInEitherPack) {
    const auto first = ui_build({"--verbose"});
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
    const std::string again = ui_build({"--verbose"}).out;
    EXPECT_TRUE(contains(again, "4 UI sheets: 1 below 8 px, 3 up to date, 0 to upscale ( ), 0 network inputs"));
    EXPECT_TRUE(again.ends_with(" s\nskipped hud_old: not in the archives\nskipped hud_pip: 8x4 below --min-size 8\n"))
        << again;
    EXPECT_EQ(ui_build({"--pack", "atlas"}).exit_code, 2);

    // With pixel replication every stored sheet box-reduces to its source inside each sprite
    // rectangle: the tiles, crops and pastes put every pixel back where it came from. Another
    // pack is another setting: everything is redone, one pass per sheet.
    const auto visible = [](const image::RgbaImage& image, const std::array<std::uint32_t, 4>& r) {
        image::RgbaImage part = image::crop(image, r[0], r[1], r[2], r[3]);
        for (std::size_t at = 0; at < part.pixels.size(); at += 4)  // colours under alpha 0 are bled
            if (part.pixels[at + 3] == 0) std::fill_n(&part.pixels[at], 3, 0);
        return part.pixels;
    };
    for (const char* pack : {"sprite", "sheet"}) {
        const auto run =
            ui_build({"--panel-model", "nearest", "--pack", pack, "--tile-max", "40", "--verbose", "--keep-work"});
        ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
        EXPECT_TRUE(pack[1] == 'p' || contains(run.out, "icons_units icon nearest passes 1 "));
        EXPECT_TRUE(fs::exists(cache_ / "_work_ui" / "hud_panel_raw.png"));
        const std::pair<const char*, std::vector<std::array<std::uint32_t, 4>>> sheets[] = {
            {"hud_panel", {{0, 0, 128, 64}}},
            {"buttons_main", {{0, 0, 96, 24}, {48, 24, 48, 24}}},
            {"icons_units", {{0, 0, 128, 128}}}};
        for (const auto& [stem, rects] : sheets) {
            const image::RgbaImage back =
                image::box_down(image::read_png_file(cache_ / (stem + std::string(".png"))), 2);
            for (const auto& r : rects)
                EXPECT_EQ(visible(back, r), visible(source(stem), r)) << stem << " " << pack << " " << r[0];
        }
    }
}

TEST_F(UiPipeline, AFailedUpscalerFailsOnlyTheSheetsThatNeedIt) {
    const fs::path models = dir_ / "models", built = built_file("tools/ref_upscaler/models");
    touch(models / "broken.param", "tarkeep-ref-model 1\nkernel cubic\n");
    touch(models / "broken.bin");
    for (const char* file : {"nearest.param", "nearest.bin"}) fs::copy_file(built / file, models / file);
    const auto run = ui_build({"--models", models.string(), "--panel-model", "broken"});
    EXPECT_TRUE(run.exit_code == 1 && contains(run.err, "  (GPU out of memory? try a smaller --tile-max)\n"));
    EXPECT_TRUE(contains(run.err, "hud_panel: Real-ESRGAN broken failed\n"));
    EXPECT_TRUE(contains(run.out, "done: 2 upscaled, 1 failed, cache 2 entries "));
    EXPECT_EQ(read_model_manifest(cache_ / "manifest.txt").count("hud_panel"), 0u);
}

TEST_F(UiPipeline, ListAndOrigShowTheSheetsAsTheGameHasThem) {
    const auto list = tool({game_, "--ui-list", "--verbose"});
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

    const auto orig = tool({game_, "--ui-orig", (dir_ / "orig").string(), "--only", "buttons_main", "--only", "../x"});
    ASSERT_EQ(orig.exit_code, 0);
    EXPECT_EQ(orig.err, "warning: texture name \"../x\" holds a path separator: skipped\n");  // never written outside
    EXPECT_EQ(image::read_png_file(dir_ / "orig" / "buttons_main.png").pixels, source("buttons_main").pixels);
}

}  // namespace
}  // namespace tarkeep::upscale
