// A plain DXT block encoder and the 2x2 reduction for mip chains.
#pragma once
#include <cstdint>
#include <vector>

namespace tarkeep::data {

// A plain DXT encoder (for made-up game files): per 4x4 block, bounding-box endpoints and the
// nearest palette entry per pixel. `format` is 4 (DXT1), 5 (DXT3) or 6 (DXT5).
// DXT1 blocks with a pixel of alpha below 128 use the three-colour mode and make
// those pixels transparent black. Pixels outside the image repeat the edge.
std::vector<std::uint8_t> encode_dxt(const std::uint8_t* rgba, std::uint32_t width, std::uint32_t height,
                                     std::uint32_t format);

// Placeholder until the searched encoder lands: both qualities encode as above.
enum class DxtQuality { fast, best };
struct DxtOptions {
    DxtQuality quality = DxtQuality::best;
    unsigned threads = 1;
};
std::vector<std::uint8_t> encode_dxt(const std::uint8_t* rgba, std::uint32_t width, std::uint32_t height,
                                     std::uint32_t format, const DxtOptions& options);

// 2x2 box reduction (odd sides keep their last row/column), for mip chains.
std::vector<std::uint8_t> halve_rgba(const std::uint8_t* rgba, std::uint32_t width, std::uint32_t height,
                                     std::uint32_t& half_width, std::uint32_t& half_height);

}  // namespace tarkeep::data
