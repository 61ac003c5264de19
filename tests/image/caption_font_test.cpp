// The caption font drawn as pictures: glyph shapes, '?' for other bytes, and clipping.
#include "image/caption_font.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

#include "tests/image/test_images.h"

namespace tarkeep::test {
namespace {

// Each case is drawn in a colour on white and read back as a picture: rows separated by blanks, '#'
// the colour, '.' untouched white, 'x' anything else. The picture's size is the image's.
TEST(CaptionFont, DrawsGlyphsClippedToWidthAndImage) {
    const std::tuple<std::string, std::uint32_t, std::uint32_t, std::uint32_t, std::string> cases[] = {
        {"A", 1, 1, 99, "....... ..###.. .#...#. .#...#. .#####. .#...#. .#...#. .#...#. ......."},
        // A blank closes printable ASCII; a byte outside it, such as a UTF-8 sequence's, is a '?'.
        {" \xC3", 0, 0, 99, ".......###. ......#...# ..........# .........#. ........#.. ........... ........#.."},
        {"ay", 0, 0, 99,
         "........... ........... .###..#...# ....#.#...# .####.#...# #...#.#...# .####..#### ..........# .......###."},
        // Cut at the width ('~', which closes printable ASCII, after two columns) and at the image's edges.
        {"H~", 0, 0, 8, "#...#...... #...#...... #...#..#... #####.#.... #...#...... #...#...... #...#......"},
        {"T", 2, 4, 99, "...... ...... ...... ...... ..#### ....#."},
    };
    const image::Rgba colour = {10, 20, 30, 40};
    for (const auto& [text, x, y, max_width, expected] : cases) {
        const auto width = std::uint32_t(expected.find(' '));
        const auto height = std::uint32_t(std::count(expected.begin(), expected.end(), ' ') + 1);
        data::RgbaImage picture = filled(width, height, 255, 255, 255);
        image::draw_text(picture, x, y, text, max_width, colour);
        std::string seen = expected;
        for (std::size_t i = 0; i < std::size_t{width} * height; ++i) {
            const std::uint8_t* p = &picture.pixels[i * 4];
            const bool drawn = std::equal(colour.begin(), colour.end(), p), white = std::count(p, p + 4, 255) == 4;
            seen[i / width * (width + 1) + i % width] = drawn ? '#' : white ? '.' : 'x';
        }
        EXPECT_EQ(seen, expected) << text << " at " << x << "," << y;
    }
}

}  // namespace
}  // namespace tarkeep::test
