// The reference upscaler run as the asset tool runs it: nearest and Lanczos models, failures, usage.
#include <gtest/gtest.h>

#include "image/kernels.h"
#include "image/metrics.h"
#include "image/png_files.h"
#include "platform/cmdline.h"
#include "platform/process.h"
#include "tests/image/test_images.h"
#include "tests/tools/upscale/test_files.h"

namespace tarkeep::upscale {
namespace {
namespace fs = std::filesystem;
using namespace test;

// A folder pair and the program run the way the asset tool runs its upscaler: no shell,
// standard error into a log file, which is returned with the exit code.
struct Batch {
    TempDir dir;
    std::string in = platform::path_to_utf8(dir / "in"), out = platform::path_to_utf8(dir / "out");
    Batch() { fs::create_directories(dir / "in"), fs::create_directories(dir / "out"); }
    std::pair<int, std::string> run(std::vector<std::string> args, bool folders = true) {
        if (folders) args.insert(args.end(), {"-i", in, "-o", out, "-s", "4", "-f", "png", "-t", "0"});
        std::string line = "\"" + test::ref_upscaler() + "\"";
        for (const auto& arg : args) line += " " + platform::quote_argument(arg);
        const int exit_code = platform::run_process(line, dir / "log.txt");
        return {exit_code, read_text(dir / "log.txt")};
    }
    image::RgbaImage read(const char* name) { return image::read_png_file(dir / "out" / name); }
};

TEST(RefUpscaler, NearestReplicatesLanczosStaysConsistentButSharpFailuresAndUsage) {
    Batch b;
    const image::RgbaImage a = random_image(7, 3, 1), c = random_image(20, 33, 2);
    image::write_png_file(b.dir / "in/a.png", a, true);
    image::write_png_file(b.dir / "in/c.png", c, false);
    touch(b.dir / "in/notes.txt", "not an image");
    const auto [code, log] = b.run({"-n", "nearest", "-g", "0", "-j", "1:2:2", "-x"});
    ASSERT_EQ(code, 0) << log;
    EXPECT_EQ(b.read("a.png").pixels, replicate(a, 4).pixels);
    EXPECT_EQ(b.read("c.png").pixels, replicate(c, 4).pixels);
    EXPECT_FALSE(fs::exists(b.dir / "out/notes.txt"));
    // One file in, one file out, at scale 2.
    EXPECT_EQ(b.run({"-i", b.in + "/a.png", "-o", b.out + "/x.png", "-n", "nearest", "-s", "2"}, false).first, 0);
    EXPECT_EQ(b.read("x.png").pixels, replicate(a, 2).pixels);

    const image::RgbaImage flat = filled(9, 6, 12, 200, 99);
    const image::RgbaImage smooth = image::resize_bilinear(random_image(8, 6, 3), 64, 48);
    image::write_png_file(b.dir / "in/a.png", flat, true);
    image::write_png_file(b.dir / "in/c.png", smooth, true);
    ASSERT_EQ(b.run({"-n", "lanczos3"}).first, 0);
    EXPECT_EQ(b.read("a.png").pixels, replicate(flat, 4).pixels);
    const image::RgbaImage smooth4 = b.read("c.png");
    ASSERT_EQ(smooth4.width, 256u);
    EXPECT_LT(consistency(smooth4, smooth), 2.0);
    EXPECT_NE(smooth4.pixels, replicate(smooth, 4).pixels);  // neighbouring HD pixels differ inside blocks
    // Failures and usage.
    image::write_png_file(b.dir / "in/good.png", random_image(3, 3, 4), true);
    auto [failed, log2] = b.run({"-n", "no-such-model"});
    EXPECT_TRUE(failed != 0 && contains(log2, "failed") && contains(log2, "no-such-model")) << log2;
    EXPECT_FALSE(fs::exists(b.dir / "out/good.png"));
    touch(b.dir / "in/bad.png", "not a png at all");
    std::tie(failed, log2) = b.run({"-n", "nearest"});
    EXPECT_TRUE(failed != 0 && contains(log2, "bad.png failed"));
    EXPECT_TRUE(fs::exists(b.dir / "out/good.png"));  // the other files are still written
    EXPECT_FALSE(fs::exists(b.dir / "out/bad.png"));
    EXPECT_EQ(b.run({"--help"}, false).first, 0);
    std::tie(failed, log2) = b.run({"-i", "x", "-q", "1"}, false);  // usage goes with the error
    EXPECT_TRUE(failed != 0 && contains(log2, "failed: unknown switch -q") && contains(log2, "NOT a neural network"));
    EXPECT_NE(b.run({"-i", "x"}, false).first, 0);
}

}  // namespace
}  // namespace tarkeep::upscale
