#include "io/inflate_copy.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "io/deflate.h"
#include "io/inflate.h"
#include "tests/io/stream_fixtures.h"

namespace tarkeep::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Pixels of 1 to 9 bytes repeated with small changes: matches at every short distance.
TEST(InflateCopy, ShortPeriodMatchesRepeatLikeByteCopies) {
    std::mt19937 random(7);
    for (std::size_t period = 1; period <= 9; ++period) {
        Bytes data;
        Bytes pixel = random_bytes(random, period);
        while (data.size() < 20000) {
            if (random() % 50 == 0) pixel[random() % period] ^= 1;
            data.insert(data.end(), pixel.begin(), pixel.end());
        }
        EXPECT_EQ(io::inflate(zlib_deflate_raw(data, 9, Z_DEFAULT_STRATEGY)), data) << period;
        EXPECT_EQ(io::inflate(io::deflate_compress(data)), data) << period;
    }
}

}  // namespace
}  // namespace tarkeep::test
