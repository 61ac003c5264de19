// The progress line's text: items, rate and time left.
#include "tools/upscale/progress.h"

#include <gtest/gtest.h>

#include <tuple>

namespace tarkeep::upscale {
namespace {

TEST(Progress, LinesGiveTheRateAndTheEtaOnceThereIsOne) {
    const std::tuple<std::size_t, double, double, double, const char*> cases[] = {
        {3, 0, 0, 2.5, "upscale 3/8, 2.5 s"},
        {0, 0, 4, 1, "upscale 0/8, 1.0 s, ETA unknown"},
        {2, 1, 4, 2, "upscale 2/8, 0.50 Mpx/s, ETA 0:06"},
        {1, 0.1, 70, 1, "upscale 1/8, 0.10 Mpx/s, ETA 11:39"},
    };
    for (const auto& [done, done_mpx, total_mpx, seconds, line] : cases)
        EXPECT_EQ(Progress::line("upscale", done, 8, done_mpx, total_mpx, seconds), line);
}

}  // namespace
}  // namespace tarkeep::upscale
