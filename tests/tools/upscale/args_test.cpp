#include <gtest/gtest.h>

#include "tests/tools/upscale/test_files.h"
#include "tools/upscale/args.h"

namespace tarkeep::upscale {
namespace {

Args parse(std::vector<std::string> words) {
    words.insert(words.begin(), "tarkeep_upscale");
    return parse_args(static_cast<int>(words.size()), words);
}

TEST(ParseArgs, SortsWordsIntoPositionalsRepeatedValuesAndFlags) {
    Args a = parse({"game", "--only", "t1", "cache", "--margin", "8", "--only", "t2", "--margin", "12", "--force", "-x",
                    "-", "--"});
    EXPECT_EQ(a.positional, (std::vector<std::string>{"game", "cache", "-x", "-"}));
    EXPECT_EQ(std::tuple(a.list("--only"), opt(a, "--margin", "64"), opt(a, "--work", "fallback")),
              std::tuple(std::vector<std::string>{"t1", "t2"}, "12", "fallback"));
    EXPECT_TRUE(a.flag("--force") && a.flag("--") && !a.flag("--only"));
    EXPECT_EQ(parse_args(3, {"prog", "a", "b", "c"}).positional, (std::vector<std::string>{"a", "b"}));  // the count
}

TEST(ParseArgs, AValueOptionTakesTheNextWordAndIsAFlagAtTheEnd) {
    const Args b = parse({"--work", "--force", "game", "--orig"});
    EXPECT_EQ(b.list("--work"), (std::vector<std::string>{"--force"}));
    EXPECT_TRUE(!b.flag("--force") && b.flag("--orig") && !b.has_value("--orig"));
}

}  // namespace
}  // namespace tarkeep::upscale
