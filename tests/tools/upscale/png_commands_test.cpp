// The PNG analysis commands, run as the user runs them.
#include <gtest/gtest.h>

#include "image/caption_font.h"
#include "image/png_files.h"
#include "platform/cmdline.h"
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

TEST(PngCommands, SeamTile2AndMontages) {
    test::TempDir dir_;
    const auto path = [&](const char* name) { return (dir_ / name).string(); };
    const auto tool = test::run_upscale;
    // A ramp 0..255 across, one pixel wide and thin (no horizontal pairs), uniform, and independent random
    // pixels whose wrap-around pairs look just like the inner ones; the difference is the mean of the three
    // colour channels, alpha left out.
    for (const char* folder : {"set", "empty"}) test::touch(dir_ / folder / "readme.txt", "not an image");
    image::write_png_file(dir_ / "set/a_ramp.png", image_of(256, 2, [](auto x, auto, int c) { return c < 3 ? x : 9; }),
                          true);
    image::write_png_file(dir_ / "set/b_thin.png", test::random_image(1, 6, 3), true);
    image::write_png_file(dir_ / "set/c_uniform.png", image_of(5, 4, [](auto, auto, int c) { return 77 - c; }), true);
    image::write_png_file(dir_ / "set/d_tiling.png", test::random_image(64, 64, 5), true);
    image::write_png_file(dir_ / "set/e_mean.png", {2, 1, {10, 20, 30, 0, 11, 22, 35, 255}}, true);
    const std::string summary = "summary 5 images: seam/inner ratio mean 25.887 max 255.00, mean excess 24.38 levels\n";
    EXPECT_EQ(tool({"--seam", path("set")}).out,
              "a_ramp.png 256x2 inner_x 1.00 seam_x 255.00 ratio_x 255.00 | inner_y 0.00 seam_y 0.00 ratio_y 0.00 | "
              "mean 127.5 127.5 127.5\nb_thin.png 1x6 inner_x 0.00 seam_x 0.00 ratio_x 0.00 | inner_y 79.40 seam_y "
              "69.00 ratio_y 0.87 | mean 180.5 154.5 163.3\nc_uniform.png 5x4 inner_x 0.00 seam_x 0.00 ratio_x 0.00 | "
              "inner_y 0.00 seam_y 0.00 ratio_y 0.00 | mean 77.0 76.0 75.0\nd_tiling.png 64x64 inner_x 85.60 seam_x "
              "81.28 ratio_x 0.95 | inner_y 84.68 seam_y 89.24 ratio_y 1.05 | mean 127.2 126.9 130.7\ne_mean.png 2x1 "
              "inner_x 2.67 seam_x 2.67 ratio_x 1.00 | inner_y 0.00 seam_y 0.00 ratio_y 0.00 | mean 10.5 21.0 32.5\n" +
                  summary);
    EXPECT_EQ(tool({"--seam", "--quiet", path("set")}).out, summary);
    EXPECT_EQ(tool({"--seam", path("empty")}).out,
              "summary 0 images: seam/inner ratio mean 0.000 max 0.00, mean excess 0.00 levels\n");
    auto missing = tool({"--seam", path("nothing.png")});
    EXPECT_EQ(std::tie(missing.exit_code, missing.err),
              std::tuple(1, "error: cannot read " + path("nothing.png") + "\n"));
    // --montage brings images to one width (the small one replicated 4x: window pixel (0,0) is its (1,1)) with
    // white gaps; --ui-montage blends sprites (left half clear, right half opaque red) on checkerboards.
    image::write_png_file(dir_ / "small.png",
                          image_of(4, 4, [](auto x, auto y, int c) { return c == 3 ? 255 : x * 50 + y * 7; }), true);
    image::write_png_file(dir_ / "large.png", image_of(16, 16, [](auto, auto, int) { return 9; }), true);
    image::write_png_file(dir_ / "sprite.png",
                          image_of(8, 8, [](auto x, auto, int c) { return x >= 4 && (c == 0 || c == 3) ? 255 : 0; }),
                          true);
    ASSERT_EQ(tool({"--montage", path("m.png"), "4", "4", "8", path("small.png"), path("large.png")}).exit_code, 0);
    ASSERT_EQ(tool({"--ui-montage", path("u.png"), "0", "0", "8", "8", "4", path("sprite.png"), path("sprite.png")})
                  .exit_code,
              0);
    const image::RgbaImage m = image::read_png_file(dir_ / "m.png"), u = image::read_png_file(dir_ / "u.png");
    ASSERT_EQ(std::tuple(m.width, m.height, u.width, u.height), std::tuple(20u, 8u, 32u * 2 + 6, 32u));
    const std::tuple<const image::RgbaImage*, std::uint32_t, std::uint32_t, int, int> spots[] = {
        {&m, 0, 0, 0, 57},   {&m, 7, 7, 1, 114}, {&m, 9, 3, 0, 255},  {&m, 12, 0, 0, 9},    // source (2,2); gap; large
        {&u, 0, 0, 0, 90},   {&u, 8, 0, 0, 120}, {&u, 15, 15, 1, 90}, {&u, 0, 0, 3, 255},   // even and odd squares
        {&u, 16, 0, 0, 255}, {&u, 19, 3, 1, 0},  {&u, 33, 5, 0, 255}, {&u, 38, 0, 0, 90}};  // 4x4 block; gap; 2nd tile
    for (const auto& [image, x, y, c, value] : spots)
        EXPECT_EQ(image->pixels[(std::size_t{y} * image->width + x) * 4 + std::size_t(c)], value) << x << "," << y;
    const image::RgbaImage source =
        image_of(4, 4, [](std::uint32_t x, std::uint32_t y, int c) { return c == 3 ? 255 : x * 16 + y + c * 100; });
    image::write_png_file(dir_ / "src.png", source, true);

    const auto wrapped = [&](auto x, auto y, int c) { return source.pixels[((y % 4) * 4 + x % 4) * 4 + unsigned(c)]; };
    for (std::uint32_t size : {1u, 8u}) {  // the source repeated, or cut
        ASSERT_EQ(tool({"--tile2", path("t.png"), path("src.png"), std::to_string(size)}).exit_code, 0);
        EXPECT_EQ(image::read_png_file(dir_ / "t.png").pixels, image_of(size, size, wrapped).pixels) << size;
    }
}

