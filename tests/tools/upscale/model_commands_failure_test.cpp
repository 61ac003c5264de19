// Failures that stay with their own texture or option: refused names, damaged models and
// textures, no-op patches, missing masks, uncompressed terrain, and names both the model and
// the UI build could keep.
#include <gtest/gtest.h>

#include "data/texture/dxt.h"
#include "data/texture/pcpatch_writer.h"
#include "image/png_files.h"
#include "io/zip_writer.h"
#include "tests/tools/upscale/terrain_game.h"
#include "tests/tools/upscale/test_files.h"
#include "tools/upscale/model_hd.h"
#include "tools/upscale/model_manifest.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;
using namespace test;

const std::vector<std::string> kNearest = {"--exe", ref_upscaler(), "--model", "nearest", "--pc-model", "nearest"};

// A copy of the sample game with a later-sorting archive of damage: a model that is not one,
// truncated model and UI textures, a colour-D patch of unit_footman that changes nothing, and
// an empty texture.
fs::path damaged_game(const fs::path& dir) {
    const fs::path game = dir / "game";
    fs::copy(test::sample_game(), game, fs::copy_options::recursive);
    const data::GameArchives archives(game);
    const auto halved = [&archives](const char* name) {
        std::vector<std::uint8_t> bytes = archives.read(name);
        bytes.resize(bytes.size() / 2);
        return bytes;
    };
    io::ZipWriter extra;
    extra.add_stored("Art/broken.nifcache", std::vector<std::uint8_t>{'n', 'o', 't'});
    extra.add_stored("Art/unit_shield.texcache", halved("unit_shield.texcache"));
    extra.add_stored("Art/hud_panel.texcache", halved("hud_panel.texcache"));
    extra.add_stored("Art/Colours/unit_footmanD.pcpatch", data::write_pcpatch({}, {}));
    extra.add_stored("Art/empty.texcache", data::write_texcache(data::texcache_fields(4, {{0, 0, {}}})));
    extra.write(game / "zips" / "zz_extra.zip");
    return game;
}

// Bad numbers never reach a build (the command line's own check); a bad --only name must not
// turn into "build everything".
TEST(PipelineOptions, ARefusedOnlyNameStopsTheBuildBeforeAnyWork) {
    TempDir cache;
    const auto run =
        run_upscale(words({test::sample_game().string(), cache.path().string()}, "--models-build --only ../x"));
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_TRUE(fs::is_empty(cache.path()));
}

TEST(TerrainSources, AnUncompressedTextureIsUpscaledAndAnUnreadableOneFailsAlone) {
    TempDir dir;
    write_terrain_game(dir / "game", 5, 16);
    const auto rgba = data::write_texcache({data::format_rgba,
                                            {0xFF, 0xFF00, 0xFF0000, 0xFF000000},
                                            0,
                                            -1,
                                            4,
                                            {{16, 16, 0}},
                                            1024,
                                            std::vector<std::uint8_t>(1024, 120)});
    ZipFiles patch;
    patch.add("t1.texcache", std::string(rgba.begin(), rgba.end()));
    patch.add("t2.texcache", "not a texture");
    GameFolderWriter(dir / "game").add_zip("zz_patch.zip", patch);
    const auto run = run_upscale(words({(dir / "game").string(), (dir / "cache").string()}, "--margin 4", kNearest));
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_TRUE(run.err.starts_with("t2: ") && lines_starting(run.err, "t2: ") == 1) << run.err;
    EXPECT_TRUE(contains(run.out, "done: 4 upscaled, 1 failed, cache 4 entries"));
    EXPECT_EQ(image::read_png_file(dir / "cache" / "t1.png").width, 64u);
}

