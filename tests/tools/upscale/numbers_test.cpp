#include <gtest/gtest.h>

#include <stdexcept>

#include "tools/upscale/args.h"
#include "tools/upscale/numbers.h"

namespace tarkeep::upscale {
namespace {

// `error` is nullptr when the text converts.
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

TEST(OptionNumbers, ConvertAsTheCRuntimeDoesWithPortableMessages) {
    EXPECT_EQ(std::tuple(to_int(" 42abc"), to_int("-2147483648")), std::tuple(42, -2147483647 - 1));
    expect_errors(to_int, {{"", "invalid stoi argument"},
                           {"2147483648", "stoi argument out of range"},
                           {"-2147483649", "stoi argument out of range"},
                           {"99999999999999999999", "stoi argument out of range"},
                           {"2147483647", nullptr}});
    EXPECT_EQ(std::tuple(to_unsigned("4294967295"), to_unsigned("-1")), std::tuple(4294967295u, 4294967295u));
    expect_errors(to_unsigned, {{"x", "invalid stoul argument"},
                                {"4294967296", "stoul argument out of range"},
                                {"-4294967296", "stoul argument out of range"},
                                {"18446744073709551616", "stoul argument out of range"}});
    EXPECT_DOUBLE_EQ(to_double("0.504x"), 0.504);
    expect_errors(to_double, {{"half", "invalid stod argument"}, {"1e999", "stod argument out of range"}});
}

// Refusals are checked whole, message and status, by the pipeline runs; these are the edges they do not reach.
TEST(CheckedOptions, RealsMayTrailTextSizesMayTrailBlanksAndBothStopAtTheirLimits) {
    for (const auto& [text, value] : {std::pair{"0.5x", 0.5}, {"10", 10.0}, {"10.01", -1.0}})
        EXPECT_EQ(real_option(parse_args(3, {"", "--bp-strength", text}), "--bp-strength", "1", 0, 10).value_or(-1),
                  value)
            << text;
    for (const auto& [text, value] :
         {std::pair{"4294967295", 4294967295LL}, {" 7 ", 7LL}, {"", -1LL}, {"18446744073709551617", -1LL}}) {
        const auto read = size_option(parse_args(3, {"", "--max-size", text}), "--max-size", "1");
        EXPECT_EQ(read ? static_cast<long long>(*read) : -1LL, value) << text;
    }
}

}  // namespace
}  // namespace tarkeep::upscale
