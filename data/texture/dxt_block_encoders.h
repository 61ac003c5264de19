// The block encoders behind encode_dxt: one 4x4 block of RGBA pixels in, its DXT bytes out.
#pragma once
#include <array>
#include <cstdint>

namespace tarkeep::data {

// 16 pixels, row by row, each R, G, B, A.
using RgbaBlock = std::array<std::array<std::uint8_t, 4>, 16>;

// The 8 colour bytes. dxt1: pixels with alpha below 128 become transparent black (three-colour
// mode); otherwise (DXT3/5, always decoded with four colours) the three-colour mode is never used.
void encode_colour_fast(const RgbaBlock& block, bool dxt1, std::uint8_t* out);
void encode_colour_best(const RgbaBlock& block, bool dxt1, std::uint8_t* out);

// The 8 alpha bytes of DXT3 (4 bits per pixel, rounded) and of DXT5 (two endpoints and 3-bit indices).
void encode_dxt3_alpha(const RgbaBlock& block, std::uint8_t* out);
void encode_dxt5_alpha_fast(const RgbaBlock& block, std::uint8_t* out);
void encode_dxt5_alpha_best(const RgbaBlock& block, std::uint8_t* out);

}  // namespace tarkeep::data
