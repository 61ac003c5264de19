// Definition values: keys, display text, truthiness, lookup, and the number grammar of atoms.
#include <gtest/gtest.h>

#include <tuple>

#include <limits>
#include <string>
#include <vector>

#include "data/ddf_atom.h"
#include "data/ddf_value.h"
#include "ddf_show.h"

namespace tarkeep::data {
namespace {

using V = DdfValue;

DdfValue block_of(std::vector<std::pair<std::string, DdfValue>> entries) {
    DdfValue block = DdfValue::block();
    block.entries = std::move(entries);
    return block;
}

TEST(DdfValue, KeyDisplayTextTruthinessAndTheNumberGrammarOfAtoms) {
    const std::tuple<DdfValue, std::string, std::string> cases[] = {
        {V::none(), "N", "None"},
        {V::boolean(true), "T", "True"},
        {V::int_value(-42), "i-42;", "-42"},
        {V::int_value(std::numeric_limits<std::int64_t>::min()), "i-9223372036854775808;", "-9223372036854775808"},
        {V::float_value(1.0), "f3ff0000000000000", "f3ff0000000000000"},
        {V::float_value(-0.0), "f8000000000000000", "f8000000000000000"},
        {V::string(std::string("a\0b", 3)), std::string("s3:a\0b", 6), std::string("a\0b", 3)},
        {block_of({{"ab", V::int_value(2)}, {"", V::list()}}), "{k2:abi2;k0:[]}", "{k2:abi2;k0:[]}"},
        {V::list({V::none(), V::string("")}), "[Ns0:]", "[Ns0:]"}};
    for (const auto& [value, key, display] : cases) {
        EXPECT_EQ(value_key(value), key) << display;
        EXPECT_EQ(display_text(value), display) << key;
    }
    const std::pair<DdfValue, bool> truthiness[] = {
        {V::none(), false},           {V::boolean(false), false},           {V::int_value(0), false},
        {V::float_value(0.0), false}, {V::float_value(0.5), true},          {V::string(""), false},
        {V::block(), false},          {block_of({{"k", V::none()}}), true}, {V::list({V::none()}), true}};
    for (const auto& [value, truthy] : truthiness) EXPECT_EQ(value.truthy(), truthy) << value_key(value);
    // The number grammar decides the kind; numbers out of the int64 range become floats,
    // and numbers out of the double range stay strings.
    const std::pair<const char*, const char*> numbers[] = {{"0", "0"},
                                                           {"+1", "1"},
                                                           {"-12", "-12"},
                                                           {"7F", "7"},
                                                           {".5", "0.5f"},
                                                           {"-.5f", "-0.5f"},
                                                           {"1e3", "1000f"},
                                                           {"2.5e-1", "0.25f"},
                                                           {"1e999", "'1e999'"},
                                                           {"1e400f", "'1e400f'"},
                                                           {"9223372036854775807", "9223372036854775807"},
                                                           {"-9223372036854775808", "-9223372036854775808"},
                                                           {"9223372036854775808", "9223372036854775808f"},
                                                           {"99999999999999999999", "1e+20f"}};
    for (const auto& [atom, shown] : numbers) {
        EXPECT_TRUE(is_number_atom(atom)) << atom;
        EXPECT_EQ(test::show(convert_atom(atom)), shown) << atom;
    }
    for (const char* atom : {"", "+", ".", "e3", "1e+", "1.0.0", "1ff", ".e1", "1 ", "--1", "1f5"}) {
        EXPECT_FALSE(is_number_atom(atom)) << atom;
        EXPECT_EQ(test::show(convert_atom(atom)), "'" + std::string(atom) + "'");
    }
}

}  // namespace
}  // namespace tarkeep::data
