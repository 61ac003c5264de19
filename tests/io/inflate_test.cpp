#include "io/inflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>

#include "io/zip_error.h"
#include "tests/io/deflate_streams.h"
#include "tests/io/zlib_oracle.h"
#include "tests/support/reference_inflate.h"
#include "tests/support/zip_writer.h"

namespace tarkeep::test {
namespace {

using io::inflate;
using Bytes = std::vector<std::uint8_t>;

// What a decoder made of a stream: its output, or its error text.
struct Outcome {
    Bytes output;
    std::string error;
    bool operator==(const Outcome&) const = default;
};

void PrintTo(const Outcome& outcome, std::ostream* os) {
    *os << (outcome.error.empty() ? "output of " + std::to_string(outcome.output.size()) + " bytes" : outcome.error);
}

Outcome ours(const Bytes& stream, std::size_t limit = SIZE_MAX, std::size_t expected = 0) {
    try {
        return {inflate(stream, expected, limit), ""};
    } catch (const io::ZipError& e) {
        return {{}, e.what()};
    }
}

Outcome reference(const Bytes& stream, std::size_t limit = SIZE_MAX) {
    try {
        return {reference_inflate(stream, limit), ""};
    } catch (const ReferenceInflateError& e) {
        return {{}, e.what()};
    }
}

std::string error_of(const Bytes& stream) {
    const Outcome outcome = ours(stream);
    EXPECT_EQ(outcome, reference(stream)) << "fast and reference decoders disagree";
    return outcome.error;
}

TEST(Inflate, MatchesZlibAtEveryLevelAndStrategy) {
    const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
    std::mt19937 random(1234);
    int cases = 0;
    for (int round = 0; round < 10; ++round) {
        const std::size_t size = round == 0 ? 0 : round == 1 ? 1 : random() % (round < 5 ? 3000 : 40000);
        const Bytes data = round % 3 == 2 ? random_bytes(random, size) : mixed_data(random, size);
        for (int level = 0; level <= 9; ++level) {
            for (int strategy : strategies) {
                // A small memory level makes zlib end blocks often.
                const int mem_level = 1 + static_cast<int>(random() % 9);
                const Bytes stream = zlib_deflate_raw(data, level, strategy, mem_level);
                const std::size_t expected = random() % 2 ? data.size() : random() % (data.size() + 1);
                ASSERT_EQ(inflate(stream, expected), data)
                    << "size " << size << " level " << level << " strategy " << strategy;
                ++cases;
            }
        }
    }
    EXPECT_EQ(cases, 500);
}

TEST(Inflate, MatchesZlibOnLargeMixedData) {
    std::mt19937 random(99);
    const Bytes data = mixed_data(random, 3 << 20);
    for (int level : {1, 6, 9}) ASSERT_EQ(inflate(zlib_deflate_raw(data, level, Z_DEFAULT_STRATEGY)), data);
}

TEST(Inflate, IgnoresDataAfterTheFinalBlock) {
    std::mt19937 random(5);
    const Bytes data = mixed_data(random, 5000);
    Bytes stream = zlib_deflate_raw(data, 6, Z_DEFAULT_STRATEGY);
    const Bytes garbage = random_bytes(random, 100);
    stream.insert(stream.end(), garbage.begin(), garbage.end());
    EXPECT_EQ(inflate(stream), data);
}

// Damaged streams and random bytes exercise incomplete and over-subscribed codes, odd
// block boundaries and truncation; the fast decoder must answer exactly like the plain one.
TEST(Inflate, AgreesWithTheReferenceDecoderOnDamagedStreams) {
    std::mt19937 random(77);
    int errors = 0;
    for (int i = 0; i < 3000; ++i) {
        const Bytes data = mixed_data(random, random() % 3000);
        const int strategy = i % 3 == 0 ? Z_FIXED : i % 3 == 1 ? Z_HUFFMAN_ONLY : Z_DEFAULT_STRATEGY;
        Bytes stream = zlib_deflate_raw(data, 1 + static_cast<int>(random() % 9), strategy);
        switch (i % 4) {
            case 0: stream = random_bytes(random, random() % 64); break;
            case 1: stream.resize(random() % (stream.size() + 1)); break;
            default:
                for (int flips = 1 + random() % 3; flips > 0 && !stream.empty(); --flips)
                    stream[random() % stream.size()] ^= static_cast<std::uint8_t>(1u << (random() % 8));
                break;
        }
        const std::size_t limit = i % 5 == 0 ? random() % 4000 : SIZE_MAX;
        const Outcome fast = ours(stream, limit);
        ASSERT_EQ(fast, reference(stream, limit)) << "case " << i;
        errors += fast.error.empty() ? 0 : 1;
    }
    EXPECT_GT(errors, 1000);  // the damage really produced failures
}

TEST(Inflate, StoredBlocks) {
    DeflateBitWriter w;
    w.bits(0, 1);  // not final
    w.bits(0, 2);
    w.align_to_byte();
    for (int b : {3, 0, 0xFC, 0xFF, int{'a'}, int{'b'}, int{'c'}}) w.byte(static_cast<std::uint8_t>(b));
    w.bits(1, 1);  // final, empty
    w.bits(0, 2);
    w.align_to_byte();
    for (int b : {0, 0, 0xFF, 0xFF}) w.byte(static_cast<std::uint8_t>(b));
    EXPECT_EQ(inflate(w.finish()), bytes_of("abc"));
}

Bytes stored_header(std::uint16_t length, std::uint16_t complement) {
    DeflateBitWriter w;
    w.bits(1, 1);
    w.bits(0, 2);
    w.align_to_byte();
    w.bits(length, 16);
    w.bits(complement, 16);
    return w.finish();
}

TEST(Inflate, StoredBlockErrors) {
    EXPECT_EQ(error_of(stored_header(5, 0x1234)), "inflate: stored block length mismatch");
    Bytes short_data = stored_header(10, static_cast<std::uint16_t>(~10));
    short_data.insert(short_data.end(), {1, 2, 3});
    EXPECT_EQ(error_of(short_data), "inflate: stored block exceeds data");
    const Bytes no_length = {0x01, 0x05, 0x00, 0xFA};  // 3 of the 4 length bytes
    EXPECT_EQ(error_of(no_length), "inflate: stored block exceeds data");
}

TEST(Inflate, InvalidBlockTypeAndEndOfData) {
    DeflateBitWriter w;
    w.bits(1, 1);
    w.bits(3, 2);
    EXPECT_EQ(error_of(w.finish()), "inflate: invalid block type");
    EXPECT_EQ(error_of({}), "inflate: unexpected end of data");
    // A fixed block cut after one literal.
    EXPECT_EQ(error_of({0x4B, 0x04}), "inflate: unexpected end of data");
}

// Fixed codes: literal 0-143 are 0x30 + value in 8 bits, 256-279 are 7-bit codes from 0.
void fixed_literal(DeflateBitWriter& w, std::uint8_t value) { w.code(0x30u + value, 8); }

TEST(Inflate, FixedBlockDistanceErrors) {
    DeflateBitWriter far;
    far.bits(1, 1);
    far.bits(1, 2);
    fixed_literal(far, 'a');
    far.code(1, 7);  // length 4
    far.code(1, 5);  // distance 2, one byte written so far
    far.bits(0, 16);
    EXPECT_EQ(error_of(far.finish()), "inflate: distance too far back");

    // The fixed distance code has 30 symbols; the 5-bit codes 30 and 31 are simply not in
    // the table, so they fail as invalid codes (or end of data when too few bits remain).
    for (bool enough_bits : {true, false}) {
        DeflateBitWriter w;
        w.bits(1, 1);
        w.bits(1, 2);
        fixed_literal(w, 'a');
        w.code(1, 7);
        w.code(30, 5);
        if (enough_bits) w.bits(0, 16);
        EXPECT_EQ(error_of(w.finish()),
                  enough_bits ? "inflate: invalid Huffman code" : "inflate: unexpected end of data");
    }
}

TEST(Inflate, BadLengthSymbolWithAllLiteralCodes) {
    for (unsigned symbol : {286u, 287u}) {
        const std::vector<std::uint8_t> literal(288, 9);
        const auto codes = canonical_codes(literal);
        DeflateBitWriter w;
        write_dynamic_header(w, true, literal, {1});
        w.code(codes['x'], 9);
        w.code(codes[symbol], 9);
        w.bits(0, 32);
        EXPECT_EQ(error_of(w.finish()), "inflate: bad length symbol") << symbol;
    }
}

TEST(Inflate, BadDistanceSymbol) {
    for (unsigned symbol : {30u, 31u}) {
        std::vector<std::uint8_t> literal(257, 0);
        literal['x'] = 1;
        literal[256] = 2;
        std::vector<std::uint8_t> literal_with_length = literal;
        literal_with_length.push_back(2);  // symbol 257: length 3
        const auto codes = canonical_codes(literal_with_length);
        const std::vector<std::uint8_t> distance(32, 5);
        DeflateBitWriter w;
        write_dynamic_header(w, true, literal_with_length, distance);
        w.code(codes['x'], 1);
        w.code(codes[257], 2);
        w.code(symbol, 5);
        w.bits(0, 32);
        EXPECT_EQ(error_of(w.finish()), "inflate: bad distance symbol") << symbol;
    }
}

TEST(Inflate, CodeLengthErrors) {
    {
        DeflateBitWriter w;
        w.bits(1, 1);
        w.bits(2, 2);
        w.bits(0, 5);
        w.bits(0, 5);
        w.bits(15, 4);
        for (int i = 0; i < 19; ++i) w.bits(5, 3);
        w.code(16, 5);  // repeat, but nothing to repeat
        w.bits(0, 32);
        EXPECT_EQ(error_of(w.finish()), "inflate: repeat without previous length");
    }
    {
        DeflateBitWriter w;
        w.bits(1, 1);
        w.bits(2, 2);
        w.bits(0, 5);  // 257 + 1 lengths
        w.bits(0, 5);
        w.bits(15, 4);
        for (int i = 0; i < 19; ++i) w.bits(5, 3);
        w.code(18, 5);
        w.bits(127, 7);  // 138 zeros
        w.code(18, 5);
        w.bits(127, 7);  // 138 more: past 258
        w.bits(0, 32);
        EXPECT_EQ(error_of(w.finish()), "inflate: too many code lengths");
    }
}

TEST(Inflate, IncompleteTableFailsOnlyForMissingCodes) {
    std::vector<std::uint8_t> literal(257, 0);
    literal['a'] = 2;  // code 00
    literal[256] = 2;  // code 01; 10 and 11 are unused
    const auto codes = canonical_codes(literal);
    {
        DeflateBitWriter w;
        write_dynamic_header(w, true, literal, {0});
        w.code(codes['a'], 2);
        w.code(codes['a'], 2);
        w.code(codes[256], 2);
        EXPECT_EQ(ours(w.finish()).output, bytes_of("aa"));
    }
    for (bool enough_bits : {true, false}) {
        DeflateBitWriter w;
        write_dynamic_header(w, true, literal, {0});
        w.code(codes['a'], 2);
        w.code(3, 2);
        if (enough_bits) w.bits(0, 16);
        EXPECT_EQ(error_of(w.finish()),
                  enough_bits ? "inflate: invalid Huffman code" : "inflate: unexpected end of data");
    }
}

TEST(Inflate, EmptyDistanceTableFailsOnlyWhenAMatchNeedsIt) {
    std::vector<std::uint8_t> literal(258, 0);
    literal['a'] = 1;
    literal[256] = 2;
    literal[257] = 2;
    const auto codes = canonical_codes(literal);
    DeflateBitWriter w;
    write_dynamic_header(w, true, literal, {0});
    w.code(codes['a'], 1);
    w.code(codes[257], 2);
    w.bits(0, 24);
    EXPECT_EQ(error_of(w.finish()), "inflate: invalid Huffman code");
}

TEST(Inflate, OverSubscribedCodesDecodeTheReachableSymbols) {
    // Three 1-bit codes: 'A' gets 0, 256 gets 1, and 287 can never be reached. Such a set
    // is not refused when built.
    std::vector<std::uint8_t> literal(288, 0);
    literal['A'] = 1;
    literal[256] = 1;
    literal[287] = 1;
    DeflateBitWriter w;
    write_dynamic_header(w, true, literal, {1});
    w.bits(0, 1);
    w.bits(0, 1);
    w.bits(1, 1);
    EXPECT_EQ(ours(w.finish()).output, bytes_of("AA"));
}

TEST(Inflate, LongCodesThroughSubTables) {
    // Complete codes with lengths 1 to 15 force the decoder past its first-level tables.
    std::vector<std::uint8_t> literal(258, 0);
    for (unsigned s = 0; s < 14; ++s) literal[s] = static_cast<std::uint8_t>(s + 1);
    literal[256] = 15;
    literal[257] = 15;  // match length 3
    std::vector<std::uint8_t> distance(16, 0);
    distance[0] = 15;   // distance 1 has one of the longest codes
    for (unsigned s = 1; s < 15; ++s) distance[s] = static_cast<std::uint8_t>(s);
    distance[15] = 15;
    const auto literal_codes = canonical_codes(literal);
    const auto distance_codes = canonical_codes(distance);
    DeflateBitWriter w;
    write_dynamic_header(w, true, literal, distance);
    Bytes expected;
    for (unsigned s = 0; s < 14; ++s) {
        w.code(literal_codes[s], literal[s]);
        expected.push_back(static_cast<std::uint8_t>(s));
    }
    w.code(literal_codes[257], 15);
    w.code(distance_codes[0], 15);
    expected.insert(expected.end(), 3, 13);
    w.code(literal_codes[256], 15);
    const Bytes stream = w.finish();
    EXPECT_EQ(ours(stream).output, expected);
    EXPECT_EQ(ours(stream), reference(stream));
}

TEST(Inflate, OutputLimitStopsJustPastTheLimit) {
    const Bytes stream = expanding_stream(400000);  // ~100 MB if decoded whole
    for (std::size_t limit : {0u, 1u, 1000u, 1u << 20}) {
        const Bytes out = inflate(stream, 0, limit);
        EXPECT_GT(out.size(), limit);
        EXPECT_LE(out.size(), limit + 258);
        EXPECT_EQ(out, reference_inflate(stream, limit));
    }
    // A limit the stream never reaches changes nothing.
    const Bytes small = expanding_stream(3);
    EXPECT_EQ(inflate(small, 0, 1000), reference_inflate(small));
}

TEST(Inflate, HugeExpectedSizeDoesNotReserveIt) {
    std::mt19937 random(3);
    const Bytes data = mixed_data(random, 1000);
    EXPECT_EQ(inflate(zlib_deflate_raw(data, 6, Z_DEFAULT_STRATEGY), SIZE_MAX / 2), data);
}

}  // namespace
}  // namespace tarkeep::test
