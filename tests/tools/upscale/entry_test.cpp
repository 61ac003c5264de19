// The asset tool's entry: argument parsing, command selection, number conversions, whole-program usage.
#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/tools/upscale/test_files.h"
#include "tools/upscale/args.h"
#include "tools/upscale/dispatch.h"
#include "tools/upscale/numbers.h"

namespace tarkeep::upscale {
namespace {

Args parse(std::vector<std::string> words) {
    words.insert(words.begin(), "tarkeep_upscale");
    return parse_args(static_cast<int>(words.size()), words);
}

TEST(ParseArgs, SortsPositionalsValuesAndFlags) {
    Args a = parse({"game", "--only", "t1", "cache", "--margin", "8", "--only", "t2", "--margin", "12", "--force", "-x",
                    "-", "--"});
    EXPECT_EQ(a.positional, (std::vector<std::string>{"game", "cache", "-x", "-"}));
    EXPECT_EQ(a.list("--only"), (std::vector<std::string>{"t1", "t2"}));
    EXPECT_EQ(opt(a, "--margin", "64"), "12");
    EXPECT_EQ(opt(a, "--work", "fallback"), "fallback");
    EXPECT_TRUE(a.flag("--force") && a.flag("--") && !a.flag("--only"));
    // A value option takes the next word, even one that looks like an option; at the end it is a flag.
    const Args b = parse({"--work", "--force", "game", "--orig"});
    EXPECT_EQ(b.list("--work"), (std::vector<std::string>{"--force"}));
    EXPECT_TRUE(!b.flag("--force") && b.flag("--orig") && !b.has_value("--orig"));
    EXPECT_EQ(parse_args(3, {"prog", "a", "b", "c"}).positional, (std::vector<std::string>{"a", "b"}));  // the count
    // The first and last of the list, and ones that prefix or extend another option's name.
    for (const char* name : {"--exe", "--onnx-tile", "--model", "--models", "--model-orig", "--pc", "--pc-model"})
        EXPECT_TRUE(is_value_option(name)) << name;
    for (const char* name : {"--deblock", "--quiet", "--seam", "--list", "--models-build", "-exe", "exe"})
        EXPECT_FALSE(is_value_option(name)) << name;
    for (auto [words, expected] :
         {std::pair<std::vector<std::string>, std::optional<std::string>>{{"--pad", "clamp"}, "clamp"},
          {{}, "mirror"},
          {{"--pad", "wrap"}, std::nullopt}})
        EXPECT_EQ(choice_opt(parse(words), "--pad", "mirror", "clamp"), expected);
}

TEST(SelectCommand, FirstMatchingRuleWins) {
    const std::vector<std::pair<std::vector<std::string>, Command>> cases = {
        {{"--seam", "--montage", "--tile2", "a", "b", "c", "--list"}, Command::seam},
        {{"--montage", "--tile2", "a", "b", "c"}, Command::montage},
        {{"--tile2", "a", "b", "c"}, Command::tile2},
        {{"--tile2", "a", "b"}, Command::terrain},  // wrong count falls through
        {{"--tile2", "a", "--list"}, Command::list},
        {{"g", "--models-list", "--list"}, Command::models_list},
        {{"g", "--model-orig", "out"}, Command::model_orig},
        {{"--models-glb", "a", "b", "c"}, Command::models_glb},
        {{"g", "c", "--models-estimate", "--models-build"}, Command::models_estimate},
        {{"g", "c", "--model-get", "tex", "--models-build"}, Command::model_get},
        {{"g", "c", "--models-build", "--ui-build"}, Command::models_build},
        {{"g", "--ui-orig", "out", "--ui-list"}, Command::ui_orig},
        {{"g", "--ui-list", "--list"}, Command::ui_list},
        {{"g", "--list", "--orig", "out"}, Command::list},
        {{"g", "c", "--models-list"}, Command::terrain},
        {{"--work", "--force", "game", "--orig"}, Command::usage},
        {{"g"}, Command::usage},
        {{"g", "c", "d"}, Command::usage},
    };
    for (const auto& [words, expected] : cases)
        EXPECT_EQ(select_command(parse(words)), expected) << ::testing::PrintToString(words);
}

// Conversions follow the C runtime with portable messages: `error` is nullptr when the text converts.
template <typename Convert>
void expect_errors(Convert convert, const std::vector<std::pair<std::string, const char*>>& cases) {
    for (const auto& [text, error] : cases) {
        try {
            convert(text);
            EXPECT_FALSE(error) << text;
        } catch (const std::logic_error& e) {  // invalid_argument and out_of_range
            EXPECT_STREQ(e.what(), error) << text;
        }
    }
}

TEST(NumberConversions, FollowTheCRuntimeWithPortableMessages) {
    EXPECT_EQ(to_int(" 42abc"), 42);
    EXPECT_EQ(to_int("-2147483648"), -2147483647 - 1);
    expect_errors(to_int, {{"", "invalid stoi argument"},
                           {"2147483648", "stoi argument out of range"},
                           {"-2147483649", "stoi argument out of range"},
                           {"99999999999999999999", "stoi argument out of range"},
                           {"2147483647", nullptr}});
    EXPECT_EQ(to_unsigned("4294967295"), 4294967295u);
    EXPECT_EQ(to_unsigned("-1"), 4294967295u);
    expect_errors(to_unsigned, {{"x", "invalid stoul argument"},
                                {"4294967296", "stoul argument out of range"},
                                {"-4294967296", "stoul argument out of range"},
                                {"18446744073709551616", "stoul argument out of range"}});
    EXPECT_DOUBLE_EQ(to_double("0.504x"), 0.504);
    expect_errors(to_double, {{"half", "invalid stod argument"}, {"1e999", "stod argument out of range"}});
}

TEST(ToolEntry, NoArgumentsPrintsUsageAndExitsTwo) {
    auto result = test::run_upscale({});
    EXPECT_EQ(std::tie(result.exit_code, result.out, result.err),
              std::make_tuple(2, std::string(), std::string(kUsageText)));
}

}  // namespace
}  // namespace tarkeep::upscale
