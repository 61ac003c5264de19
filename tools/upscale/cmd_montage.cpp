// --tile2, --montage and --ui-montage: pictures for judging results by eye.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "image/kernels.h"
#include "image/png_files.h"
#include "tools/upscale/commands.h"
#include "tools/upscale/numbers.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;

std::uint32_t positional_number(const Args& args, std::size_t i) { return to_unsigned(args.positional.at(i)); }

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

image::RgbaImage white_image(std::uint64_t width, std::uint64_t height) {
    if (width > UINT32_MAX || height > UINT32_MAX || width * height > (std::uint64_t{1} << 31))
        throw std::runtime_error("montage too large: " + std::to_string(width) + "x" + std::to_string(height));
    image::RgbaImage image;
    image.width = static_cast<std::uint32_t>(width);
    image.height = static_cast<std::uint32_t>(height);
    image.pixels.assign(std::size_t{image.width} * image.height * 4, 255);
    return image;
}

}  // namespace

int cmd_tile2(const Args& args) {
    const fs::path out = args.path(0);
    const image::RgbaImage image = image::read_png_file(args.path(1));
    const std::uint32_t size = positional_number(args, 2);
    const image::RgbaImage padded = pad_wrap(image, static_cast<int>(size / 2));
    image::write_png_file(out, crop(padded, 0, 0, size, size), true);
    return 0;
}

int cmd_montage(const Args& args) {
    if (args.positional.size() < 5) {
        std::fputs("usage: --montage <out.png> <x> <y> <size> <png>...\n", stderr);
        return 2;
    }
    const fs::path out_path = args.path(0);
    const std::uint32_t x = positional_number(args, 1);
    const std::uint32_t y = positional_number(args, 2);
    const std::uint32_t size = positional_number(args, 3);
    const std::vector<image::RgbaImage> images = read_images_same_width(args, 4);
    constexpr std::uint64_t kGap = 4;
    image::RgbaImage out = white_image((size + kGap) * images.size() - kGap, size);
    for (std::size_t i = 0; i < images.size(); ++i) {
        // The window must lie inside the image: crop checks it.
        const image::RgbaImage window = crop(images[i], x, y, size, size);
        const std::size_t column = i * (size + kGap);
        for (std::uint32_t row = 0; row < size; ++row)
            std::copy_n(&window.pixels[std::size_t{row} * size * 4], std::size_t{size} * 4,
                        &out.pixels[(std::size_t{row} * out.width + column) * 4]);
    }
    image::write_png_file(out_path, out, true);
    return 0;
}

int cmd_ui_montage(const Args& args) {
    if (args.positional.size() < 7) {
        std::fputs("usage: --ui-montage <out.png> <x> <y> <w> <h> <zoom> <png>...\n", stderr);
        return 2;
    }
    const fs::path out_path = args.path(0);
    const std::uint32_t x = positional_number(args, 1);
    const std::uint32_t y = positional_number(args, 2);
    const std::uint32_t w = positional_number(args, 3);
    const std::uint32_t h = positional_number(args, 4);
    const std::uint32_t zoom = positional_number(args, 5);
    const std::vector<image::RgbaImage> images = read_images_same_width(args, 6);
    constexpr std::uint64_t kGap = 6;
    const std::uint64_t tile_w = std::uint64_t{w} * zoom;
    const std::uint64_t tile_h = std::uint64_t{h} * zoom;
    image::RgbaImage out = white_image((tile_w + kGap) * images.size() - kGap, tile_h);
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
    image::write_png_file(out_path, out, true);
    return 0;
}

}  // namespace tarkeep::upscale
