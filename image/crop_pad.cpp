// Cropping, and padding with wrapped, mirrored or clamped edges through per-axis index tables.
#include <cstring>

#include "image/kernels.h"
#include "image/kernel_support.h"

namespace tarkeep::image {
using namespace detail;
namespace {

enum class Edge { wrap, mirror, clamp };

// Source index of every padded position along one axis.
std::vector<std::uint32_t> edge_table(std::uint32_t length, int margin, Edge edge) {
    std::vector<std::uint32_t> table(length + 2 * static_cast<std::size_t>(margin));
    for (std::size_t i = 0; i < table.size(); ++i) {
        const std::int64_t at = static_cast<std::int64_t>(i) - margin;
        const std::int64_t n = length;
        const std::int64_t mapped = edge == Edge::wrap     ? wrap_index(at, n)
                                    : edge == Edge::mirror ? mirror_index(at, n)
                                                           : clamp_index(at, n);
        table[i] = static_cast<std::uint32_t>(mapped);
    }
    return table;
}

RgbaImage pad_with(const char* operation, const RgbaImage& image, int margin, Edge edge_x, Edge edge_y) {
    require_valid(operation, image);
    if (margin < 0) fail(operation, "negative margin " + std::to_string(margin));
    if (image.width == 0 || image.height == 0)
        fail(operation, "cannot pad an empty image " + size_text(image.width, image.height));
    const std::uint64_t out_w = std::uint64_t{image.width} + 2 * std::uint64_t(margin);
    const std::uint64_t out_h = std::uint64_t{image.height} + 2 * std::uint64_t(margin);
    if (out_w > UINT32_MAX || out_h > UINT32_MAX) fail(operation, "margin " + std::to_string(margin) + " too large");

    const auto columns = edge_table(image.width, margin, edge_x);
    const auto rows = edge_table(image.height, margin, edge_y);
    RgbaImage out{static_cast<std::uint32_t>(out_w), static_cast<std::uint32_t>(out_h), {}};
    out.pixels.resize(out_w * out_h * 4);
    std::uint8_t* dst = out.pixels.data();
    for (std::uint32_t row : rows) {
        const std::uint8_t* src = image.pixels.data() + std::size_t{row} * image.width * 4;
        // The middle of each row is a straight copy; only the margins need the table.
        for (std::size_t x = 0; x < columns.size(); ++x) {
            if (x == static_cast<std::size_t>(margin)) {
                std::memcpy(dst, src, std::size_t{image.width} * 4);
                dst += std::size_t{image.width} * 4;
                x += image.width - 1;
                continue;
            }
            std::memcpy(dst, src + std::size_t{columns[x]} * 4, 4);
            dst += 4;
        }
    }
    return out;
}

}  // namespace

RgbaImage crop(const RgbaImage& image, std::uint32_t x, std::uint32_t y, std::uint32_t width, std::uint32_t height) {
    require_valid("crop", image);
    if (std::uint64_t{x} + width > image.width || std::uint64_t{y} + height > image.height)
        fail("crop", "rectangle " + size_text(width, height) + " at " + std::to_string(x) + "," + std::to_string(y) +
                         " lies outside the " + size_text(image.width, image.height) + " image");
    RgbaImage out{width, height, {}};
    out.pixels.resize(std::size_t{width} * height * 4);
    const std::size_t row_bytes = std::size_t{width} * 4;
    for (std::uint32_t r = 0; r < height; ++r) {
        if (row_bytes == 0) break;
        std::memcpy(out.pixels.data() + r * row_bytes,
                    image.pixels.data() + ((std::size_t{y} + r) * image.width + x) * 4, row_bytes);
    }
    return out;
}

RgbaImage pad_wrap(const RgbaImage& image, int margin) {
    return pad_with("pad_wrap", image, margin, Edge::wrap, Edge::wrap);
}

RgbaImage pad(const RgbaImage& image, int margin, bool mirror, bool wrap_x, bool wrap_y) {
    const Edge fallback = mirror ? Edge::mirror : Edge::clamp;
    return pad_with("pad", image, margin, wrap_x ? Edge::wrap : fallback, wrap_y ? Edge::wrap : fallback);
}

}  // namespace tarkeep::image