// A number that is not a plain 32-bit decimal, or a 0 that would make an empty picture, is
// bad usage, named by its placeholder, before any PNG is read (this one does not exist) or written.
TEST(PngCommands, MontagesRefuseBadNumbersFirst) {
    test::TempDir dir_;
    const std::string out = (dir_ / "out.png").string(), png = (dir_ / "missing.png").string();
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--montage", out, "0", "0", "0", png}, "<size>: 0"},
        {{"--montage", out, "-1", "0", "8", png}, "<x>: -1"},
        {{"--montage", out, "0", "8x", "8", png}, "<y>: 8x"},
        {{"--ui-montage", out, "0", "0", "0", "8", "1", png}, "<w>: 0"},
        {{"--ui-montage", out, "0", "0", "8", "0", "1", png}, "<h>: 0"},
        {{"--ui-montage", out, "0", "0", "8", "8", "0", png}, "<zoom>: 0"},
        {{"--tile2", out, png, "0"}, "<size>: 0"},
        {{"--tile2", out, png, "big"}, "<size>: big"},
    };
    for (const auto& [arguments, refusal] : cases) {
        const auto run = test::run_upscale(arguments);
        EXPECT_EQ(std::tie(run.exit_code, run.err), std::tuple(2, "error: bad value for " + refusal + "\n"));
        EXPECT_FALSE(fs::exists(out)) << refusal;
    }
    // A tile2 picture past 2^31 pixels is refused before its source is read, not left to exhaust memory.
    const auto huge = test::run_upscale({"--tile2", out, png, "46341"});
    EXPECT_EQ(std::tie(huge.exit_code, huge.err), std::tuple(1, "error: tile2 picture too large: 46341x46341\n"));
}

// --captions adds a 15-pixel row under unchanged tiles: each file's name, 3 pixels down at its
// tile's column, cut at the tile's 20-pixel width so that the gap after it stays white.
TEST(PngCommands, CaptionRowNamesEachTile) {
    test::TempDir dir_;
    const std::string folder = platform::path_to_utf8(dir_.path()) + "/", out = folder + "out.png";
    const std::vector<std::string> pngs = {folder + "a_name_too_long_for_its_tile.png", folder + "\xC3\xA9.png"};
    for (const auto& png : pngs)
        image::write_png_file(platform::path_from_utf8(png), test::random_image(24, 24, 7), true);
    for (const auto& [command, gap] : {std::pair{"--montage 2 2 20", 4u}, {"--ui-montage 0 0 5 4 4", 6u}}) {
        std::vector<std::string> arguments = test::words({out}, command, pngs);
        ASSERT_EQ(test::run_upscale(arguments).exit_code, 0);
        image::RgbaImage expected = image::read_png_file(out);
        arguments.push_back("--captions");
        ASSERT_EQ(test::run_upscale(arguments).exit_code, 0);
        const std::uint32_t caption_top = expected.height + 3;
        expected.height += 15;
        expected.pixels.resize(std::size_t{expected.width} * expected.height * 4, 255);
        image::draw_text(expected, 0, caption_top, "a_name_too_long_for_its_tile.png", 20);
        image::draw_text(expected, 20 + gap, caption_top, "??.png", 20);
        EXPECT_EQ(image::read_png_file(out).pixels, expected.pixels) << command;
    }
}

}  // namespace
}  // namespace tarkeep::upscale
