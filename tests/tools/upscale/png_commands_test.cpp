// The PNG analysis commands, run as the user runs them.
#include <gtest/gtest.h>

#include "image/image_files.h"
#include "tests/image/test_images.h"
#include "tests/tools/upscale/test_files.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;

// An image whose channel c at (x, y) is channel(x, y, c).
template <class Channel>
image::RgbaImage image_of(std::uint32_t width, std::uint32_t height, Channel channel) {
    image::RgbaImage image{width, height, {}};
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x)
            for (int c = 0; c < 4; ++c) image.pixels.push_back(static_cast<std::uint8_t>(channel(x, y, c)));
    return image;
}

std::array<std::uint8_t, 4> pixel(const image::RgbaImage& image, std::uint32_t x, std::uint32_t y) {
    const std::uint8_t* p = &image.pixels[(std::size_t{y} * image.width + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

class PngCommands : public ::testing::Test {
protected:
    test::ProgramResult tool(const std::vector<std::string>& arguments) { return test::run_upscale(arguments); }
    std::string path(const char* name) { return (dir_ / name).string(); }
    test::TempDir dir_;
};

TEST_F(PngCommands, SeamReportsTilingAndSummary) {
    fs::create_directories(dir_ / "set");
    // Independent random pixels: the wrap-around pairs look just like the inner ones.
    image::write_png_file(dir_ / "set/b_tiling.png", test::random_image(64, 64, 5), true);
    image::write_png_file(dir_ / "set/a_uniform.png", image_of(8, 8, [](auto, auto, int) { return 77; }), true);
    test::touch(dir_ / "set/readme.txt", "not an image");

    auto result = tool({"--seam", path("set")});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    std::istringstream lines(result.out);
    std::string uniform, tiling, summary;
    std::getline(std::getline(std::getline(lines, uniform), tiling), summary);
    EXPECT_EQ(uniform,
              "a_uniform.png 8x8 inner_x 0.00 seam_x 0.00 ratio_x 0.00 | inner_y 0.00 seam_y 0.00 ratio_y "
              "0.00 | mean 77.0 77.0 77.0");
    double rx = 0, ry = 0;
    ASSERT_EQ(std::sscanf(tiling.c_str(),
                          "b_tiling.png 64x64 inner_x %*f seam_x %*f ratio_x %lf | inner_y %*f "
                          "seam_y %*f ratio_y %lf",
                          &rx, &ry),
              2)
        << tiling;
    EXPECT_NEAR(rx, 1.0, 0.15);
    EXPECT_NEAR(ry, 1.0, 0.15);
    EXPECT_EQ(summary.rfind("summary 2 images: seam/inner ratio mean ", 0), 0u) << summary;

    auto quiet = tool({"--seam", "--quiet", path("set")});
    EXPECT_EQ(quiet.out, summary + "\n");

    fs::create_directories(dir_ / "empty");
    auto empty = tool({"--seam", path("empty")});
    EXPECT_EQ(empty.out, "summary 0 images: seam/inner ratio mean 0.000 max 0.00, mean excess 0.00 levels\n");

    auto missing = tool({"--seam", path("nothing.png")});
    EXPECT_EQ(std::tie(missing.exit_code, missing.err),
              std::tuple(1, "error: cannot read " + path("nothing.png") + "\n"));
}

TEST_F(PngCommands, Tile2PutsTheSeamsInTheMiddle) {
    const image::RgbaImage source =
        image_of(4, 4, [](std::uint32_t x, std::uint32_t y, int c) { return c == 3 ? 255 : x * 16 + y + c * 100; });
    image::write_png_file(dir_ / "src.png", source, true);

    for (std::uint32_t size : {1u, 8u}) {
        ASSERT_EQ(tool({"--tile2", path("t.png"), path("src.png"), std::to_string(size)}).exit_code, 0);
        const image::RgbaImage tiled = image::read_png_file(dir_ / "t.png");
        ASSERT_EQ(std::pair(tiled.width, tiled.height), std::pair(size, size));
        for (std::uint32_t y = 0; y < size; ++y)
            for (std::uint32_t x = 0; x < size; ++x)
                EXPECT_EQ(pixel(tiled, x, y), pixel(source, x % 4, y % 4)) << size << ": " << x << "," << y;
    }

    auto bad = tool({"--tile2", path("x.png"), path("src.png"), "big"});
    EXPECT_EQ(std::tie(bad.exit_code, bad.err), std::tuple(1, "error: invalid stoul argument\n"));
}

TEST_F(PngCommands, MontageBringsImagesToOneWidth) {
    const image::RgbaImage small =
        image_of(4, 4, [](std::uint32_t x, std::uint32_t y, int c) { return c == 3 ? 255 : x * 50 + y * 7; });
    const image::RgbaImage large = image_of(16, 16, [](auto, auto, int) { return 9; });
    image::write_png_file(dir_ / "small.png", small, true);
    image::write_png_file(dir_ / "large.png", large, true);

    ASSERT_EQ(tool({"--montage", path("m.png"), "4", "4", "8", path("small.png"), path("large.png")}).exit_code, 0);
    const image::RgbaImage m = image::read_png_file(dir_ / "m.png");
    ASSERT_EQ(std::pair(m.width, m.height), std::pair(20u, 8u));  // two 8-pixel tiles and a 4-pixel gap
    // The small image was replicated 4x: window pixel (0,0) is source (1,1).
    EXPECT_EQ(pixel(m, 0, 0), pixel(small, 1, 1));
    EXPECT_EQ(pixel(m, 7, 7), pixel(small, 2, 2));
    EXPECT_EQ(pixel(m, 9, 3)[0], 255);  // the gap is white
    EXPECT_EQ(pixel(m, 12, 0)[0], 9);

    auto usage = tool({"--montage", path("m.png"), "0", "0", "8"});
    EXPECT_EQ(std::tie(usage.exit_code, usage.err),
              std::tuple(2, "usage: --montage <out.png> <x> <y> <size> <png>...\n"));
}

TEST_F(PngCommands, UiMontageBlendsOnACheckerboard) {
    // Left half fully transparent, right half opaque red.
    const image::RgbaImage sprite =
        image_of(8, 8, [](std::uint32_t x, std::uint32_t, int c) { return x >= 4 && (c == 0 || c == 3) ? 255 : 0; });
    image::write_png_file(dir_ / "sprite.png", sprite, true);
    ASSERT_EQ(tool({"--ui-montage", path("u.png"), "0", "0", "8", "8", "4", path("sprite.png"), path("sprite.png")})
                  .exit_code,
              0);
    const image::RgbaImage u = image::read_png_file(dir_ / "u.png");
    ASSERT_EQ(std::pair(u.width, u.height), std::pair(32u * 2 + 6, 32u));
    EXPECT_EQ(pixel(u, 0, 0)[0], 90);   // even checker square
    EXPECT_EQ(pixel(u, 8, 0)[0], 120);  // odd checker square
    EXPECT_EQ(pixel(u, 15, 15)[1], 90);
    EXPECT_EQ(pixel(u, 16, 0)[0], 255);  // source pixel 4 shown as a 4x4 block
    EXPECT_EQ(pixel(u, 19, 3)[1], 0);
    EXPECT_EQ(pixel(u, 33, 5)[0], 255);  // the gap
    EXPECT_EQ(pixel(u, 38, 0)[0], 90);   // second tile starts its own checkerboard
    EXPECT_EQ(pixel(u, 0, 0)[3], 255);

    auto usage = tool({"--ui-montage", path("u.png"), "0", "0", "8", "8", "4"});
    EXPECT_EQ(std::tie(usage.exit_code, usage.err),
              std::tuple(2, "usage: --ui-montage <out.png> <x> <y> <w> <h> <zoom> <png>...\n"));
}

}  // namespace
}  // namespace tarkeep::upscale
