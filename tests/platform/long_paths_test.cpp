// The extended-length form: which paths get the prefix, and which must stay as they are.
#include <gtest/gtest.h>

#include "platform/long_paths.h"

namespace tarkeep::test {
namespace {

TEST(ExtendedLengthForm, PrefixesOnlyAbsoluteNormalisedPaths) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"C:\\cache\\a.png", L"\\\\?\\C:\\cache\\a.png"},
        {L"z:\\", L"\\\\?\\z:\\"},
        {L"\\\\server\\share\\cache\\a.png", L"\\\\?\\UNC\\server\\share\\cache\\a.png"},
        {L"C:\\a..b\\.c", L"\\\\?\\C:\\a..b\\.c"},  // dots inside names are names
        // Left for the system to interpret:
        {L"\\\\?\\C:\\a", L"\\\\?\\C:\\a"},
        {L"\\\\.\\NUL", L"\\\\.\\NUL"},
        {L"C:/cache/a.png", L"C:/cache/a.png"},
        {L"C:\\cache\\..\\a.png", L"C:\\cache\\..\\a.png"},
        {L"C:\\cache\\.", L"C:\\cache\\."},
        {L"\\\\server\\share\\..\\x", L"\\\\server\\share\\..\\x"},
        {L"C:cache", L"C:cache"},
        {L"cache\\a.png", L"cache\\a.png"},
        {L"\\cache", L"\\cache"},
        {L"1:\\cache", L"1:\\cache"},
        {L"", L""},
    };
    for (const auto& [given, expected] : cases)
        EXPECT_EQ(platform::extended_length_form(given), expected) << std::string(given.begin(), given.end());
}

}  // namespace
}  // namespace tarkeep::test
