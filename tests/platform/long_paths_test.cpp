#include "platform/long_paths.h"

#include <gtest/gtest.h>

namespace tarkeep::test {
namespace {

TEST(ExtendedLengthForm, PrefixesOnlyAbsoluteNormalisedPaths) {
    const std::wstring pairs[] = {
        // given, expected
        L"z:\\",         L"\\\\?\\z:\\",  L"\\\\s", L"\\\\?\\UNC\\s", L"C:\\a..\\.b",     L"\\\\?\\C:\\a..\\.b",
        L"\\\\?\\C:\\a", L"\\\\?\\C:\\a", L"C:/c",  L"C:/c",          L"\\\\s\\t\\..\\a", L"\\\\s\\t\\..\\a",
        L"1:\\c",        L"1:\\c",        L"c\\a",  L"c\\a"};
    for (std::size_t i = 0; i < std::size(pairs); i += 2)
        EXPECT_EQ(platform::extended_length_form(pairs[i]), pairs[i + 1]);
}

}  // namespace
}  // namespace tarkeep::test
