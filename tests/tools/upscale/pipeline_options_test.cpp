// Option values the three pipeline builds refuse before they do any work.
#include <gtest/gtest.h>

#include "tests/tools/upscale/terrain_game.h"
#include "tests/tools/upscale/test_files.h"

namespace tarkeep::upscale {
namespace {

using namespace test;

TEST(PipelineOptions, BadNumbersAndUnusableOnlyNamesStopTheBuildsWithStatusTwo) {
    TempDir cache;
    const std::pair<std::string, std::string> runs[] = {
        {"--bp-strength nan", "error: bad value for --bp-strength: nan"},
        {"--models-build --bp-strength -1", "error: bad value for --bp-strength: -1"},
        {"--models-build --tile-detect 1e7", "error: bad value for --tile-detect: 1e7"},
        {"--models-build --min-size 12x", "error: bad value for --min-size: 12x"},
        {"--models-build --max-size -1", "error: bad value for --max-size: -1"},
        {"--models-build --scale 4294967296", "error: bad value for --scale: 4294967296"},
        {"--models-build --only ../x", "warning: texture name \"../x\" holds a path separator: skipped"},
        {"--ui-build --bp-strength inf", "error: bad value for --bp-strength: inf"},
        {"--ui-build --min-size -3", "error: bad value for --min-size: -3"},
        {"--ui-build --tile-max 1x", "error: bad value for --tile-max: 1x"},
    };
    for (const auto& [options, first_line] : runs) {
        const auto run = run_upscale(words({test::sample_game().string(), cache.path().string()}, options,
                                           {"--exe", ref_upscaler(), "--model", "nearest"}));
        EXPECT_EQ(run.exit_code, 2) << options;
        EXPECT_EQ(run.err.substr(0, run.err.find('\n')), first_line) << options;
    }
    EXPECT_TRUE(std::filesystem::is_empty(cache.path()));
}

}  // namespace
}  // namespace tarkeep::upscale
