#include "tools/upscale/model_catalogue.h"

#include <gtest/gtest.h>

namespace tarkeep::upscale {
namespace {

TEST(ChooseScale, ThePowerOfTwoUpToTheFactorThatStaysWithinTheSizes) {
    const std::uint32_t cases[][6] = {
        // width, height, min, max, factor, scale
        {256, 128, 64, 1024, 4, 4}, {512, 512, 64, 1024, 4, 2}, {1024, 64, 64, 1024, 4, 0}, {63, 256, 64, 1024, 4, 0},
        {256, 256, 64, 1024, 3, 2}, {256, 256, 64, 1024, 8, 4}, {64, 64, 64, 1024, 8, 8},   {600, 64, 64, 1024, 3, 0},
        {0, 64, 0, 1024, 4, 0},     {64, 64, 64, 256, 4, 4},    {65, 65, 64, 256, 4, 2},    {64, 64, 64, 1024, 16, 16}};
    for (const auto& c : cases)
        EXPECT_EQ(choose_scale(c[0], c[1], c[2], c[3], c[4]), c[5]) << c[0] << "x" << c[1] << " f" << c[4];
}

TEST(OnlyStems, NamesThatCannotBeFilesAreRefusedAndTheRestLowerCased) {
    EXPECT_EQ(only_stems({"Unit_Cape", "../x", "a..b"}), (std::vector<std::string>{"unit_cape", "a..b"}));
}

}  // namespace
}  // namespace tarkeep::upscale
