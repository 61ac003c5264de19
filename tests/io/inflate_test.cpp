// Inflate against zlib and the reference decoder: valid, damaged, crafted and expanding streams, memory use.
#include "io/inflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <random>
#include <string>

#include "io/deflate_tables.h"
#include "tests/io/stream_fixtures.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/text_bytes.h"

namespace tarkeep::test {
namespace {

using io::inflate;
using Bytes = std::vector<std::uint8_t>;
using Writer = DeflateBitWriter;

// Every level and strategy, with a small memory level now and then so that zlib ends
// blocks often. The size hint is right, wrong or absurd (never reserved whole), and half
// the streams have bytes after the final block, which are ignored.
TEST(Inflate, MatchesZlibAtEveryLevelAndStrategy) {
    std::mt19937 random(1234);
    for (int round = 0; round < 10; ++round) {
        const std::size_t size = round < 2 ? std::size_t(round) : random() % (round < 5 ? 3000 : 40000);
        const Bytes data = round % 3 == 2 ? random_bytes(random, size) : mixed_data(random, size);
        for (int level = 0; level <= 9; ++level) {
            for (int strategy : {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED}) {
                Bytes stream = zlib_deflate_raw(data, level, strategy, 1 + static_cast<int>(random() % 9));
                const std::size_t hints[] = {data.size(), random() % (data.size() + 1), SIZE_MAX / 2};
                const std::size_t hint = hints[random() % 3];
                if (level % 2 == 1) {
                    const Bytes garbage = random_bytes(random, 100);
                    stream.insert(stream.end(), garbage.begin(), garbage.end());
                }
                ASSERT_EQ(inflate(stream, hint), data)
                    << "size " << size << " level " << level << " strategy " << strategy << " hint " << hint;
            }
        }
    }
    const Bytes large = mixed_data(random, 3 << 20);  // many blocks, matches across the whole window
    for (int level : {1, 6, 9}) ASSERT_EQ(inflate(zlib_deflate_raw(large, level, Z_DEFAULT_STRATEGY)), large);
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
        if (i % 4 == 0) stream = random_bytes(random, random() % 64);
        if (i % 4 == 1) stream.resize(random() % (stream.size() + 1));
        for (int flips = i % 4 < 2 ? 0 : 1 + random() % 3; flips > 0 && !stream.empty(); --flips)
            stream[random() % stream.size()] ^= static_cast<std::uint8_t>(1u << (random() % 8));
        const std::size_t limit = i % 5 == 0 ? random() % 4000 : SIZE_MAX;
        const InflateOutcome fast = our_inflate(stream, 0, limit);
        ASSERT_EQ(fast, reference_outcome(stream, limit)) << "case " << i;
        errors += fast.error.empty() ? 0 : 1;
    }
    EXPECT_GT(errors, 1000);  // the damage really produced failures
}

// Writes a stored block: BFINAL, BTYPE 0, then from the next byte LEN, NLEN and the data.
std::function<void(Writer&)> stored(bool final_block, const Bytes& bytes) {
    return [=](Writer& w) {
        w.bits(final_block ? 1 : 0, 3);
        w.align_to_byte();
        for (auto b : bytes) w.byte(b);
    };
}

// A final fixed block that starts with the literal 'a' (fixed literals 0-143 are 0x30 +
// value in 8 bits).
void fixed_literal(Writer& w) { w.bits(0b011, 3), w.code(0x30 + 'a', 8); }

// ... and a match of length 3 (symbols 256-279 are 7-bit codes from 0).
void fixed_match(Writer& w) { fixed_literal(w), w.code(1, 7); }

// Code lengths for `count` symbols, zero but for the listed {symbol, length} pairs.
std::vector<std::uint8_t> lengths(std::size_t count, std::initializer_list<std::pair<unsigned, unsigned>> set) {
    std::vector<std::uint8_t> result(count, 0);
    for (auto [symbol, length] : set) result[symbol] = static_cast<std::uint8_t>(length);
    return result;
}

// 'a' is 00 and end of block 01; 10 and 11 are unused, which fails only when they occur.
void incomplete_code(Writer& w) {
    write_dynamic_header(w, lengths(257, {{'a', 2}, {256, 2}}), {0});
    w.code(0, 2);
}

InflateOutcome gives(const Bytes& output) { return {output, ""}; }
InflateOutcome fails(const char* message) { return {{}, std::string("inflate: ") + message}; }

struct Crafted {
    const char* name;
    std::function<void(Writer&)> write;
    InflateOutcome expected;
};

// Hand-made streams; both decoders must give the expected output or error text.
const Crafted crafted[] = {
    {"stored blocks, the last one empty",
     [](Writer& w) {
         stored(false, {3, 0, 0xFC, 0xFF, 'a', 'b', 'c'})(w);
         stored(true, {0, 0, 0xFF, 0xFF})(w);
     },
     gives(bytes_of("abc"))},
    {"stored length and complement disagree", stored(true, {5, 0, 0x34, 0x12}), fails("stored block length mismatch")},
    {"stored block longer than the data", stored(true, {10, 0, 0xF5, 0xFF, 1, 2, 3}),
     fails("stored block exceeds data")},
    {"stored length cut short", stored(true, {0x05, 0x00, 0xFA}), fails("stored block exceeds data")},
    {"block type 3", [](Writer& w) { w.bits(0b111, 3); }, fails("invalid block type")},
    {"no data", [](Writer&) {}, fails("unexpected end of data")},
    {"fixed block cut after a literal", fixed_literal, fails("unexpected end of data")},
    {"distance beyond the output", [](Writer& w) { fixed_match(w), w.code(1, 5), w.bits(0, 16); },
     fails("distance too far back")},
    // The fixed distance code has 30 symbols; the 5-bit codes 30 and 31 are not in the
    // table, so they fail as invalid codes (or end of data when too few bits remain).
    {"fixed distance code 30", [](Writer& w) { fixed_match(w), w.code(30, 5), w.bits(0, 16); },
     fails("invalid Huffman code")},
    {"fixed distance code 30 at the end", [](Writer& w) { fixed_match(w), w.code(30, 5); },
     fails("unexpected end of data")},
    // 288 literal codes of 9 bits: symbol s has the code s. 286 and 287 are no lengths.
    {"length symbol 286",
     [](Writer& w) {
         write_dynamic_header(w, std::vector<std::uint8_t>(288, 9), {1});
         w.code('x', 9), w.code(286, 9), w.bits(0, 32);
     },
     fails("bad length symbol")},
    // 'x' is 0 and length 3 is 11; 32 distance codes of 5 bits: symbol s has the code s.
    {"distance symbol 30",
     [](Writer& w) {
         write_dynamic_header(w, lengths(258, {{'x', 1}, {256, 2}, {257, 2}}), std::vector<std::uint8_t>(32, 5));
         w.code(0, 1), w.code(0b11, 2), w.code(30, 5), w.bits(0, 32);
     },
     fails("bad distance symbol")},
    {"code length repeat with nothing before",
     [](Writer& w) { write_code_length_code(w, 257, 1), w.code(16, 5), w.bits(0, 32); },
     fails("repeat without previous length")},
    {"code lengths past 258",  // two runs of 138 zeros
     [](Writer& w) {
         write_code_length_code(w, 257, 1);
         w.code(18, 5), w.bits(127, 7), w.code(18, 5), w.bits(127, 7), w.bits(0, 32);
     },
     fails("too many code lengths")},
    {"incomplete literal code, used codes only", [](Writer& w) { incomplete_code(w), w.code(0, 2), w.code(1, 2); },
     gives(bytes_of("aa"))},
    {"incomplete literal code, missing code", [](Writer& w) { incomplete_code(w), w.code(3, 2), w.bits(0, 16); },
     fails("invalid Huffman code")},
    {"incomplete literal code, missing code at the end", [](Writer& w) { incomplete_code(w), w.code(3, 2); },
     fails("unexpected end of data")},
    // 'A' is 0 and end of block 10; 'B' 110000000000 and 'C' 1100000000010 share their first
    // 11 bits, so their sub-table takes two more bits, as the last code alone says: the
    // unused 1100000000011 must not pass for 'C'.
    {"incomplete literal code, missing code beside its only longest one",
     [](Writer& w) {
         write_dynamic_header(w, lengths(257, {{'A', 1}, {256, 2}, {'B', 12}, {'C', 13}}), {0});
         w.code(0b1100000000010, 13), w.code(0b110000000000, 12), w.code(0b1100000000011, 13), w.bits(0, 16);
     },
     fails("invalid Huffman code")},
    // 'a' is 0 and length 3 is 11, but there is no distance code.
    {"empty distance code used by a match",
     [](Writer& w) {
         write_dynamic_header(w, lengths(258, {{'a', 1}, {256, 2}, {257, 2}}), {0});
         w.code(0b011, 3), w.bits(0, 24);
     },
     fails("invalid Huffman code")},
    // Three 1-bit codes: 'A' gets 0, 256 gets 1, and 287 can never be reached; such a set
    // is not refused when built.
    {"over-subscribed literal code",
     [](Writer& w) {
         write_dynamic_header(w, lengths(288, {{'A', 1}, {256, 1}, {287, 1}}), {1}), w.bits(0b100, 3);
     },
     gives(bytes_of("AA"))},
    // Near the end of the input every symbol takes the careful path, matches included.
    {"overlapping match on the careful path",
     [](Writer& w) {
         fixed_literal(w), w.code(0x30 + 'b', 8), w.code(0x30 + 'c', 8);
         w.code(264 - 256, 7), w.code(2, 5), w.code(0, 7);  // length 10, distance 3, end
     },
     gives(bytes_of("abcabcabcabca"))},
};

TEST(Inflate, CraftedStreamsGiveTheExpectedOutputOrErrorText) {
    for (const Crafted& c : crafted) {
        Writer w;
        c.write(w);
        const Bytes stream = w.finish();
        EXPECT_EQ(our_inflate(stream), c.expected) << c.name;
        EXPECT_EQ(reference_outcome(stream), c.expected) << c.name;
    }
}

TEST(Inflate, OutputLimitStopsJustPastTheLimit) {
    const Bytes stream = expanding_stream(400000);  // ~100 MB if decoded whole
    for (std::size_t limit : {0u, 1u, 1000u, 1u << 20}) {
        const Bytes out = inflate(stream, 0, limit);
        EXPECT_GT(out.size(), limit);
        EXPECT_LE(out.size(), limit + 258);
        EXPECT_EQ(out, reference_inflate(stream, limit));
    }
}

// A PNG header may claim 16384 x 16384 and a zip entry 4 GB: memory must follow what the
// stream really produces, and a true size must not cost much more than itself.
TEST(Inflate, MemoryFollowsTheOutputNotTheAnnouncedSize) {
    std::mt19937 random(7);
    const Bytes data = random_bytes(random, 1 << 20);
    const Bytes stream = zlib_deflate_raw(data, 0, Z_DEFAULT_STRATEGY);  // stored blocks
    const std::size_t claimed = std::size_t{1} << 30;
    Bytes out;
    EXPECT_LT(bytes_allocated_by([&] { out = inflate(stream, claimed, claimed); }), 8 * data.size());
    EXPECT_EQ(out, data);
    const Bytes expanding = expanding_stream(4000);  // about 1 MB from 4 KB
    const std::size_t true_size = reference_inflate(expanding).size();
    EXPECT_LT(bytes_allocated_by([&] { out = inflate(expanding, true_size); }), 3 * true_size);
    EXPECT_EQ(out.size(), true_size);
}

// Matches at every distance up to 9 and around the word and copy sizes, of lengths around
// those sizes, between literals, in one final block whose codes are longer than the
// tables' roots (half the literals, all lengths and most distances: 12-15 and 9-15 bits,
// an incomplete set as a bit-by-bit decoder allows), so they go through sub-tables. The
// last matches end exactly at and near each output limit the hand-over test below tries.
Bytes copies_stream() {
    using namespace io::deflate_tables;
    std::vector<std::uint8_t> literal(288), distance(30);
    for (unsigned s = 0; s < 288; ++s) literal[s] = s < 128 || s == 256 ? 8 : std::uint8_t(12 + s % 4);
    for (unsigned s = 0; s < 30; ++s) distance[s] = s < 6 ? 4 : std::uint8_t(9 + s % 7);
    const auto literal_codes = canonical_codes(literal), distance_codes = canonical_codes(distance);
    Writer w;
    write_dynamic_header(w, literal, distance);
    const auto write_literal = [&](unsigned symbol) { w.code(literal_codes[symbol], literal[symbol]); };
    std::mt19937 random(11);
    for (int i = 0; i < 300; ++i) write_literal(random() % 256);
    for (unsigned back : {1, 2, 3, 4, 5, 6, 7, 8, 9, 15, 16, 17, 31, 32, 33, 299}) {
        for (unsigned length : {3, 4, 7, 8, 9, 16, 17, 31, 32, 33, 100, 257, 258}) {
            unsigned l = 28, d = 29;
            while (kLengthBase[l] > length) --l;
            while (kDistanceBase[d] > back) --d;
            write_literal(257 + l);
            w.bits(length - kLengthBase[l], kLengthExtra[l]);
            w.code(distance_codes[d], distance[d]);
            w.bits(back - kDistanceBase[d], kDistanceExtra[d]);
            write_literal(random() % 256);
        }
    }
    write_literal(256);
    return w.finish();
}

// The fast loop needs spare input and output; near either end the careful path takes
// over. Every cut of the input, every output limit and every announced size near the
// ends must give what the reference gives, whichever loop was running there.
TEST(InflateFastLoop, HandsOverToTheCarefulPathAtEveryDistanceFromTheEnds) {
    std::mt19937 random(6);
    Bytes text(3000);
    for (auto& b : text) b = static_cast<std::uint8_t>("abcd"[random() % 4]);
    const std::vector<Bytes> streams = {zlib_deflate_raw(text, 6, Z_HUFFMAN_ONLY), zlib_deflate_raw(text, 6, Z_FIXED),
                                        zlib_deflate_raw(mixed_data(random, 3000), 6, Z_DEFAULT_STRATEGY),
                                        copies_stream()};
    // The reference is slow: its outcomes once, both loops against them.
    std::vector<std::tuple<std::size_t, std::size_t, std::size_t, InflateOutcome>> cases;  // stream, cut, limit
    for (std::size_t k = 0; k < streams.size(); ++k) {
        const Bytes& stream = streams[k];
        const InflateOutcome whole = reference_outcome(stream);
        ASSERT_EQ(whole.error, "") << k;
        const std::size_t size = whole.output.size();
        for (std::size_t cut = stream.size() - 40; cut < stream.size(); ++cut)
            cases.emplace_back(k, cut, SIZE_MAX, reference_outcome({stream.data(), cut}));
        for (std::size_t limit = 0; limit <= size; limit = limit == 15 ? size - 320 : limit + 1)
            cases.emplace_back(k, stream.size(), limit, reference_outcome(stream, limit));
        cases.emplace_back(k, stream.size(), SIZE_MAX, whole);
    }
    for (bool portable : {false, true}) {  // the processor's fast loop, then the plain one
        io::inflate_detail::use_portable_fast_loop(portable);
        for (const auto& [k, cut, limit, expected] : cases) {
            const std::span<const std::uint8_t> stream(streams[k].data(), cut);
            ASSERT_EQ(our_inflate(stream, 0, limit), expected) << portable << k << " cut " << cut << " limit " << limit;
            if (limit != SIZE_MAX || cut != streams[k].size()) continue;
            for (std::size_t announced = expected.output.size() - 320; announced <= expected.output.size() + 2;
                 ++announced)
                ASSERT_EQ(our_inflate(stream, announced), expected) << portable << k << " announced " << announced;
        }
    }
    io::inflate_detail::use_portable_fast_loop(false);
}

}  // namespace
}  // namespace tarkeep::test
