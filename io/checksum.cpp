// CRC-32 by carry-less folding where the processor has it, else over interleaved word chains
// with precomputed tables; Adler-32.
#include "io/checksum.h"

#include "io/byte_order.h"
#include "io/checksum_simd.h"

#include <array>
#include <bit>
#include <cstring>

namespace tarkeep::io {
namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320u;

// CRC state after feeding one byte into a zero state, for every byte value.
constexpr std::array<std::uint32_t, 256> make_byte_table() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t byte = 0; byte < 256; ++byte) {
        std::uint32_t crc = byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (kPolynomial & (0u - (crc & 1u)));
        table[byte] = crc;
    }
    return table;
}

constexpr auto kByteTable = make_byte_table();

constexpr std::uint32_t feed_zero_bytes(std::uint32_t crc, int count) {
    for (int i = 0; i < count; ++i) crc = (crc >> 8) ^ kByteTable[crc & 0xFF];
    return crc;
}

// tables[k][b]: contribution of byte b at offset k of a word once `span` bytes counted
// from the start of that word have been fed, i.e. b followed by span - k - 1 zero bytes.
using WordTables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr WordTables make_word_tables(int span) {
    WordTables tables{};
    for (int k = 0; k < 8; ++k) {
        for (std::uint32_t byte = 0; byte < 256; ++byte)
            tables[k][byte] = feed_zero_bytes(kByteTable[byte], span - k - 1);
    }
    return tables;
}

// The input is cut into interleaved 8-byte words; kStreams independent CRC chains each
// take every kStreams-th word and carry their state forward to their next word, which
// hides the lookup latency of a single chain. The chains are merged serially at the end.
constexpr int kStreams = 4;  // the loop below is written out for four
constexpr int kWord = 8;
constexpr WordTables kSerialTables = make_word_tables(kWord);
constexpr WordTables kBraidTables = make_word_tables(kWord * kStreams);

inline std::uint32_t fold_word(const WordTables& t, std::uint64_t w) {
    // Two halves shifted step by step: fewer instructions per byte than shifting the
    // whole word by a different amount for every lookup.
    std::uint32_t lo = static_cast<std::uint32_t>(w);
    std::uint32_t hi = static_cast<std::uint32_t>(w >> 32);
    std::uint32_t a = t[0][lo & 0xFF];
    std::uint32_t b = t[4][hi & 0xFF];
    lo >>= 8;
    hi >>= 8;
    a ^= t[1][lo & 0xFF];
    b ^= t[5][hi & 0xFF];
    lo >>= 8;
    hi >>= 8;
    a ^= t[2][lo & 0xFF];
    b ^= t[6][hi & 0xFF];
    a ^= t[3][lo >> 8];
    b ^= t[7][hi >> 8];
    return a ^ b;
}

// The table method on the CRC register `crc`.
std::uint32_t crc32_register(const std::uint8_t* p, std::size_t n, std::uint32_t crc) {
    constexpr std::size_t kBlock = kStreams * kWord;
    if (n >= 2 * kBlock) {
        std::size_t blocks = n / kBlock;
        std::uint64_t s0 = crc, s1 = 0, s2 = 0, s3 = 0;
        for (; blocks > 1; --blocks, p += kBlock) {
            s0 = fold_word(kBraidTables, s0 ^ load64_le(p));
            s1 = fold_word(kBraidTables, s1 ^ load64_le(p + kWord));
            s2 = fold_word(kBraidTables, s2 ^ load64_le(p + 2 * kWord));
            s3 = fold_word(kBraidTables, s3 ^ load64_le(p + 3 * kWord));
        }
        crc = fold_word(kSerialTables, s0 ^ load64_le(p));
        crc = fold_word(kSerialTables, crc ^ s1 ^ load64_le(p + kWord));
        crc = fold_word(kSerialTables, crc ^ s2 ^ load64_le(p + 2 * kWord));
        crc = fold_word(kSerialTables, crc ^ s3 ^ load64_le(p + 3 * kWord));
        p += kBlock;
        n %= kBlock;
    }
    for (; n >= kWord; n -= kWord, p += kWord) crc = fold_word(kSerialTables, crc ^ load64_le(p));
    while (n-- > 0) crc = (crc >> 8) ^ kByteTable[(crc ^ *p++) & 0xFF];
    return crc;
}

}  // namespace

namespace checksum_detail {

std::uint32_t crc32_tables(std::span<const std::uint8_t> data, std::uint32_t previous) {
    return ~crc32_register(data.data(), data.size(), ~previous);
}

}  // namespace checksum_detail

std::uint32_t crc32(std::span<const std::uint8_t> data, std::uint32_t previous) {
    std::uint32_t crc = ~previous;
    std::size_t done = 0;
    if (data.size() >= 64 && checksum_detail::crc32_fold_available())
        done = checksum_detail::crc32_fold(data.data(), data.size(), crc);
    return ~crc32_register(data.data() + done, data.size() - done, crc);
}

std::uint32_t adler32(std::span<const std::uint8_t> data, std::uint32_t previous) {
    // 5552 is the longest run for which the sums cannot overflow 32 bits before the modulo.
    constexpr std::uint32_t kBase = 65521;
    constexpr std::size_t kRun = 5552;
    std::uint32_t a = previous & 0xFFFF;
    std::uint32_t b = previous >> 16;
    const std::uint8_t* p = data.data();
    std::size_t n = data.size();
    while (n > 0) {
        std::size_t run = n < kRun ? n : kRun;
        n -= run;
        // Sums of up to 5552 bytes fit in 64 bits with room to spare.
        std::uint64_t wide_a = a, wide_b = b;
        const std::size_t vector_bytes = checksum_detail::adler32_vector(p, run, wide_a, wide_b);
        a = static_cast<std::uint32_t>(wide_a % kBase);
        b = static_cast<std::uint32_t>(wide_b % kBase);
        p += vector_bytes;
        run -= vector_bytes;
        for (; run >= 8; run -= 8, p += 8) {
            a += p[0];
            b += a;
            a += p[1];
            b += a;
            a += p[2];
            b += a;
            a += p[3];
            b += a;
            a += p[4];
            b += a;
            a += p[5];
            b += a;
            a += p[6];
            b += a;
            a += p[7];
            b += a;
        }
        for (; run > 0; --run) {
            a += *p++;
            b += a;
        }
        a %= kBase;
        b %= kBase;
    }
    return (b << 16) | a;
}

}  // namespace tarkeep::io
