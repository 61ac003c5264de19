// Pixel kernels around the outside upscaler: crop, pad, deblock, box reduction, back-projection,
// dering, bleed and resampling.
#pragma once
#include <cstdint>
#include <vector>

#include "image/rgba_image.h"

namespace tarkeep::image {

// Pixel operations around the outside upscaler. All are pure (or change only the image
// they are given), deterministic and safe on several threads at once. Each checks its
// arguments and throws std::runtime_error with the operation's name instead of
// reading outside an image.

// The width x height rectangle at (x, y); it must lie inside the image.
RgbaImage crop(const RgbaImage& image, std::uint32_t x, std::uint32_t y, std::uint32_t width, std::uint32_t height);

// Adds `margin` pixels on every side, the texture repeated periodically.
RgbaImage pad_wrap(const RgbaImage& image, int margin);

// Adds `margin` pixels on every side; per axis the texture wraps when that axis' wrap
// flag is set, else it is mirrored (edge pixel repeated) or clamped.
RgbaImage pad(const RgbaImage& image, int margin, bool mirror, bool wrap_x, bool wrap_y);

// Smooths the 4x4 block edges that DXT leaves on tiling textures: edges whose largest
// RGB step is non-zero and at most `threshold` are softened (the image wraps).
RgbaImage deblock(const RgbaImage& image, int threshold);

// Box reduction by `factor` (remainders dropped, halves rounded up); factor <= 1 copies.
RgbaImage box_down(const RgbaImage& image, std::uint32_t factor);

// Separable box blur of radius `radius` over a float image with three values per pixel,
// in place; positions outside wrap or clamp.
void box_blur3(std::vector<float>& values, std::uint32_t width, std::uint32_t height, int radius, bool wrap);

// Pulls an HD image (f times the source on both axes) towards the source so that its
// f x f box averages match the source. Alpha passes through.
RgbaImage back_project(const RgbaImage& hd, const RgbaImage& source, int passes, double strength, bool wrap);

// Clamps each HD colour into the range of the four nearest source pixels widened by
// `margin` (>= 0), removing halos. Alpha is unchanged. At the edges the neighbours are
// clamped, or with `wrap` taken from the opposite edge, so that a tiling texture keeps
// its seams invisible.
void dering(RgbaImage& hd, const RgbaImage& source, int margin, bool wrap = false);

// Gives pixels with alpha <= threshold the colour of their opaque neighbours, growing
// for up to `passes` rings; the rest get the mean opaque colour. Alpha is unchanged.
void bleed(RgbaImage& image, int threshold, int passes);

// (v, v, v, 255) with v = channel `channel` (0..3) of each pixel.
RgbaImage channel_to_grey(const RgbaImage& image, int channel);

// Bilinear resampling to width x height (any factor, edges clamped).
RgbaImage resize_bilinear(const RgbaImage& image, std::uint32_t width, std::uint32_t height);

}  // namespace tarkeep::image
