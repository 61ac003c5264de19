// Bilinear resampling to any size, and one channel shown as a grey image.
#include <algorithm>
#include <cmath>

#include "image/kernels.h"
#include "image/kernel_support.h"

namespace tarkeep::image {
using namespace detail;
namespace {

struct Tap {
    std::size_t i0, i1;
    float weight;
};

std::vector<Tap> axis_taps(std::uint32_t n, std::uint32_t m) {
    std::vector<Tap> taps(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        const double t = (i + 0.5) * m / n - 0.5;
        const double floor_t = std::floor(t);
        const auto i0 = static_cast<std::int64_t>(floor_t);
        taps[i] = {static_cast<std::size_t>(clamp_index(i0, m)), static_cast<std::size_t>(clamp_index(i0 + 1, m)),
                   static_cast<float>(t - floor_t)};
    }
    return taps;
}

// One source row interpolated along x at every result column, all four channels.
void interpolate_row(const std::uint8_t* row, const std::vector<Tap>& columns, float* out) {
    for (std::size_t x = 0; x < columns.size(); ++x) {
        const Tap& t = columns[x];
        for (int c = 0; c < 4; ++c) {
            const float a = row[t.i0 * 4 + c], b = row[t.i1 * 4 + c];
            out[x * 4 + c] = a + (b - a) * t.weight;
        }
    }
}

}  // namespace

RgbaImage channel_to_grey(const RgbaImage& image, int channel) {
    require_valid("channel_to_grey", image);
    if (channel < 0 || channel > 3) fail("channel_to_grey", "channel " + std::to_string(channel) + " is not 0..3");
    RgbaImage out{image.width, image.height, std::vector<std::uint8_t>(image.pixels.size())};
    for (std::size_t i = 0; i < image.pixels.size(); i += 4) {
        const std::uint8_t v = image.pixels[i + static_cast<std::size_t>(channel)];
        out.pixels[i] = out.pixels[i + 1] = out.pixels[i + 2] = v;
        out.pixels[i + 3] = 255;
    }
    return out;
}

RgbaImage resize_bilinear(const RgbaImage& image, std::uint32_t width, std::uint32_t height) {
    require_valid("resize_bilinear", image);
    RgbaImage out{width, height, {}};
    out.pixels.assign(std::size_t{width} * height * 4, 0);
    if (width == 0 || height == 0 || image.width == 0 || image.height == 0) return out;

    const auto columns = axis_taps(width, image.width);
    const auto rows = axis_taps(height, image.height);
    const std::size_t stride = std::size_t{width} * 4;
    std::vector<float> top(stride), bottom(stride);
    std::size_t top_row = SIZE_MAX, bottom_row = SIZE_MAX;
    const auto source_row = [&](std::size_t y) { return image.pixels.data() + y * image.width * 4; };
    for (std::uint32_t y = 0; y < height; ++y) {
        const Tap& t = rows[y];
        // Rows that share source rows share their horizontal interpolation.
        if (t.i0 != top_row) {
            if (t.i0 == bottom_row) {
                top.swap(bottom);
                bottom_row = SIZE_MAX;
            } else {
                interpolate_row(source_row(t.i0), columns, top.data());
            }
            top_row = t.i0;
        }
        if (t.i1 != bottom_row) {
            if (t.i1 == top_row) {
                bottom = top;
            } else {
                interpolate_row(source_row(t.i1), columns, bottom.data());
            }
            bottom_row = t.i1;
        }
        std::uint8_t* dst = out.pixels.data() + y * stride;
        for (std::size_t i = 0; i < stride; ++i) {
            const float v = top[i] + (bottom[i] - top[i]) * t.weight;
            dst[i] = round_level(std::clamp(v, 0.0f, 255.0f));
        }
    }
    return out;
}

}  // namespace tarkeep::image
