// Undoing the PNG row filters of 8-bit RGBA data in place, vectorised where the processor allows.
#pragma once
#include <cstdint>

namespace tarkeep::image {

// `data` holds `height` rows of one filter-type byte followed by width * 4 filtered bytes.
// The pixels end up packed at the start of `data` (width * height * 4 bytes): each row is
// written below where it was read, so no second image-sized buffer is needed. Throws
// PngError on a filter type above 4 (rows before it are already undone).
void unfilter_rgba_in_place(std::uint8_t* data, std::uint32_t width, std::uint32_t height);

// The same with plain loops: what processors without SSE2 run, callable everywhere so
// that it is tested everywhere.
void unfilter_rgba_in_place_portable(std::uint8_t* data, std::uint32_t width, std::uint32_t height);

}  // namespace tarkeep::image
