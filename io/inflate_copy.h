// Match copies of the inflate fast loop: whole 8-byte words, overlapping sources repeated as a byte-wise copy would.
#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>

#include "io/byte_order.h"

namespace tarkeep::io::inflate_detail {

// Bytes a copy may write past the end of its match (and at least this many in all).
constexpr std::size_t kCopyOvershoot = 32;

// The word whose bytes repeat the `period` (2 to 7) bytes at `p`, as memory order has
// them. Reads a whole word at `p`: the bytes past the period are read but not used.
inline std::uint64_t widen_period(const std::uint8_t* p, std::size_t period) {
    if constexpr (std::endian::native == std::endian::little) {
        const unsigned period_bits = 8 * static_cast<unsigned>(period);
        const std::uint64_t one = load_unaligned<std::uint64_t>(p) & ((std::uint64_t{1} << period_bits) - 1);
        std::uint64_t word = one | one << period_bits;  // two periods: at least 4 bytes
        if (period < 4) word |= word << (2 * period_bits);
        return word;
    } else {
        std::uint8_t bytes[8];
        for (std::size_t i = 0; i < 8; ++i) bytes[i] = p[i % period];
        return load_unaligned<std::uint64_t>(bytes);
    }
}

// Copies `length` bytes from `distance` (>= 1) back to `out`; the caller leaves
// kCopyOvershoot writable bytes past the end. Returns the end of the match.
inline std::uint8_t* copy_match(std::uint8_t* out, std::size_t distance, std::size_t length) {
    const std::uint8_t* src = out - distance;
    std::uint8_t* const end = out + length;
    // Most matches fit in a word and lie at least their length back (short matches at
    // pixel distances included): one word holds them, and the rest of it only writes past
    // their end. One test for all of them keeps this branch rarely wrong.
    if ((length <= 8) & (distance >= length)) {
        store_unaligned(out, load_unaligned<std::uint64_t>(src));
        return end;
    }
    if (distance >= 8) {
        // Each word's source lies at least a word behind it, so it is already written even
        // when the match overlaps itself. Four words without a test, then the rest.
        store_unaligned(out, load_unaligned<std::uint64_t>(src));
        store_unaligned(out + 8, load_unaligned<std::uint64_t>(src + 8));
        store_unaligned(out + 16, load_unaligned<std::uint64_t>(src + 16));
        store_unaligned(out + 24, load_unaligned<std::uint64_t>(src + 24));
        for (out += 32, src += 32; out < end; out += 8, src += 8)
            store_unaligned(out, load_unaligned<std::uint64_t>(src));
        return end;
    }
    if (distance == 1) {
        const std::uint64_t pattern = std::uint64_t{*src} * 0x0101010101010101u;
        for (std::size_t i = 0; i < kCopyOvershoot; i += 8) store_unaligned(out + i, pattern);
        for (out += kCopyOvershoot; out < end; out += 8) store_unaligned(out, pattern);
        return end;
    }
    // Longer matches with periods of 2 to 7 bytes (pixels): widen one period to a word,
    // then repeat that word at the largest multiple of the period that fits in it.
    const std::uint64_t pattern = widen_period(src, distance);
    // 8 - 8 % distance, without a division.
    static constexpr std::uint8_t kStep[8] = {0, 0, 8, 6, 8, 5, 6, 7};
    const std::size_t step = kStep[distance];
    for (; out < end; out += step) store_unaligned(out, pattern);
    return end;
}

}  // namespace tarkeep::io::inflate_detail
