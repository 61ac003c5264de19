#include <gtest/gtest.h>

#include <fstream>

#include "data/texture/png.h"
#include "platform/cmdline.h"
#include "platform/process.h"
#include "tests/support/temp_dir.h"
#include "tools/upscale/file_io.h"
#include "tools/upscale/image_ops.h"
#include "tools/upscale/metrics.h"
#include "tools/upscale/upscaler_runner.h"

namespace tarkeep::upscale {
namespace {
namespace fs = std::filesystem;

fs::path ref_program() {
    fs::path program = fs::path(TARKEEP_BINARY_DIR) / "tools" / "ref_upscaler" / "tarkeep_ref_upscaler";
    if (!fs::exists(program)) program += ".exe";
    return program;
}

struct RunResult {
    int exit_code = -1;
    std::string err;
};

// Runs the program the way the asset tool runs its upscaler: no shell, standard error
// into a log file.
RunResult run_ref(const std::vector<std::string>& args, const fs::path& log) {
    std::string line = "\"" + platform::path_to_utf8(ref_program()) + "\"";
    for (const auto& arg : args) line += " " + platform::quote_argument(arg);
    RunResult run;
    run.exit_code = platform::run_process(line, log);
    std::ifstream in(log, std::ios::binary);
    run.err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return run;
}

RgbaImage random_image(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
    std::mt19937 rng(seed);
    RgbaImage im{w, h, std::vector<std::uint8_t>(std::size_t{w} * h * 4)};
    for (auto& b : im.pixels) b = static_cast<std::uint8_t>(rng());
    return im;
}

// A smooth picture: low-frequency waves, opaque.
RgbaImage smooth_image(std::uint32_t w, std::uint32_t h) {
    RgbaImage im{w, h, {}};
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x)
            im.pixels.insert(im.pixels.end(), {std::uint8_t(128 + 100 * std::sin(x * 0.2)),
                                               std::uint8_t(128 + 100 * std::cos(y * 0.15)),
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
        std::vector<std::string> args = {"-i", platform::path_to_utf8(in), "-o", platform::path_to_utf8(out),
                                         "-s", "4", "-f", "png", "-t", "0"};
        args.insert(args.end(), extra.begin(), extra.end());
        return run_ref(args, dir / "log.txt");
    }
};

RgbaImage replicate(const RgbaImage& src, std::uint32_t f) {
    RgbaImage out{src.width * f, src.height * f, std::vector<std::uint8_t>(src.pixels.size() * f * f)};
    for (std::uint32_t y = 0; y < out.height; ++y)
        for (std::uint32_t x = 0; x < out.width; ++x)
            for (int c = 0; c < 4; ++c)
                out.pixels[(std::size_t{y} * out.width + x) * 4 + c] =
                    src.pixels[(std::size_t{y / f} * src.width + x / f) * 4 + c];
    return out;
}

TEST(RefUpscaler, NearestReplicatesEveryPixelUnderTheSameNames) {
    Batch b;
    const RgbaImage a = random_image(7, 3, 1), c = random_image(20, 33, 2);
    write_png_file(b.in / "a.png", a, true);
    write_png_file(b.in / "c.png", c, false);
    std::ofstream(b.in / "notes.txt") << "not an image";
    const auto result = b.run({"-n", "nearest", "-g", "0", "-j", "1:2:2", "-x"});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(read_png_file(b.out / "a.png").pixels, replicate(a, 4).pixels);
    const RgbaImage c4 = read_png_file(b.out / "c.png");
    EXPECT_EQ(c4.width, 80u);
    EXPECT_EQ(c4.height, 132u);
    EXPECT_EQ(c4.pixels, replicate(c, 4).pixels);
    EXPECT_FALSE(fs::exists(b.out / "notes.txt"));
}

TEST(RefUpscaler, ScaleSwitchAndSingleFiles) {
    Batch b;
    const RgbaImage a = random_image(5, 4, 3);
    write_png_file(b.in / "a.png", a, true);
    const auto result = run_ref({"-i", platform::path_to_utf8(b.in / "a.png"), "-o",
                                 platform::path_to_utf8(b.out / "x.png"), "-n", "nearest", "-s", "2"},
                                b.dir / "log.txt");
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(read_png_file(b.out / "x.png").pixels, replicate(a, 2).pixels);
}

TEST(RefUpscaler, LanczosKeepsFlatAreasAndStaysConsistent) {
    Batch b;
    RgbaImage flat{9, 6, {}};
    for (int i = 0; i < 9 * 6; ++i) flat.pixels.insert(flat.pixels.end(), {12, 200, 99, 255});
    const RgbaImage smooth = smooth_image(64, 48);
    write_png_file(b.in / "flat.png", flat, true);
    write_png_file(b.in / "smooth.png", smooth, true);
    const auto result = b.run({"-n", "lanczos3"});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    const RgbaImage flat4 = read_png_file(b.out / "flat.png");
    EXPECT_EQ(flat4.pixels, replicate(flat, 4).pixels);
    const RgbaImage smooth4 = read_png_file(b.out / "smooth.png");
    ASSERT_EQ(smooth4.width, 256u);
    EXPECT_LT(consistency(smooth4, smooth), 2.0);
    // Sharper than pixel replication would be: neighbouring HD pixels differ inside blocks.
    EXPECT_NE(smooth4.pixels, replicate(smooth, 4).pixels);
}

TEST(RefUpscaler, MissingModelAndUnreadableInputFail) {
    Batch b;
    write_png_file(b.in / "good.png", random_image(3, 3, 4), true);
    auto result = b.run({"-n", "no-such-model"});
    EXPECT_NE(result.exit_code, 0);
    EXPECT_NE(result.err.find("failed"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("no-such-model"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(b.out / "good.png"));

    std::ofstream(b.in / "bad.png", std::ios::binary) << "not a png at all";
    result = b.run({"-n", "nearest"});
    EXPECT_NE(result.exit_code, 0);
    EXPECT_NE(result.err.find("bad.png failed"), std::string::npos) << result.err;
    EXPECT_TRUE(fs::exists(b.out / "good.png"));  // the other files are still written
    EXPECT_FALSE(fs::exists(b.out / "bad.png"));
}

TEST(RefUpscaler, UsageSaysWhatItIs) {
    test::TempDir dir;
    EXPECT_EQ(run_ref({"--help"}, dir / "log.txt").exit_code, 0);
    const RunResult bad = run_ref({"-i", "x", "-q", "1"}, dir / "log.txt");  // usage goes with the error
    EXPECT_NE(bad.exit_code, 0);
    EXPECT_NE(bad.err.find("failed: unknown switch -q"), std::string::npos) << bad.err;
    EXPECT_NE(bad.err.find("NOT a neural network"), std::string::npos) << bad.err;
    EXPECT_NE(run_ref({"-i", "x"}, dir / "log.txt").exit_code, 0);
}

TEST(RefUpscaler, HonoursTheRunnerContract) {
    // Driven exactly as the asset tool drives the outside upscaler, models found beside it.
    Batch b;
    write_png_file(b.in / "t.png", random_image(6, 6, 5), false);
    UpscalerConfig config;
    config.exe = ref_program();
    config.model_dirs = {ref_program().parent_path() / "models"};
    ASSERT_EQ(check_model(config, "lanczos3"), "");
    EXPECT_EQ(run_upscaler(config, "lanczos3", b.in, b.out, "32 -x", b.dir / "log.txt"), "");
    EXPECT_EQ(read_png_file(b.out / "t.png").width, 24u);
}

}  // namespace
}  // namespace tarkeep::upscale
