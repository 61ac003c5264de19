// DXT encoding of RGBA images.
#pragma once
#include <cstdint>
#include <vector>

namespace tarkeep::data {

// fast: bounding-box endpoints and the nearest palette entry per pixel, the encoder the
// made-up game files were written with (its bytes must not change). best: endpoints fitted
// to the pixels and searched against the game's own decoder arithmetic.
enum class DxtQuality { fast, best };

struct DxtOptions {
    DxtQuality quality = DxtQuality::best;
    unsigned threads = 1;  // worker threads over rows of blocks; 0 counts as 1
};

// Encodes width x height RGBA pixels as DXT blocks, left to right and top to bottom.
// `format` is 4 (DXT1), 5 (DXT3) or 6 (DXT5); other codes throw TexError
// "encode_dxt: not a DXT format". Pixels outside the image repeat the last row and column.
// A block's bytes depend only on its own 16 pixels (never on its position, its neighbours or
// the thread count), so an image that changes in some blocks changes only those blocks.
// DXT1 pixels with alpha below 128 become transparent black (the three-colour mode).
// A 0-sized image still gives its one block.
std::vector<std::uint8_t> encode_dxt(const std::uint8_t* rgba, std::uint32_t width, std::uint32_t height,
                                     std::uint32_t format, const DxtOptions& options);

}  // namespace tarkeep::data
