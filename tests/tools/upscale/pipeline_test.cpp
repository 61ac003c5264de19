// The pipelines' shared steps: network runs under each failure policy, reading their outputs,
// and cache sizes.
#include <gtest/gtest.h>

#include <map>

#include "image/kernels.h"
#include "image/png_files.h"
#include "platform/cmdline.h"
#include "tests/image/test_images.h"
#include "tests/tools/upscale/test_files.h"
#include "tools/upscale/pipeline.h"

namespace tarkeep::upscale {
namespace {
namespace fs = std::filesystem;
using namespace ::testing::internal;

std::string error_of(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "";
}

TEST(Pipeline, NetworkOutputsAreCroppedOrRefusedWithTheirSizeAndTilesFitTheLargestInput) {
    for (auto [largest, tile] : {std::pair{0u, "32"}, {33u, "36"}, {36u, "36"}})
        EXPECT_EQ(tile_for_largest(largest), tile);
    test::TempDir dir;
    const image::RgbaImage output = test::random_image(24, 20, 1);
    image::write_png_file(dir / "out.png", output, false);
    const auto read = [&](const NetworkCrop& crop, SizeErrorText text, const char* name = "out.png") {
        return error_of([&] {
            EXPECT_EQ(read_network_output(dir / name, crop, text).pixels,
                      image::crop(output, 4 * crop.x, 4 * crop.y, 4 * crop.width, 4 * crop.height).pixels);
        });
    };
    EXPECT_EQ(read(inside_margin(4, 3, 1), SizeErrorText::bare) + read({6, 5, 2, 1, 3, 4}, SizeErrorText::bare), "");
    EXPECT_EQ(read(inside_margin(4, 3, 2), SizeErrorText::bare), "unexpected output size 24x20");
    EXPECT_EQ(read(inside_margin(4, 4, 1), SizeErrorText::after_file_name), "out.png: unexpected output size 24x20");
    EXPECT_EQ(read({}, SizeErrorText::bare, "no.png"), "cannot read " + platform::path_to_utf8(dir / "no.png"));
}

TEST(Pipeline, EveryFailurePolicyRunsAndNamesItsRunsAsItSays) {
    const std::set<std::string> plain = {"in", "out", "in_2", "out_2"},
                                numbered = {"in_1", "out_1", "upscale_1.log", "in_2", "out_2", "upscale_2.log"};
    const std::tuple<UpscalerFailure, RunNames, std::set<std::string>> cases[] = {
        {UpscalerFailure::go_on, RunNames::plain_first, plain},
        {UpscalerFailure::end_command, RunNames::plain_first, plain},
        {UpscalerFailure::fail_dependants, RunNames::numbered_logged, numbered}};
    for (const auto& [policy, names, entries] : cases) {
        const bool throws = policy == UpscalerFailure::end_command, fails = policy == UpscalerFailure::fail_dependants;
        test::TempDir dir;
        UpscalerConfig config;
        config.exe = TARKEEP_FAKE_UPSCALER;
        config.model_dirs = {dir / "models"};
        for (const char* file : {"exit7.param", "exit7.bin", "x4.param", "x4.bin"}) test::touch(dir / "models" / file);
        WorkFolder work(dir / "work", false);
        NetworkRuns runs(work, names, policy);
        EXPECT_EQ(std::tuple(runs.run_of("exit7"), runs.run_of("x4"), runs.run_of("exit7")), std::tuple(0u, 1u, 0u));
        runs.write_input(0, "a", test::random_image(8, 3, 1));
        runs.write_input(1, "b", test::filled(5, 9, 1, 2, 3));  // stored: no smaller than its pixels
        EXPECT_GT(fs::file_size(runs[1].folders.in / "b.png"), 5u * 9 * 4);
        image::write_png_file(runs[0].folders.out / "a.png", test::random_image(32, 12, 3), false);
        std::vector<std::string> tiles;
        CaptureStdout();
        CaptureStderr();
        runs.run_all(config, [&](const NetworkRun& run) {
            tiles.push_back(run.model + " " + std::to_string(run.largest_input));
            return TileSetting{"32", false};
        });
        const std::string& error = runs.ending_error();
        const std::string out = GetCapturedStdout(), err = GetCapturedStderr();
        EXPECT_EQ(error.starts_with("Real-ESRGAN failed (exit code 7): ") && !error.ends_with("\n"), throws);
        EXPECT_EQ(err.find("Real-ESRGAN failed (exit code 7): ") != std::string::npos, !throws) << err;
        EXPECT_EQ(err.find("\n  (GPU out of memory? try a smaller --tile-max)\n") != std::string::npos, fails) << err;
        EXPECT_EQ(tiles.size() == 2 && test::contains(out, "\nReal-ESRGAN x4: "), !throws) << out;
        EXPECT_TRUE(out.starts_with("Real-ESRGAN exit7: ") && tiles[0] == "exit7 8" && runs.largest_input() == 9);
        const std::string read = error_of([&] { runs.read_output(0, "a", {8, 3, 0, 0, 8, 3}, SizeErrorText::bare); });
        EXPECT_EQ(read, fails ? "Real-ESRGAN exit7 failed" : "");
        EXPECT_EQ(NetworkRuns::work_entries(names, 2), entries);
        for (const std::string& entry : entries) EXPECT_TRUE(fs::exists(dir / "work" / entry)) << entry;
    }
}

TEST(Pipeline, CacheSizesCountTheFilesThatExist) {
    test::TempDir dir;
    test::touch(dir / "a.png", std::string(1048576, 'x'));
    test::touch(dir / "c.png", std::string(524288, 'x'));  // b and d are missing
    const std::map<std::string, int> manifest = {{"a", 1}, {"b", 2}, {"c", 3}, {"d", 4}};
    EXPECT_EQ(cache_megabytes(dir.path(), stems_where(manifest, [](int r) { return r != 1; }), ".png"), 0.5);
}

}  // namespace
}  // namespace tarkeep::upscale