TEST(ModelCommandsOnDamage, DamageFailsAloneANoOpPatchIsNoPlayerColourAMissingMaskFallsBackUiRecordsAreKept) {
    TempDir dir;
    const fs::path game = damaged_game(dir.path()), cache = dir / "cache";
    const auto tool = [&](const std::string& options, bool with_cache = true) {
        return run_upscale(words(with_cache ? std::vector{game.string(), cache.string()} : std::vector{game.string()},
                                 options, kNearest));
    };
    const auto unrelated = tool("--models-build --only unit_footman");
    ASSERT_EQ(unrelated.exit_code, 0) << unrelated.err;
    EXPECT_TRUE(contains(unrelated.err, "warning: broken.nifcache: "));
    const std::string get = " --model-get unit_footman", out = " " + (dir / "x.png").string();
    EXPECT_TRUE(contains(tool("D" + out + get).out, " patched 0, "));
    const std::string fit = tool("--models-fit --only UNIT_FOOTMAN --verbose", false).out;
    EXPECT_TRUE(contains(fit, "\nunit_footman D invalid samples ") &&
                contains(fit, "colour D: 0 textures, fit error mean 0.00 max 0.00 levels, 1 invalid"));
    fs::remove(cache / "unit_footman_pc.png");
    EXPECT_EQ(tool("B" + out + get).out, "no HD texture for unit_footman\n");
    for (const char* command : {"--models-estimate --colour B", "--models-build"}) {  // the missing mask is no failure
        const auto run = tool(command);
        EXPECT_EQ(run.exit_code, 1) << command;
        EXPECT_TRUE(lines_starting(run.err, "unit_shield: ") == 1 && !contains(run.err, "unit_footman"))
            << command << "\n"
            << run.err;
    }
    const data::GameArchives archives(game);
    EXPECT_TRUE(ModelHdLookup(archives, cache).get("Unit_Footman.texcache", 0, 0));  // a file name finds its stem

    const std::string orig = "--model-orig " + (dir / "orig").string() + " --only ";
    const std::tuple<std::string, int, const char*> runs[] = {
        {"--models-estimate --max-size -1", 2, "error: bad value for --max-size: -1\n"},
        {"--models-glb knight x.glb --max-size 4294967297", 2, "error: bad value for --max-size: 4294967297\n"},
        {"0" + out + " --model-get ..\\x", 2, "warning: texture name \"..\\x\" holds a path separator: skipped\n"},
        {orig + "unit_cape --bilinear 67108865", 1, "error: --bilinear 67108865 makes unit_cape 4294967360x"},
        {orig + "empty --bilinear 2", 0, "warning: empty is 0x0: not written\n"}};
    for (const auto& [options, status, error] : runs) {
        const auto run = tool(options, !options.starts_with("--model-orig"));
        EXPECT_TRUE(run.exit_code == status && run.err.starts_with(error)) << options << "\n" << run.err;
    }

    ModelManifest manifest = read_model_manifest(cache / "manifest.txt");
    manifest["unit_footman"].settings = std::string(kUiSettingsPrefix) + "sheet";
    write_model_manifest(cache / "manifest.txt", manifest);
    EXPECT_FALSE(ModelHdLookup(archives, cache).get("unit_footman", 0, 0));
    const auto kept = tool("--models-build --only unit_footman --force");
    EXPECT_EQ(kept.exit_code, 0);
    EXPECT_TRUE(contains(kept.err, "warning: unit_footman is kept by the UI build in this cache: not rebuilt here"));
    EXPECT_EQ(read_model_manifest(cache / "manifest.txt"), manifest);
}

TEST(UiBuildOnDamage, ATruncatedSheetFailsAloneAndAModelRecordIsLeftAlone) {
    TempDir dir;
    const fs::path game = damaged_game(dir.path()), cache = dir / "cache";
    const auto tool = [&](const std::string& options) {
        return run_upscale(
            words({game.string(), cache.string()}, "--ui-build --alpha-model nearest " + options, kNearest));
    };
    const auto run = tool("");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(lines_starting(run.err, "hud_panel: "), 1u) << run.err;
    ModelManifest manifest = read_model_manifest(cache / "manifest.txt");
    ASSERT_EQ(manifest.count("icons_units"), 1u);
    manifest["icons_units"].settings = "model-settings";
    write_model_manifest(cache / "manifest.txt", manifest);
    const auto kept = tool("--only icons_units --force");
    EXPECT_EQ(kept.exit_code, 0);
    EXPECT_TRUE(contains(kept.err, "warning: icons_units is kept by the model build in this cache: not rebuilt here"));
    EXPECT_EQ(read_model_manifest(cache / "manifest.txt"), manifest);
}

}  // namespace
}  // namespace tarkeep::upscale
