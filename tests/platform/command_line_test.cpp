// Command lines split and quoted by the Windows rules, and our own program's path.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "platform/process.h"

namespace tarkeep::platform {
namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, FollowsTheWindowsRulesAndOurPathIsFound) {
    const std::pair<const char*, Args> cases[] = {
        // a command line and its arguments
        {R"(prog a\\\b d"e f"g h)", {"prog", R"(a\\\b)", "de fg", "h"}},
        {R"(prog a\\\"b c d)", {"prog", R"(a\"b)", "c", "d"}},
        {R"(prog a\\\\"b c" d e)", {"prog", R"(a\\b c)", "d", "e"}},
        {R"(prog "D:\models\\" -x)", {"prog", R"(D:\models\)", "-x"}},
        {R"(prog "a""b" c)", {"prog", R"(a"b c)"}},  // "" in quotes: a literal quote, quoting ends
        {R"(prog "a""b c)", {"prog", R"(a"b)", "c"}},
        {R"(prog """a b""")", {"prog", R"("a)", R"(b")"}},
        {"prog \"\" x", {"prog", "", "x"}},
        {"prog  \t a   ", {"prog", "a"}},
        {R"("C:\Program Files\esr\x.exe" -i)", {R"(C:\Program Files\esr\x.exe)", "-i"}},
        {R"("C:\a\"b c)", {R"(C:\a\)", "b", "c"}},  // the program name takes no escapes
        {R"(C:\a\b.exe x)", {R"(C:\a\b.exe)", "x"}},
        {"", {""}},
    };
    for (const auto& [line, args] : cases) EXPECT_EQ(split_command_line(line), args) << line;
    const std::filesystem::path self = executable_path();  // our own program's path
    EXPECT_TRUE(self.is_absolute() && self.stem() == "platform_tests" && std::filesystem::is_regular_file(self))
        << self;
}

TEST(QuoteArgument, SplitsBackToTheSameText) {
    std::mt19937 rng(1);
    const std::string alphabet = "ab \\\"\t";
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const int length = static_cast<int>(rng() % 9);
        for (int i = 0; i < length; ++i) text += alphabet[rng() % alphabet.size()];
        const Args args = split_command_line("prog " + quote_argument(text) + " " + quote_argument("next\\"));
        ASSERT_EQ(args, (Args{"prog", text, "next\\"})) << text;
    }
}

}  // namespace
}  // namespace tarkeep::platform
