// The reference upscaler run as the asset tool runs it: nearest and Lanczos models, failures, usage.
#include <gtest/gtest.h>

#include <fstream>

#include "image/png.h"
#include "platform/cmdline.h"
#include "platform/process.h"
#include "tests/support/program_run.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/upscale/test_files.h"
#include "tests/image/test_images.h"
#include "image/image_files.h"
#include "tools/upscale/metrics.h"

namespace tarkeep::upscale {
namespace {
namespace fs = std::filesystem;
using test::contains;
using test::random_image;
using test::replicate;

using RunResult = test::ProgramResult;  // `out` stays empty: only standard error is logged

// Runs the program the way the asset tool runs its upscaler: no shell, standard error
// into a log file.
RunResult run_ref(const std::vector<std::string>& args, const fs::path& log) {
    const auto program = test::built_program("tools/ref_upscaler/tarkeep_ref_upscaler");
    std::string line = "\"" + platform::path_to_utf8(program) + "\"";
    for (const auto& arg : args) line += " " + platform::quote_argument(arg);
    const int exit_code = platform::run_process(line, log);
    return {exit_code, "", test::read_text(log)};
}

// A smooth picture: low-frequency waves, opaque.
image::RgbaImage smooth_image(std::uint32_t w, std::uint32_t h) {
    image::RgbaImage im{w, h, {}};
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x)
            im.pixels.insert(im.pixels.end(),
                             {std::uint8_t(128 + 100 * std::sin(x * 0.2)), std::uint8_t(128 + 100 * std::cos(y * 0.15)),
                              std::uint8_t((x * 3 + y * 5) % 256), 255});
    return im;
}

struct Batch {
    test::TempDir dir;
    fs::path in = dir / "in";
    fs::path out = dir / "out";
    Batch() {
        fs::create_directories(in);
        fs::create_directories(out);
    }
    RunResult run(const std::vector<std::string>& extra) {
        std::vector<std::string> args = {
            "-i", platform::path_to_utf8(in), "-o", platform::path_to_utf8(out), "-s", "4", "-f", "png", "-t", "0"};
        args.insert(args.end(), extra.begin(), extra.end());
        return run_ref(args, dir / "log.txt");
    }
};

TEST(RefUpscaler, NearestReplicatesEveryPixelUnderTheSameNamesAtTheAskedScale) {
    Batch b;
    const image::RgbaImage a = random_image(7, 3, 1), c = random_image(20, 33, 2);
    image::write_png_file(b.in / "a.png", a, true);
    image::write_png_file(b.in / "c.png", c, false);
    std::ofstream(b.in / "notes.txt") << "not an image";
    const auto result = b.run({"-n", "nearest", "-g", "0", "-j", "1:2:2", "-x"});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(image::read_png_file(b.out / "a.png").pixels, replicate(a, 4).pixels);
    const image::RgbaImage c4 = image::read_png_file(b.out / "c.png");
    EXPECT_EQ(c4.width, 80u);
    EXPECT_EQ(c4.height, 132u);
    EXPECT_EQ(c4.pixels, replicate(c, 4).pixels);
    EXPECT_FALSE(fs::exists(b.out / "notes.txt"));

    // One file in, one file out, at scale 2.
    const auto single = run_ref({"-i", platform::path_to_utf8(b.in / "a.png"), "-o",
                                 platform::path_to_utf8(b.out / "x.png"), "-n", "nearest", "-s", "2"},
                                b.dir / "log.txt");
    ASSERT_EQ(single.exit_code, 0) << single.err;
    EXPECT_EQ(image::read_png_file(b.out / "x.png").pixels, replicate(a, 2).pixels);
}

TEST(RefUpscaler, LanczosKeepsFlatAreasAndStaysConsistent) {
    Batch b;
    const image::RgbaImage flat = test::filled(9, 6, 12, 200, 99);
    const image::RgbaImage smooth = smooth_image(64, 48);
    image::write_png_file(b.in / "flat.png", flat, true);
    image::write_png_file(b.in / "smooth.png", smooth, true);
    const auto result = b.run({"-n", "lanczos3"});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    const image::RgbaImage flat4 = image::read_png_file(b.out / "flat.png");
    EXPECT_EQ(flat4.pixels, replicate(flat, 4).pixels);
    const image::RgbaImage smooth4 = image::read_png_file(b.out / "smooth.png");
    ASSERT_EQ(smooth4.width, 256u);
    EXPECT_LT(consistency(smooth4, smooth), 2.0);
    // Sharper than pixel replication would be: neighbouring HD pixels differ inside blocks.
    EXPECT_NE(smooth4.pixels, replicate(smooth, 4).pixels);
}

TEST(RefUpscaler, MissingModelAndUnreadableInputFail) {
    Batch b;
    image::write_png_file(b.in / "good.png", random_image(3, 3, 4), true);
    auto result = b.run({"-n", "no-such-model"});
    EXPECT_NE(result.exit_code, 0);
    EXPECT_TRUE(contains(result.err, "failed"));
    EXPECT_TRUE(contains(result.err, "no-such-model"));
    EXPECT_FALSE(fs::exists(b.out / "good.png"));

    std::ofstream(b.in / "bad.png", std::ios::binary) << "not a png at all";
    result = b.run({"-n", "nearest"});
    EXPECT_NE(result.exit_code, 0);
    EXPECT_TRUE(contains(result.err, "bad.png failed"));
    EXPECT_TRUE(fs::exists(b.out / "good.png"));  // the other files are still written
    EXPECT_FALSE(fs::exists(b.out / "bad.png"));
}

TEST(RefUpscaler, UsageSaysWhatItIs) {
    test::TempDir dir;
    EXPECT_EQ(run_ref({"--help"}, dir / "log.txt").exit_code, 0);
    const RunResult bad = run_ref({"-i", "x", "-q", "1"}, dir / "log.txt");  // usage goes with the error
    EXPECT_NE(bad.exit_code, 0);
    EXPECT_TRUE(contains(bad.err, "failed: unknown switch -q"));
    EXPECT_TRUE(contains(bad.err, "NOT a neural network"));
    EXPECT_NE(run_ref({"-i", "x"}, dir / "log.txt").exit_code, 0);
}

}  // namespace
}  // namespace tarkeep::upscale
