// --tile2, --montage and --ui-montage: pictures for judging results by eye.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <optional>
#include <vector>

#include "image/caption_font.h"
#include "image/kernels.h"
#include "image/png_files.h"
#include "platform/cmdline.h"
#include "tools/upscale/commands.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;

// A number positional: its placeholder in the usage line, and whether 0 makes sense (a
// window corner) or would make an empty picture (a size or zoom).
struct NumberSlot {
    const char* placeholder;
    bool zero_allowed;
};

// The positionals from `first` on, as plain 32-bit decimals. The first one that is not
// (text, sign, fraction, out of range, or a forbidden 0) is reported as bad usage and
// nothing is returned, before any file is touched.
template <std::size_t N>
std::optional<std::array<std::uint32_t, N>> read_numbers(const Args& args, std::size_t first,
                                                         const NumberSlot (&slots)[N]) {
    std::array<std::uint32_t, N> numbers{};
    for (std::size_t i = 0; i < N; ++i) {
        const std::string& text = args.positional.at(first + i);
        const char* end = text.data() + text.size();
        const auto [stop, error] = std::from_chars(text.data(), end, numbers[i]);
        if (error != std::errc{} || stop != end || (numbers[i] == 0 && !slots[i].zero_allowed)) {
            std::fprintf(stderr, "error: bad value for %s: %s\n", slots[i].placeholder, text.c_str());
            return std::nullopt;
        }
    }
    return numbers;
}

// Nearest-neighbour scaling to `width`, keeping the aspect (height rounded down).
image::RgbaImage resize_to_width(const image::RgbaImage& image, std::uint32_t width) {
    if (image.width == width || image.width == 0) return image;
    image::RgbaImage out;
    out.width = width;
    out.height = static_cast<std::uint32_t>(std::uint64_t{image.height} * width / image.width);
    out.pixels.resize(std::size_t{out.width} * out.height * 4);
    std::vector<std::uint32_t> source_x(out.width);
    for (std::uint32_t x = 0; x < out.width; ++x)
        source_x[x] = static_cast<std::uint32_t>(std::uint64_t{x} * image.width / width);
    for (std::uint32_t y = 0; y < out.height; ++y) {
        const auto sy = static_cast<std::uint32_t>(std::uint64_t{y} * image.height / out.height);
        const std::uint8_t* src_row = &image.pixels[std::size_t{sy} * image.width * 4];
        std::uint8_t* dst = &out.pixels[std::size_t{y} * out.width * 4];
        for (std::uint32_t x = 0; x < out.width; ++x, dst += 4)
            std::copy_n(src_row + std::size_t{source_x[x]} * 4, 4, dst);
    }
    return out;
}

// Every PNG from positional `first` on, all brought to the widest one's width.
std::vector<image::RgbaImage> read_images_same_width(const Args& args, std::size_t first) {
    std::vector<image::RgbaImage> images;
    for (std::size_t i = first; i < args.positional.size(); ++i) images.push_back(image::read_png_file(args.path(i)));
    std::uint32_t widest = 0;
    for (const auto& image : images) widest = std::max(widest, image.width);
    for (auto& image : images) image = resize_to_width(image, widest);
    return images;
}

// Pictures are held whole in memory: refuse sizes that would exhaust it.
void require_picture_fits(const char* what, std::uint64_t width, std::uint64_t height) {
    if (width > UINT32_MAX || height > UINT32_MAX || width * height > (std::uint64_t{1} << 31))
        throw std::runtime_error(std::string(what) + " too large: " + std::to_string(width) + "x" +
                                 std::to_string(height));
}

image::RgbaImage white_image(std::uint64_t width, std::uint64_t height) {
    require_picture_fits("montage", width, height);
    image::RgbaImage image;
    image.width = static_cast<std::uint32_t>(width);
    image.height = static_cast<std::uint32_t>(height);
    image.pixels.assign(std::size_t{image.width} * image.height * 4, 255);
    return image;
}

// The optional caption row under the tiles: a margin, one line of text, a margin.
constexpr std::uint32_t kCaptionMargin = 3;

std::uint32_t caption_height(const Args& args) {
    return args.flag("--captions") ? image::kLineHeight + 2 * kCaptionMargin : 0;
}

