// Undoing the row filters in place, on rows wide enough for the vector paths, against a plain
// transcription of the predictors.
#include "image/png_unfilter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "image/png_error.h"

namespace tarkeep::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Filters `pixels` row by row with the given types (plain predictors, straight from their
// definitions).
Bytes filter_rows(const Bytes& pixels, std::uint32_t width, const std::vector<int>& types) {
    const std::size_t stride = std::size_t(width) * 4;
    Bytes out;
    for (std::size_t y = 0; y < types.size(); ++y) {
        out.push_back(std::uint8_t(types[y]));
        for (std::size_t i = 0; i < stride; ++i) {
            const auto at = [&](std::size_t row, std::size_t col) -> int { return pixels[row * stride + col]; };
            const int a = i >= 4 ? at(y, i - 4) : 0, b = y > 0 ? at(y - 1, i) : 0;
            const int c = i >= 4 && y > 0 ? at(y - 1, i - 4) : 0;
            const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
            const int paeth = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            const int predictor[] = {0, a, b, (a + b) / 2, paeth};
            out.push_back(std::uint8_t(at(y, i) - predictor[types[y]]));
        }
    }
    return out;
}

TEST(PngUnfilter, EveryFilterOnWideRowsInPlace) {
    std::mt19937 random(3);
    // Widths around the 16-byte steps; the type sequences put every filter below every
    // other one and first.
    const std::vector<std::vector<int>> sequences = {
        {0, 1, 2, 3, 4, 4, 3, 2, 1, 0}, {4, 2, 4, 1, 3, 0, 3}, {3, 3, 1, 1}, {2, 0, 2, 4, 2}, {1, 4, 0, 4}};
    for (std::uint32_t width : {1u, 3u, 4u, 5u, 37u}) {
        for (const auto& types : sequences) {
            const auto height = std::uint32_t(types.size());
            Bytes pixels(std::size_t(width) * height * 4);
            // Extremes as well as noise, so that predictor sums wrap.
            for (auto& b : pixels) b = std::uint8_t(random() % 3 == 0 ? (random() % 2) * 255 : random());
            for (auto unfilter : {image::unfilter_rgba_in_place, image::unfilter_rgba_in_place_portable}) {
                Bytes data = filter_rows(pixels, width, types);
                unfilter(data.data(), width, height);
                data.resize(pixels.size());
                EXPECT_EQ(data, pixels) << "width " << width << ", first type " << types[0];
            }
        }
    }
}

TEST(PngUnfilter, UnknownTypeIsRejected) {
    Bytes data = filter_rows(Bytes(2 * 2 * 4, 9), 2, {0, 0});
    data[9] = 5;  // the second row's type
    try {
        image::unfilter_rgba_in_place(data.data(), 2, 2);
        ADD_FAILURE() << "no error";
    } catch (const image::PngError& e) {
        EXPECT_EQ(std::string(e.what()), "png: bad filter type");
    }
}

}  // namespace
}  // namespace tarkeep::test
