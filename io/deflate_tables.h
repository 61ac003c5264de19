// The fixed tables of the deflate format (RFC 1951), shared by inflate and the compressor.
#pragma once
#include <array>
#include <cstdint>

namespace tarkeep::io::deflate_tables {

// Order in which a dynamic block header lists the code-length code lengths.
inline constexpr std::array<std::uint8_t, 19> kCodeLengthOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                                  11, 4,  12, 3, 13, 2, 14, 1, 15};

// Length symbols 257..285: base length and extra bits.
inline constexpr std::array<std::uint16_t, 29> kLengthBase = {
    3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
inline constexpr std::array<std::uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                              2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};

// Distance symbols 0..29: base distance and extra bits.
inline constexpr std::array<std::uint16_t, 30> kDistanceBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
inline constexpr std::array<std::uint8_t, 30> kDistanceExtra = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                                6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Every byte with its bit order reversed.
inline constexpr std::array<std::uint8_t, 256> kReversedBytes = [] {
    std::array<std::uint8_t, 256> reversed{};
    for (unsigned byte = 0; byte < 256; ++byte)
        for (unsigned bit = 0; bit < 8; ++bit)
            if (byte & (1u << bit)) reversed[byte] |= static_cast<std::uint8_t>(0x80u >> bit);
    return reversed;
}();

// The low `length` bits of `code` (at most 16) in reverse order: Huffman codes are sent
// most-significant bit first but read and written from the low end of the bit buffer.
inline unsigned reverse_bits(unsigned code, unsigned length) {
    const unsigned reversed16 = kReversedBytes[code & 0xFF] << 8 | kReversedBytes[(code >> 8) & 0xFF];
    return reversed16 >> (16 - length);
}

}  // namespace tarkeep::io::deflate_tables
