// Small helpers shared by the image kernels.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

#include "image/rgba_image.h"

namespace tarkeep::image::detail {

inline std::int64_t wrap_index(std::int64_t i, std::int64_t n) { return ((i % n) + n) % n; }

// Edge pixel repeated: ... 1, 0, 0, 1 ...
inline std::int64_t mirror_index(std::int64_t i, std::int64_t n) {
    const std::int64_t t = ((i % (2 * n)) + 2 * n) % (2 * n);
    return t < n ? t : 2 * n - t - 1;
}

inline std::int64_t clamp_index(std::int64_t i, std::int64_t n) { return i < 0 ? 0 : (i >= n ? n - 1 : i); }

// Round to nearest, halves away from zero, for a value already clamped to 0..255.
inline std::uint8_t round_level(float v) {
    const int whole = static_cast<int>(v);  // truncation is floor for v >= 0
    return static_cast<std::uint8_t>(whole + (v - static_cast<float>(whole) >= 0.5f ? 1 : 0));
}
inline std::uint8_t round_level(double v) {
    const int whole = static_cast<int>(v);
    return static_cast<std::uint8_t>(whole + (v - static_cast<double>(whole) >= 0.5 ? 1 : 0));
}

[[noreturn]] inline void fail(const char* operation, const std::string& what) {
    throw std::runtime_error(std::string(operation) + ": " + what);
}

inline std::string size_text(std::uint64_t w, std::uint64_t h) { return std::to_string(w) + "x" + std::to_string(h); }

// The pixel buffer must hold exactly width x height pixels.
inline void require_valid(const char* operation, const RgbaImage& image) {
    if (image.pixels.size() != std::uint64_t{image.width} * image.height * 4)
        fail(operation, "pixel buffer of " + std::to_string(image.pixels.size()) + " bytes does not match " +
                            size_text(image.width, image.height));
}

inline void require_not_empty(const char* operation, const RgbaImage& image, const char* role) {
    if (image.width == 0 || image.height == 0)
        fail(operation, std::string(role) + " image " + size_text(image.width, image.height) + " is empty");
}

// The scale factor between an HD image and its source; the HD image must be exactly
// f times the source on both axes.
inline std::uint32_t require_scaled(const char* operation, const RgbaImage& hd, const RgbaImage& source) {
    require_valid(operation, hd);
    require_valid(operation, source);
    require_not_empty(operation, source, "source");
    const std::uint32_t f = hd.width / source.width;
    if (f == 0 || std::uint64_t{hd.width} != std::uint64_t{f} * source.width ||
        std::uint64_t{hd.height} != std::uint64_t{f} * source.height)
        fail(operation, "HD image " + size_text(hd.width, hd.height) + " is not a whole multiple of the source " +
                            size_text(source.width, source.height));
    return f;
}

}  // namespace tarkeep::image::detail