// Each tile's file name in the row below the tiles, cut at the tile's right edge.
void draw_captions(image::RgbaImage& out, const Args& args, std::size_t first_png, std::uint32_t tile_width,
                   std::uint64_t gap, std::uint32_t tiles_height) {
    for (std::size_t i = first_png; i < args.positional.size(); ++i) {
        const auto column = static_cast<std::uint32_t>((i - first_png) * (tile_width + gap));
        const std::string name = platform::path_to_utf8(args.path(i).filename());
        image::draw_text(out, column, tiles_height + kCaptionMargin, name, tile_width);
    }
}

}  // namespace

int cmd_tile2(const Args& args) {
    const auto numbers = read_numbers(args, 2, {{"<size>", false}});
    if (!numbers) return 2;
    const auto [size] = *numbers;
    require_picture_fits("tile2 picture", size, size);
    const fs::path out = args.path(0);
    const image::RgbaImage image = image::read_png_file(args.path(1));
    const image::RgbaImage padded = pad_wrap(image, static_cast<int>(size / 2));
    image::write_png_file(out, crop(padded, 0, 0, size, size), true);
    return 0;
}

int cmd_montage(const Args& args) {
    const auto numbers = read_numbers(args, 1, {{"<x>", true}, {"<y>", true}, {"<size>", false}});
    if (!numbers) return 2;
    const auto [x, y, size] = *numbers;
    const fs::path out_path = args.path(0);
    const std::vector<image::RgbaImage> images = read_images_same_width(args, 4);
    constexpr std::uint64_t kGap = 4;
    image::RgbaImage out =
        white_image((size + kGap) * images.size() - kGap, std::uint64_t{size} + caption_height(args));
    for (std::size_t i = 0; i < images.size(); ++i) {
        // The window must lie inside the image: crop checks it.
        const image::RgbaImage window = crop(images[i], x, y, size, size);
        const std::size_t column = i * (size + kGap);
        for (std::uint32_t row = 0; row < size; ++row)
            std::copy_n(&window.pixels[std::size_t{row} * size * 4], std::size_t{size} * 4,
                        &out.pixels[(std::size_t{row} * out.width + column) * 4]);
    }
    draw_captions(out, args, 4, size, kGap, size);
    image::write_png_file(out_path, out, true);
    return 0;
}

int cmd_ui_montage(const Args& args) {
    const auto numbers =
        read_numbers(args, 1, {{"<x>", true}, {"<y>", true}, {"<w>", false}, {"<h>", false}, {"<zoom>", false}});
    if (!numbers) return 2;
    const auto [x, y, w, h, zoom] = *numbers;
    const fs::path out_path = args.path(0);
    const std::vector<image::RgbaImage> images = read_images_same_width(args, 6);
    constexpr std::uint64_t kGap = 6;
    const std::uint64_t tile_w = std::uint64_t{w} * zoom;
    const std::uint64_t tile_h = std::uint64_t{h} * zoom;
    image::RgbaImage out = white_image((tile_w + kGap) * images.size() - kGap, tile_h + caption_height(args));
    for (std::size_t i = 0; i < images.size(); ++i) {
        const image::RgbaImage& image = images[i];
        if (image.width == 0 || image.height == 0) continue;
        const std::uint64_t column = i * (tile_w + kGap);
        for (std::uint64_t oy = 0; oy < tile_h; ++oy) {
            const std::uint64_t sy = std::min<std::uint64_t>(y + oy / zoom, image.height - 1);
            for (std::uint64_t ox = 0; ox < tile_w; ++ox) {
                const std::uint64_t sx = std::min<std::uint64_t>(x + ox / zoom, image.width - 1);
                const std::uint8_t* src = &image.pixels[(sy * image.width + sx) * 4];
                std::uint8_t* dst = &out.pixels[(oy * out.width + column + ox) * 4];
                const unsigned grey = ((ox >> 3) + (oy >> 3)) % 2 == 1 ? 120 : 90;
                const unsigned a = src[3];
                for (int c = 0; c < 3; ++c)
                    dst[c] = static_cast<std::uint8_t>((src[c] * a + grey * (255 - a) + 127) / 255);
                dst[3] = 255;
            }
        }
    }
    // The picture fits in 32 bits, so does one tile of it.
    draw_captions(out, args, 6, static_cast<std::uint32_t>(tile_w), kGap, static_cast<std::uint32_t>(tile_h));
    image::write_png_file(out_path, out, true);
    return 0;
}

}  // namespace tarkeep::upscale
