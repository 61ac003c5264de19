#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "net/byte_codec.h"

namespace tarkeep::net {
namespace {

std::string failure_of(const Bytes& body, const std::function<void(ByteReader&)>& read) {
    ByteReader reader(body);
    try {
        read(reader);
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "";
}

TEST(ByteCodec, LittleEndianLayoutAndEveryPrimitiveReadsBack) {
    ByteWriter out;
    out.write_u8(0xFE);
    out.write_u16(0x1234);
    out.write_u32(0x89abcdef);
    out.write_u64(0x0102030405060708ull);
    out.write_unsigned(0xAABBCCDDull, 2);  // a u16 field keeps the low 16 bits
    out.write_i64(-1099511627776);
    out.write_bool(true);
    out.write_bool(false);
    out.write_string(std::string("a\0b\xff", 4));
    out.write_string("");
    const Bytes expected = {0xFE, 0x34, 0x12, 0xef, 0xcd, 0xab, 0x89, 8,   7,    6,    5,    4,    3,
                            2,    1,    0xDD, 0xCC, 0,    0,    0,    0,   0,    0xFF, 0xFF, 0xFF, 1,
                            0,    4,    0,    0,    0,    'a',  0,    'b', 0xff, 0,    0,    0,    0};
    EXPECT_EQ(out.bytes(), expected);
    ByteReader in(out.bytes());
    // A braced list reads left to right.
    const std::vector<std::uint64_t> numbers{in.read_u8(),   in.read_u16(), in.read_u32(),
                                             in.read_u64(),  in.read_u16(), static_cast<std::uint64_t>(in.read_i64()),
                                             in.read_bool(), in.read_bool()};
    EXPECT_EQ(numbers, (std::vector<std::uint64_t>{0xFE, 0x1234, 0x89abcdef, 0x0102030405060708ull, 0xCCDD,
                                                   static_cast<std::uint64_t>(-1099511627776), 1, 0}));
    EXPECT_EQ(in.read_string(4), std::string("a\0b\xff", 4));
    EXPECT_EQ(in.read_string(0), "");
    EXPECT_NO_THROW(in.finish());
}

TEST(ByteReader, FailuresCarryTheirExactTexts) {
    struct Case {
        const char* name;
        Bytes body;
        std::function<void(ByteReader&)> read;
        const char* error;
    };
    const Case cases[] = {
        {"u32 short by one", {1, 2, 3}, [](ByteReader& r) { r.read_u32(); }, "bytes: truncated data"},
        {"u64 on empty", {}, [](ByteReader& r) { r.read_u64(); }, "bytes: truncated data"},
        {"bool of 2", {2}, [](ByteReader& r) { r.read_bool(); }, "bytes: invalid boolean"},
        {"bool at the end", {}, [](ByteReader& r) { r.read_bool(); }, "bytes: truncated data"},
        // The limit is tested before the missing bytes.
        {"string longer than allowed",
         {5, 0, 0, 0, 'a'},
         [](ByteReader& r) { r.read_string(4); },
         "bytes: string too long"},
        {"string cut short", {4, 0, 0, 0, 'a', 'b'}, [](ByteReader& r) { r.read_string(4); }, "bytes: truncated data"},
        {"huge prefix", {0xFF, 0xFF, 0xFF, 0xFF}, [](ByteReader& r) { r.read_bytes(60000); }, "bytes: string too long"},
        {"length prefix cut", {4, 0}, [](ByteReader& r) { r.read_string(4); }, "bytes: truncated data"},
        {"one byte left over",
         {1, 2},
         [](ByteReader& r) {
             r.read_u8();
             r.finish();
         },
         "bytes: trailing data"},
    };
    for (const Case& c : cases) EXPECT_EQ(failure_of(c.body, c.read), c.error) << c.name;
}

TEST(ByteReader, FailedReadDoesNotMoveThePosition) {
    const Bytes body = {7, 1, 2};
    ByteReader in(body);
    EXPECT_EQ(in.read_u8(), 7);
    EXPECT_THROW(in.read_u32(), std::runtime_error);
    EXPECT_EQ(in.position(), 1u);
    EXPECT_EQ(in.read_u16(), 0x0201);
    EXPECT_NO_THROW(in.finish());
}

}  // namespace
}  // namespace tarkeep::net
