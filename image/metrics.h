// Quality metrics of upscaled images: consistency with the source, seams across wraps, sprite rings.
#pragma once
#include <cstdint>
#include <span>
#include <string>

#include "image/rgba_image.h"

namespace tarkeep::image {

// A network output whose consistency is above this many levels is rejected.
inline constexpr double kUnusableConsistency = 60.0;

// "network output unusable (consistency <value as %f>)"
std::string unusable_output_message(double consistency);

// Mean |source - box mean of the HD block| over R, G and B, in levels. The HD image must
// be exactly f times the source (f = HD width / source width) on both axes.
double consistency(const RgbaImage& hd, const RgbaImage& source);

// How strongly an image's opposite borders differ compared with neighbours inside.
struct SeamStats {
    double inner_x = 0;
    double seam_x = 0;
    double inner_y = 0;
    double seam_y = 0;
    double mean_r = 0;
    double mean_g = 0;
    double mean_b = 0;
};

SeamStats seam_stats(const RgbaImage& image);

// seam / inner per axis, 0 when the inner value is not above 0.
double ratio_x(const SeamStats& stats);
double ratio_y(const SeamStats& stats);

// An axis tiles when the test is on (threshold > 0), its inner value is above half a
// level and its seam ratio is below the threshold.
bool axis_tiles(double inner, double ratio, double threshold);

// A rectangle in source pixels.
struct PixelRect {
    std::uint32_t x = 0;
    std::uint32_t y = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// Error sums and counts of sprite rectangles: the ring is each rectangle's outer
// one-pixel border, the rest is inner. Colour errors count only where the source alpha
// is at least 128.
struct RingStats {
    double ring_colour_error = 0;
    double inner_colour_error = 0;
    double ring_alpha_error = 0;
    double inner_alpha_error = 0;
    double ring_colour_count = 0;
    double inner_colour_count = 0;
    double ring_alpha_count = 0;
    double inner_alpha_count = 0;
};

// `hd` is twice the source size; every rectangle must lie inside the source.
RingStats ring_stats(const RgbaImage& hd, const RgbaImage& source, std::span<const PixelRect> rects);

}  // namespace tarkeep::image
