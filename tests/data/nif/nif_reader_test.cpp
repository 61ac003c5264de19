// The byte cursor: little-endian values, bounds checks, strings, counted lists.
#include <gtest/gtest.h>

#include "tests/data/nif/nif_test_util.h"

namespace tarkeep::test {
namespace {

using namespace tarkeep::data;

TEST(NifReader, ValuesStringsListsAndBounds) {
    // The plain values are read by every block test; here the lists and the bounds.
    const HandBytes b = HandBytes().u32(2).i32(-1).i32(7).u32(3).u32(1).u32(2);
    NifReader reader(b.bytes);
    EXPECT_EQ(reader.ref_list(), (std::vector<NifRef>{-1, 7}));
    // Three u32 announced, two present: nothing is read past the count, and a failed read moves nothing.
    EXPECT_EQ(error_text<NifError>([&] { reader.u32_list(); }), "read past end at 16");
    EXPECT_EQ(reader.position(), 16u);
    EXPECT_EQ(error_text<NifError>([&] { reader.skip(9); }), "read past end at 16");
    reader.skip(8);
    EXPECT_EQ(reader.remaining(), 0u);

    HandBytes longest;
    longest.u32(100000).text(std::string(100000, 'x')).u32(100001).text(std::string(100001, 'x'));
    NifReader long_reader(longest.bytes);
    EXPECT_EQ(long_reader.string().size(), 100000u);
    EXPECT_EQ(error_text<NifError>([&] { long_reader.string(); }), "implausible string length 100001 at 100004");
    const HandBytes cut = HandBytes().u32(10).text("abc").text(std::string(57, 0));
    NifReader cut_reader(std::span(cut.bytes).first(7));
    EXPECT_EQ(error_text<NifError>([&] { cut_reader.string(); }), "read past end at 4");
    const NifReader sized(cut.bytes);  // 64 bytes
    EXPECT_NO_THROW(sized.require_elements(8, 8));
    EXPECT_NO_THROW(sized.require_elements(0, 1000));
    EXPECT_THROW(sized.require_elements(9, 8), NifError);
    EXPECT_THROW(sized.require_elements(0xFFFFFFFFFFFFFFFFULL, 52), NifError);
    EXPECT_THROW(sized.require_elements(0x8000000000000000ULL, 2), NifError);
}

}  // namespace
}  // namespace tarkeep::test
