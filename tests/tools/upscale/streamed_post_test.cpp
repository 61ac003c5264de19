// Post-processing while the network runs: which outputs a job waits for, and long runs end to
// end (a terminated run keeps what it finished, a killed one leaves a valid manifest, a failed
// rerun keeps the earlier results, a kept work folder is never read as this run's).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "image/png.h"
#include "image/png_files.h"
#include "platform/file_bytes.h"
#include "platform/process.h"
#include "platform/shell.h"
#include "tests/tools/upscale/terrain_game.h"
#include "tests/tools/upscale/test_files.h"
#include "tools/upscale/streamed_post.h"
#include "tools/upscale/terrain_manifest.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;
using namespace test;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

struct Job {
    std::string stem;
};
struct Result {
    std::string error;
};

image::RgbaImage grey(std::uint32_t side) { return {side, side, std::vector<std::uint8_t>(4u * side * side, 128)}; }

TEST(StreamedPost, AJobIsTakenWhenAllItsOutputsAreCompleteAndOneThatFailsThenIsRedoneAfterTheRuns) {
    for (const UpscalerFailure policy : {UpscalerFailure::go_on, UpscalerFailure::fail_dependants}) {
        TempDir dir;
        WorkFolder work(dir / "work", false);
        NetworkRuns runs(work, RunNames::plain_first, policy);
        const std::size_t colour = runs.run_of("a"), alpha = runs.run_of("b");
        const std::vector<Job> jobs = {{"whole"}, {"pair"}, {"half"}, {"broken"}};
        std::vector<std::vector<NetworkOutput>> outputs;
        for (const Job& job : jobs) {
            runs.write_input(colour, job.stem, grey(2));
            if (job.stem == "pair") runs.write_input(alpha, "pair~a", grey(2));
            outputs.push_back(runs.take_written());
        }
        const auto out = [&](std::size_t run, const std::string& name) {
            return runs[run].folders.out / (name + ".png");
        };
        const std::vector<std::uint8_t> png = image::encode_png(grey(8), false);
        for (const char* name : {"whole", "pair"}) platform::write_file(out(colour, name), png);
        platform::write_file(out(colour, "half"), std::span(png).first(png.size() / 2));
        std::vector<std::uint8_t> broken(png.begin(), png.begin() + 40);  // ends as a PNG does, is none
        broken.insert(broken.end(), png.end() - 12, png.end());
        platform::write_file(out(colour, "broken"), broken);

        std::atomic<int> calls{0};
        std::atomic<bool> release{false};
        StreamedPost<Job, Result> post(jobs, outputs, runs, [&](const Job& job) {
            ++calls;
            while (!release) std::this_thread::yield();
            runs.read_output(colour, job.stem, {2, 2, 0, 0, 2, 2}, SizeErrorText::bare);
            return Result{};
        });
        post.poll();
        post.poll();  // a job handed over is not handed over again while it runs
        release = true;
        post.finish(PostScope::started_only, "post");
        const bool streams = policy == UpscalerFailure::go_on;  // fail_dependants waits for the run's end
        EXPECT_EQ(post.left(), streams ? 3u : 4u);
        EXPECT_EQ(calls.load(), streams ? 2 : 0);  // "whole", and "broken" put back
        post.finish(PostScope::complete_only, "post");
        EXPECT_EQ(post.left(), streams ? 2u : 4u);  // "pair" waits for its alpha, "half" for its end
        platform::write_file(out(alpha, "pair~a"), png);
        platform::write_file(out(colour, "half"), png);
        post.finish(PostScope::all, "post");
        ASSERT_EQ(post.left(), 0u);
        EXPECT_EQ(calls.load(), streams ? 5 : 4) << "each job once, the broken one once more";
        EXPECT_TRUE(post.results()[0]->error.empty() && post.results()[1]->error.empty());
        EXPECT_FALSE(post.results()[3]->error.empty());
    }
}

class LongRuns : public ::testing::Test {
protected:
    void SetUp() override {
        if (!platform::has_posix_shell()) GTEST_SKIP() << "a termination request and kill -9 are POSIX signals";
        write_terrain_game(game_, kTextures, 16);
        // The reference kernel at 0.4 s a texture, each output half written for half of it.
        touch(models_ / "slow.bin");
        touch(models_ / "slow.param", "tarkeep-ref-model 1\nkernel nearest\nseconds_per_file 0.4\n");
    }
    std::vector<std::string> arguments(const std::string& exe = ref_upscaler()) {
        return {game_.string(), cache_.string(), "--exe",    exe, "--models",     models_.string(),
                "--model",      "slow",          "--margin", "4", "--save-every", "0"};
    }
    std::size_t cached_pngs() {
        std::size_t count = 0;
        std::error_code none;
        for (const auto& file : fs::directory_iterator(cache_, none)) count += file.path().extension() == ".png";
        return count;
    }
    // Every manifest entry has its whole HD image.
    void expect_valid_cache() {
        for (const auto& [stem, entry] : load_terrain_manifest(cache_ / "manifest.txt"))
            EXPECT_EQ(image::read_png_file(cache_ / (stem + ".png")).width, static_cast<std::uint32_t>(entry.width));
    }

