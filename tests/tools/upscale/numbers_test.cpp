#include <gtest/gtest.h>

#include <stdexcept>

#include "tools/upscale/args.h"
#include "tools/upscale/numbers.h"
#include "tools/upscale/option_table.h"

namespace tarkeep::upscale {
namespace {

// Whole runs check the refusal texts; these are the edges of each kind of value.
TEST(OptionValues, EachKindTakesItsOwnShapeAndRange) {
    const std::tuple<const char*, const char*, bool> cases[] = {{"--max-size", "4294967295", true},
                                                                {"--max-size", " 7 ", true},
                                                                {"--max-size", "", false},
                                                                {"--max-size", "+7", false},
                                                                {"--max-size", "7x", false},
                                                                {"--max-size", "18446744073709551617", false},
                                                                {"--margin", "4097", false},
                                                                {"--margin", "-0", true},
                                                                {"--dering", "-1", true},
                                                                {"--dering", "+5", true},
                                                                {"--backproject", "99999999999999999999", false},
                                                                {"--bp-strength", "0.5x", true},
                                                                {"--bp-strength", "1.1e6", false},
                                                                {"--bp-strength", "-0.1", false},
                                                                {"--bp-strength", "nan", false},
                                                                {"--model", "", true}};
    for (const auto& [name, text, fits] : cases) EXPECT_EQ(value_fits(*find_option(name), text), fits) << name << text;
    const Args args = parse_args(5, {"", "--margin", "12", "--bp-strength", "0.25"});
    EXPECT_EQ(std::tuple(int_value(args, "--margin", "64"), real_value(args, "--bp-strength", "0.5"),
                         size_value(args, "--max-size", "1024")),
              std::tuple(12, 0.25, 1024u));
    EXPECT_THROW(size_value(args, "--max-size", "-1"), std::invalid_argument);
}

TEST(OptionValues, TheNearestOptionIsAtMostTwoSlipsAway) {
    const std::pair<const char*, const char*> cases[] = {{"--forse", "--force"},
                                                         {"--ofrec", "--force"},
                                                         {"--verbos", "--verbose"},
                                                         {"--threds", "--threads"},
                                                         {"--frobnicate", ""},
                                                         {"--xyz", ""},
                                                         {"--", ""},
                                                         {"--x", ""},
                                                         {"--pd", "--pad"}};
    for (const auto& [typed, nearest] : cases) EXPECT_EQ(nearest_option(typed), nearest) << typed;
}

}  // namespace
}  // namespace tarkeep::upscale
