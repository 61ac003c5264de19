#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "data/ddf_atom.h"
#include "data/ddf_value.h"

namespace tarkeep::data {
namespace {

DdfValue block_of(std::vector<std::pair<std::string, DdfValue>> entries) {
    DdfValue block = DdfValue::block();
    block.entries = std::move(entries);
    return block;
}

TEST(ValueKey, ScalarForms) {
    EXPECT_EQ(value_key(DdfValue::none()), "N");
    EXPECT_EQ(value_key(DdfValue::boolean(true)), "T");
    EXPECT_EQ(value_key(DdfValue::boolean(false)), "F");
    EXPECT_EQ(value_key(DdfValue::int_value(1)), "i1;");
    EXPECT_EQ(value_key(DdfValue::int_value(std::numeric_limits<std::int64_t>::min())), "i-9223372036854775808;");
    EXPECT_EQ(value_key(DdfValue::float_value(1.0)), "f3ff0000000000000");
    EXPECT_EQ(value_key(DdfValue::float_value(-0.0)), "f8000000000000000");
    EXPECT_EQ(value_key(DdfValue::string("1")), "s1:1");
    EXPECT_EQ(value_key(DdfValue::string(std::string("a\0b", 3))), std::string("s3:a\0b", 6));
}

TEST(ValueKey, Containers) {
    EXPECT_EQ(value_key(block_of({{"ab", DdfValue::int_value(2)}, {"", DdfValue::list()}})), "{k2:abi2;k0:[]}");
    EXPECT_EQ(value_key(DdfValue::list({DdfValue::none(), DdfValue::string("")})), "[Ns0:]");
}

// Pairs that a careless encoding would confuse must all get distinct keys.
TEST(ValueKey, IsInjectiveOnTrickyValues) {
    const std::vector<DdfValue> values = {
        DdfValue::none(),
        DdfValue::boolean(false),
        DdfValue::int_value(0),
        DdfValue::float_value(0.0),
        DdfValue::float_value(-0.0),
        DdfValue::float_value(std::nan("")),
        DdfValue::int_value(1),
        DdfValue::float_value(1.0),
        DdfValue::string("1"),
        DdfValue::string(""),
        DdfValue::string("i1;"),
        DdfValue::string("s1:a"),
        DdfValue::string("a"),
        DdfValue::list(),
        DdfValue::block(),
        DdfValue::list({DdfValue::string("a")}),
        DdfValue::list({DdfValue::string("a"), DdfValue::string("")}),
        DdfValue::list({DdfValue::string("as0:")}),
        DdfValue::list({DdfValue::list()}),
        block_of({{"a", DdfValue::none()}}),
        block_of({{"aN", DdfValue::none()}}),
        block_of({{"a", DdfValue::string("b")}}),
        block_of({{"a", DdfValue::none()}, {"b", DdfValue::none()}}),
        block_of({{"b", DdfValue::none()}, {"a", DdfValue::none()}}),
        block_of({{"a", block_of({})}}),
        DdfValue::list({block_of({{"a", DdfValue::none()}})}),
    };
    std::set<std::string> keys;
    for (const DdfValue& v : values) keys.insert(value_key(v));
    EXPECT_EQ(keys.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        for (std::size_t j = 0; j < values.size(); ++j) {
            EXPECT_EQ(values[i] == values[j], i == j) << i << " vs " << j;
        }
    }
}

TEST(Truthiness, PerKind) {
    struct Case {
        DdfValue value;
        bool truthy;
    };
    const Case cases[] = {
        {DdfValue::none(), false},
        {DdfValue::boolean(false), false},
        {DdfValue::boolean(true), true},
        {DdfValue::int_value(0), false},
        {DdfValue::int_value(-1), true},
        {DdfValue::float_value(0.0), false},
        {DdfValue::float_value(-0.0), false},
        {DdfValue::float_value(0.5), true},
        {DdfValue::string(""), false},
        {DdfValue::string("0"), true},
        {DdfValue::block(), false},
        {block_of({{"k", DdfValue::none()}}), true},
        {DdfValue::list(), false},
        {DdfValue::list({DdfValue::none()}), true},
    };
    for (const Case& c : cases) EXPECT_EQ(c.value.truthy(), c.truthy) << value_key(c.value);
}

TEST(Block, FindIsFirstExactMatchAndSetReplacesInPlace) {
    DdfValue block = block_of({{"a", DdfValue::int_value(1)}, {"A", DdfValue::int_value(2)}, {"a", DdfValue::int_value(3)}});
    EXPECT_EQ(block.find("a")->integer, 1);
    EXPECT_EQ(block.find("A")->integer, 2);
    EXPECT_EQ(block.find("b"), nullptr);
    block.set("a", DdfValue::string("x"));
    block.set("b", DdfValue::none());
    EXPECT_EQ(value_key(block), "{k1:as1:xk1:Ai2;k1:ai3;k1:bN}");
    EXPECT_EQ(DdfValue::list({DdfValue::none()}).find("a"), nullptr);
}

TEST(DisplayText, PerKind) {
    EXPECT_EQ(display_text(DdfValue::none()), "None");
    EXPECT_EQ(display_text(DdfValue::boolean(true)), "True");
    EXPECT_EQ(display_text(DdfValue::boolean(false)), "False");
    EXPECT_EQ(display_text(DdfValue::int_value(-42)), "-42");
    EXPECT_EQ(display_text(DdfValue::string("Bow")), "Bow");
    EXPECT_EQ(display_text(DdfValue::float_value(1.0)), "f3ff0000000000000");
    EXPECT_EQ(display_text(DdfValue::list()), "[]");
}

TEST(Atom, NumberGrammar) {
    for (const char* number : {"0", "+1", "-1", "1.", "1.5", ".5", "1e3", "1E-3", "1.5e+2f", "7F", "-.5e1"}) {
        EXPECT_TRUE(is_number_atom(number)) << number;
    }
    for (const char* other : {"", "+", "-", ".", "e3", "1e", "1e+", "1.0.0", "1ff", "f", ".e1", "1 ", "1,0", "--1"}) {
        EXPECT_FALSE(is_number_atom(other)) << other;
    }
}

TEST(Atom, KindsAndValues) {
    EXPECT_EQ(value_key(convert_atom("007")), "i7;");
    EXPECT_EQ(value_key(convert_atom("1e3")), value_key(DdfValue::float_value(1000.0)));
    EXPECT_EQ(value_key(convert_atom("1.5f")), value_key(DdfValue::float_value(1.5)));
    EXPECT_EQ(value_key(convert_atom("99999999999999999999")), value_key(DdfValue::float_value(1e20)));
    EXPECT_EQ(value_key(convert_atom("-99999999999999999999")), value_key(DdfValue::float_value(-1e20)));
    EXPECT_EQ(value_key(convert_atom("1.0.0")), "s5:1.0.0");
    EXPECT_EQ(value_key(convert_atom("1e400f")), "s6:1e400f");
}

}  // namespace
}  // namespace tarkeep::data
