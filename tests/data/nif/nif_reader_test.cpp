// The byte cursor: bounds checks, strings, counted lists.
#include <gtest/gtest.h>

#include "tests/data/nif/nif_test_util.h"

namespace tarkeep::test {
namespace {

using namespace tarkeep::data;

TEST(NifReader, ValuesAreLittleEndian) {
    HandBytes b;
    b.u8(0xAB).u16(0x1234).u32(0xDEADBEEF).i32(-2).f32(1.5f);
    NifReader reader(b.bytes);
    EXPECT_EQ(reader.u8(), 0xAB);
    EXPECT_EQ(reader.u16(), 0x1234);
    EXPECT_EQ(reader.u32(), 0xDEADBEEFu);
    EXPECT_EQ(reader.ref(), -2);
    EXPECT_EQ(reader.f32(), 1.5f);
    EXPECT_EQ(reader.remaining(), 0u);
}

TEST(NifReader, ReadPastEndNamesTheCurrentPosition) {
    const std::vector<std::uint8_t> bytes{1, 2, 3, 4, 5, 6};
    NifReader reader(bytes);
    reader.u16();
    reader.u16();
    EXPECT_EQ(error_text<NifError>([&] { reader.u32(); }), "read past end at 4");
    EXPECT_EQ(reader.position(), 4u);  // a failed read moves nothing
    EXPECT_EQ(reader.u16(), 0x0605);
    EXPECT_EQ(error_text<NifError>([&] { reader.u8(); }), "read past end at 6");
    EXPECT_EQ(error_text<NifError>([&] { reader.skip(1); }), "read past end at 6");
}

TEST(NifReader, Strings) {
    HandBytes b;
    b.str("").str("abc");
    NifReader reader(b.bytes);
    EXPECT_EQ(reader.string(), "");
    EXPECT_EQ(reader.string(), "abc");

    HandBytes longest;
    longest.u32(100000).text(std::string(100000, 'x'));
    NifReader long_reader(longest.bytes);
    EXPECT_EQ(long_reader.string().size(), 100000u);

    HandBytes too_long;
    too_long.u16(0).u32(100001).text(std::string(100001, 'x'));
    NifReader too_long_reader(too_long.bytes);
    too_long_reader.u16();
    EXPECT_EQ(error_text<NifError>([&] { too_long_reader.string(); }), "implausible string length 100001 at 2");

    HandBytes cut;
    cut.u32(10).text("abc");
    NifReader cut_reader(cut.bytes);
    EXPECT_EQ(error_text<NifError>([&] { cut_reader.string(); }), "read past end at 4");
}

TEST(NifReader, CountedListsAreCheckedAsOneRun) {
    HandBytes b;
    b.u32(2).i32(-1).i32(7).u32(3).u32(1).u32(2);
    NifReader reader(b.bytes);
    EXPECT_EQ(reader.ref_list(), (std::vector<NifRef>{-1, 7}));
    // Three u32 announced, two present: nothing is read past the count.
    EXPECT_EQ(error_text<NifError>([&] { reader.u32_list(); }), "read past end at 16");

    HandBytes huge;
    huge.u32(0xFFFFFFFF);
    NifReader huge_reader(huge.bytes);
    EXPECT_EQ(error_text<NifError>([&] { huge_reader.ref_list(); }), "read past end at 4");
}

TEST(NifReader, ElementCountCheckDoesNotOverflow) {
    const std::vector<std::uint8_t> bytes(64);
    NifReader reader(bytes);
    EXPECT_NO_THROW(reader.require_elements(8, 8));
    EXPECT_NO_THROW(reader.require_elements(0, 1000));
    EXPECT_THROW(reader.require_elements(9, 8), NifError);
    EXPECT_THROW(reader.require_elements(0xFFFFFFFFFFFFFFFFULL, 52), NifError);
    EXPECT_THROW(reader.require_elements(0x8000000000000000ULL, 2), NifError);
}

}  // namespace
}  // namespace tarkeep::test
