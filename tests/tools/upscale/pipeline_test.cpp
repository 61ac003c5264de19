// The pipelines' shared steps: --only, network runs under each failure policy, reading outputs,
// post-processing, the merge into the manifest and cache sizes.
#include <gtest/gtest.h>

#include <map>

#include "image/image_files.h"
#include "image/kernels.h"
#include "tests/image/test_images.h"
#include "tests/tools/upscale/test_files.h"
#include "tools/upscale/pipeline.h"

namespace tarkeep::upscale {
namespace {
namespace fs = std::filesystem;
using ::testing::internal::CaptureStderr;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStderr;
using ::testing::internal::GetCapturedStdout;

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string error_of(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "no error";
}

TEST(Pipeline, OnlyKeepsMapOrderAndWarnsAboutEachUnknownName) {
    const std::map<std::string, int> all = {{"a", 1}, {"b", 2}, {"c", 3}};
    CaptureStderr();
    EXPECT_EQ(keep_only(all, {"c", "x", "a", "x"}, "a thing"), (std::map<std::string, int>{{"a", 1}, {"c", 3}}));
    EXPECT_EQ(keep_only(all, {}, "a thing"), all);
    EXPECT_EQ(GetCapturedStderr(), "warning: x is not a thing\nwarning: x is not a thing\n");
    for (auto [largest, tile] : {std::pair{0u, "32"}, {33u, "36"}, {36u, "36"}, {37u, "40"}})
        EXPECT_EQ(tile_for_largest(largest), tile) << largest;
}

TEST(Pipeline, NetworkOutputsAreCroppedOrRefusedWithTheirSize) {
    test::TempDir dir;
    const image::RgbaImage output = test::random_image(24, 20, 1);
    image::write_png_file(dir / "out.png", output, false);
    EXPECT_EQ(read_network_output(dir / "out.png", inside_margin(4, 3, 1), SizeErrorText::bare).pixels,
              image::crop(output, 4, 4, 16, 12).pixels);
    EXPECT_EQ(read_network_output(dir / "out.png", {6, 5, 2, 1, 3, 4}, SizeErrorText::bare).pixels,
              image::crop(output, 8, 4, 12, 16).pixels);
    const std::pair<NetworkCrop, SizeErrorText> wrong[] = {{inside_margin(4, 3, 2), SizeErrorText::bare},
                                                           {inside_margin(4, 4, 1), SizeErrorText::after_file_name}};
    EXPECT_EQ(error_of([&] { read_network_output(dir / "out.png", wrong[0].first, wrong[0].second); }),
              "unexpected output size 24x20");
    EXPECT_EQ(error_of([&] { read_network_output(dir / "out.png", wrong[1].first, wrong[1].second); }),
              "out.png: unexpected output size 24x20");
    EXPECT_EQ(error_of([&] { read_network_output(dir / "no.png", {}, SizeErrorText::bare); }),
              "cannot read " + (dir / "no.png").string());
}

TEST(Pipeline, EveryFailurePolicyRunsAndNamesItsRunsAsItSays) {
    struct Case {
        UpscalerFailure policy;
        RunNames names;
        std::set<std::string> entries;  // of two runs
        bool throws, later_run_runs, hint, outputs_refused;
    };
    const Case cases[] = {
        {UpscalerFailure::go_on, RunNames::plain_first, {"in", "out", "in_2", "out_2"}, false, true, false, false},
        {UpscalerFailure::end_command,
         RunNames::plain_first,
         {"in", "out", "in_2", "out_2"},
         true,
         false,
         false,
         false},
        {UpscalerFailure::fail_dependants,
         RunNames::numbered_logged,
         {"in_1", "out_1", "upscale_1.log", "in_2", "out_2", "upscale_2.log"},
         false,
         true,
         true,
         true}};
    for (const Case& c : cases) {
        test::TempDir dir;
        UpscalerConfig config;
        config.exe = TARKEEP_FAKE_UPSCALER;
        config.model_dirs = {dir / "models"};
        for (const char* file : {"exit7.param", "exit7.bin", "x4.param", "x4.bin"}) test::touch(dir / "models" / file);
        WorkFolder work(dir / "work", false);
        NetworkRuns runs(work, c.names, c.policy);
        EXPECT_EQ(std::tuple(runs.run_of("exit7"), runs.run_of("x4"), runs.run_of("exit7")), std::tuple(0u, 1u, 0u));
        runs.write_input(0, "a", test::random_image(8, 3, 1));
        runs.write_input(1, "b", test::random_image(5, 9, 2));
        image::write_png_file(runs[0].folders.out / "a.png", test::random_image(32, 12, 3), false);
        EXPECT_EQ(std::tuple(runs.inputs(), runs.largest_input(), runs[0].largest_input), std::tuple(2u, 9u, 8u));
        std::vector<std::string> tiles;
        CaptureStdout();
        CaptureStderr();
        const std::string error = error_of([&] {
            runs.run_all(config, [&](const NetworkRun& run) {
                tiles.push_back(run.model + " " + std::to_string(run.largest_input));
                return TileSetting{"32", false};
            });
        });
        const std::string out = GetCapturedStdout(), err = GetCapturedStderr();
        EXPECT_EQ(error.starts_with("Real-ESRGAN failed (exit code 7): ") && !error.ends_with("\n"), c.throws);
        EXPECT_EQ(has(err, "Real-ESRGAN failed (exit code 7): "), !c.throws) << err;
        EXPECT_EQ(has(err, "\n  (GPU out of memory? try a smaller --tile-max)\n"), c.hint) << err;
        EXPECT_EQ(tiles.size() == 2 && has(out, "\nReal-ESRGAN x4: "), c.later_run_runs) << out;
        EXPECT_TRUE(out.starts_with("Real-ESRGAN exit7: ") && tiles[0] == "exit7 8") << out;
        const std::string read = error_of([&] { runs.read_output(0, "a", {8, 3, 0, 0, 8, 3}, SizeErrorText::bare); });
        EXPECT_EQ(read, c.outputs_refused ? "Real-ESRGAN exit7 failed" : "no error");
        EXPECT_EQ(NetworkRuns::work_entries(c.names, 2), c.entries);
        for (const std::string& entry : c.entries) EXPECT_TRUE(fs::exists(dir / "work" / entry)) << entry;
    }
}

TEST(Pipeline, FailedJobsLoseTheirRecordsSuccessesStoreThemAndCacheSizesCountWhatExists) {
    struct Job {
        std::string stem;
        int record;
    };
    struct Result {
        std::string error;
        int value = 0;
    };
    const std::vector<Job> jobs = {{"a", 10}, {"b", 20}, {"c", 30}};
    const auto results = post_process_all<Result>(jobs, "test", [](const Job& job) {
        if (job.stem == "b") throw std::runtime_error("broken");
        return Result{"", job.record + 1};
    });
    std::map<std::string, int> manifest = {{"b", 2}, {"d", 4}};
    std::vector<int> merged;
    CaptureStderr();
    const Tally tally =
        merge_results(jobs, results, manifest, [&](const Job&, const Result& r) { merged.push_back(r.value); });
    EXPECT_EQ(GetCapturedStderr(), "b: broken\n");
    EXPECT_EQ(std::tuple(tally.upscaled, tally.failed, merged), std::tuple(2u, 1, std::vector<int>{11, 31}));
    EXPECT_EQ(manifest, (std::map<std::string, int>{{"a", 10}, {"c", 30}, {"d", 4}}));

    ConsistencyTotals totals;
    EXPECT_EQ(std::pair(totals.mean_before(), totals.mean_after()), std::pair(0.0, 0.0));
    totals.add(1, 2, 3);
    totals.add(5, 10);
    EXPECT_EQ(std::pair(totals.mean_before(), totals.mean_after()), std::pair(2.0, 4.0));

    test::TempDir dir;
    test::touch(dir / "a.png", std::string(1048576, 'x'));
    test::touch(dir / "c.png", std::string(524288, 'x'));
    test::touch(dir / "c_pc.png");
    EXPECT_EQ(cache_megabytes(dir.path(), stems_where(manifest, [](int r) { return r > 4; }), ".png"), 1.5);
    drop_records(manifest, dir.path(), {".png", "_pc.png"}, [](const std::string& stem, int) { return stem != "a"; });
    EXPECT_EQ(manifest, (std::map<std::string, int>{{"a", 10}}));
    EXPECT_TRUE(fs::exists(dir / "a.png") && !fs::exists(dir / "c.png") && !fs::exists(dir / "c_pc.png"));
}

}  // namespace
}  // namespace tarkeep::upscale