    static constexpr int kTextures = 6;
    TempDir dir_;
    fs::path game_ = dir_ / "game", cache_ = dir_ / "cache", models_ = dir_ / "models";
};

TEST_F(LongRuns, ATerminatedRunKeepsWhatFinishedAKilledOneLeavesAValidCacheAndRerunsDoTheRest) {
    std::string command = platform::quote_argument(built_program("tools/upscale/tarkeep_upscale").string());
    for (const std::string& argument : arguments()) command += " " + platform::quote_argument(argument);
    CaptureStdout();
    const auto child = platform::ChildProcess::start(command, dir_ / "err.txt");
    ASSERT_TRUE(child);
    for (int i = 0; i < 600 && cached_pngs() < 2; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const int status = child->end();
    const std::string out = GetCapturedStdout();
    EXPECT_EQ(status, kInterrupted) << read_text(dir_ / "err.txt");
    const std::size_t kept = load_terrain_manifest(cache_ / "manifest.txt").size();
    EXPECT_GE(kept, 2u);
    EXPECT_TRUE(contains(out, "done: " + std::to_string(kept) + " upscaled, 0 failed"));
    EXPECT_TRUE(
        contains(out, "\ninterrupted: " + std::to_string(kTextures - kept) + " textures left for the next run\n"));
    expect_valid_cache();
    const auto rerun = run_upscale(arguments());
    EXPECT_TRUE(contains(rerun.out, "6 terrain textures, " + std::to_string(kTextures - kept) + " to upscale"));

    // Killed by its own upscaler two seconds into a fresh run: what finished was saved, whole.
    const fs::path killer = dir_ / "killer.sh";
    touch(killer, "#!/bin/sh\n\"" + ref_upscaler() + "\" \"$@\" &\nsleep 2\nkill -9 $PPID\nwait\n");
    fs::permissions(killer, fs::perms::owner_all);
    fs::remove_all(cache_);
    EXPECT_EQ(run_upscale(arguments(killer.string())).exit_code, 128 + 9);
    EXPECT_GE(load_terrain_manifest(cache_ / "manifest.txt").size(), 1u);
    expect_valid_cache();
    EXPECT_EQ(run_upscale(arguments()).exit_code, 0);
}

TEST_F(LongRuns, AFailedForcedRerunKeepsTheEarlierResultsAndAKeptWorkFolderIsNeverReadAgain) {
    touch(models_ / "slow.param", "tarkeep-ref-model 1\nkernel nearest\n");
    auto kept_work = arguments();
    kept_work.push_back("--keep-work");
    ASSERT_EQ(run_upscale(kept_work).exit_code, 0);
    const std::string manifest = read_text(cache_ / "manifest.txt"), hd = read_text(cache_ / "t0.png");
    // An upscaler that succeeds and writes nothing, over the outputs the kept folder still holds.
    for (const char* file : {"x4.param", "x4.bin"}) touch(models_ / file);
    auto failing = arguments(TARKEEP_FAKE_UPSCALER);
    failing[7] = "x4";
    failing.push_back("--force");
    const auto failed = run_upscale(failing);
    EXPECT_EQ(failed.exit_code, 1);
    EXPECT_TRUE(contains(failed.out, "done: 0 upscaled, 6 failed, cache 6 entries"));
    EXPECT_EQ(read_text(cache_ / "manifest.txt") + read_text(cache_ / "t0.png"), manifest + hd);

    // The UI build's runs as well: a sheet is made only of this run's outputs.
    const auto ui = [&](const std::string& exe, const std::string& model) {
        return run_upscale(
            words({test::sample_game().string(), (dir_ / "ui").string(), "--exe", exe, "--models", models_.string(),
                   "--icon-model", model, "--panel-model", model, "--alpha-model", model},
                  "--ui-build --margin 4 --keep-work --force"));
    };
    ASSERT_EQ(ui(ref_upscaler(), "slow").exit_code, 0);
    const auto ui_failed = ui(TARKEEP_FAKE_UPSCALER, "x4");
    EXPECT_EQ(ui_failed.exit_code, 1);
    EXPECT_TRUE(contains(ui_failed.out, "done: 0 upscaled, 3 failed")) << ui_failed.err;
}

}  // namespace
}  // namespace tarkeep::upscale
