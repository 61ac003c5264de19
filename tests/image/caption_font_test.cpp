// The caption font drawn as pictures: glyph shapes, '?' for other bytes, and clipping.
#include "image/caption_font.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/image/test_images.h"

namespace tarkeep::test {
namespace {

// Each case is drawn in its own colour on white and read back as art: '#' the colour, '.'
// untouched white, anything else 'x'. The art's size is the image's.
TEST(CaptionFont, DrawsGlyphsClippedToWidthAndImage) {
    struct Case {
        std::string text;
        std::uint32_t x, y, max_width;
        std::string art;  // rows separated by blanks
    };
    const Case cases[] = {
        {"A", 1, 1, 99, "....... ..###.. .#...#. .#...#. .#####. .#...#. .#...#. .#...#. ......."},
        // Bytes outside printable ASCII, such as a UTF-8 sequence's, show as '?'.
        {"\x7F\xC3", 0, 0, 99, ".###...###. #...#.#...# ....#.....# ...#.....#. ..#.....#.. ........... ..#.....#.."},
        // The second glyph is cut after its first two columns.
        {"HI", 0, 0, 8, "#...#..#... #...#...... #...#...... #####...... #...#...... #...#...... #...#..#..."},
        {"L", 2, 3, 99, "...... ...... ...... ..#... ..#... ..#... ..#... ..#... ..#... ..####"},
        {"T~", 0, 4, 99, "..... ..... ..... ..... ##### ..#.."},  // the image's bottom edge; no room for '~'
        {" ~", 0, 0, 99, "........... ........... .......#... ......#.#.# .........#. ........... ..........."},
        {"ay", 0, 0, 99,
         "........... ........... .###..#...# ....#.#...# .####.#...# #...#.#...# .####..#### ..........# .......###."},
        {"A", 0, 0, 0, "..... ....."},
        {"A", 9, 0, 99, "..... ....."},
    };
    const image::Rgba colour = {10, 20, 30, 40};
    for (const Case& c : cases) {
        const auto width = std::uint32_t(c.art.find(' ')), height = std::uint32_t((c.art.size() + 1) / (width + 1));
        data::RgbaImage picture = filled(width, height, 255, 255, 255);
        image::draw_text(picture, c.x, c.y, c.text, c.max_width, colour);
        std::string art(c.art.size(), ' ');
        for (std::uint32_t y = 0; y < height; ++y)
            for (std::uint32_t x = 0; x < width; ++x) {
                const auto* p = &picture.pixels[(std::size_t{y} * picture.width + x) * 4];
                char& cell = art[y * (width + 1) + x];
                cell = std::equal(colour.begin(), colour.end(), p) ? '#' : 'x';
                if (p[0] == 255 && p[1] == 255 && p[2] == 255 && p[3] == 255) cell = '.';
            }
        EXPECT_EQ(art, c.art) << c.text << " at " << c.x << "," << c.y;
    }
}

}  // namespace
}  // namespace tarkeep::test
