// A built-in 5x7 bitmap font for labelling pictures: no font files, no dependencies.
#pragma once
#include <array>
#include <cstdint>
#include <string_view>

#include "image/rgba_image.h"

namespace tarkeep::image {

inline constexpr std::uint32_t kGlyphWidth = 5;
inline constexpr std::uint32_t kGlyphHeight = 7;
// A line of text: the glyphs, and below them the room that g, p, q and y reach down into.
inline constexpr std::uint32_t kLineHeight = 9;
// One glyph every kGlyphAdvance columns: a blank column between letters.
inline constexpr std::uint32_t kGlyphAdvance = 6;

using Rgba = std::array<std::uint8_t, 4>;
inline constexpr Rgba kBlack = {0, 0, 0, 255};

// Draws `text` left to right from (x, y), the top-left of its line, one glyph per
// byte; bytes outside printable ASCII show as '?'. Pixels at or right of x + max_width,
// and outside the image, are left alone, so a label never spills into its neighbour.
void draw_text(RgbaImage& image, std::uint32_t x, std::uint32_t y, std::string_view text, std::uint32_t max_width,
               Rgba colour = kBlack);

}  // namespace tarkeep::image
