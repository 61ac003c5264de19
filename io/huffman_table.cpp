// Building the deflate decoder's lookup tables and sub-tables from code lengths, and the fixed tables.
#include "io/huffman_table.h"

#include <algorithm>
#include <array>
#include <memory>

#include "io/deflate_tables.h"

namespace tarkeep::io::huffman {
namespace {

using deflate_tables::kDistanceBase;
using deflate_tables::kDistanceExtra;
using deflate_tables::kLengthBase;
using deflate_tables::kLengthExtra;

// What a symbol means, with its extra-bit count but without its code length.
Entry symbol_entry(SymbolSet set, unsigned symbol) {
    const Entry bad = kExceptionalFlag | kBadSymbolFlag;
    switch (set) {
        case SymbolSet::code_length: return static_cast<Entry>(symbol) << 16;
        case SymbolSet::distance:
            if (symbol >= 30) return bad;
            return static_cast<Entry>(kDistanceBase[symbol]) << 16 | kDistanceExtra[symbol];
        case SymbolSet::literal_length:
            if (symbol < 256) return kLiteralFlag | static_cast<Entry>(symbol) << 16;
            if (symbol == 256) return kExceptionalFlag | kEndOfBlockFlag;
            if (symbol >= 286) return bad;
            return static_cast<Entry>(kLengthBase[symbol - 257]) << 16 | kLengthExtra[symbol - 257];
    }
    return bad;
}

// The meaning plus the code length, in both places the layout keeps it.
Entry with_code_bits(Entry meaning, unsigned length) { return meaning + length + (length << 8); }

unsigned root_bits_of(SymbolSet set) {
    switch (set) {
        case SymbolSet::literal_length: return kLiteralRootBits;
        case SymbolSet::distance: return kDistanceRootBits;
        case SymbolSet::code_length: return kCodeLengthRootBits;
    }
    return kCodeLengthRootBits;
}

// Codes are sent most-significant bit first but read from the low end of the bit buffer.
unsigned reverse_bits(unsigned code, unsigned length) {
    std::uint32_t x = code;
    x = (x & 0x5555) << 1 | (x >> 1 & 0x5555);
    x = (x & 0x3333) << 2 | (x >> 2 & 0x3333);
    x = (x & 0x0F0F) << 4 | (x >> 4 & 0x0F0F);
    x = (x & 0x00FF) << 8 | (x >> 8 & 0x00FF);
    return x >> (16 - length);
}

struct Code {
    std::uint16_t code;
    std::uint8_t length;
    std::uint16_t symbol;
};

// The (code, length, symbol) triples a canonical bit-by-bit decoder can match: at each
// length the codes first .. first + count - 1, but only those below 2^length. Codes past
// that (an over-subscribed set) can never be reached, nor can any longer code.
std::size_t reachable_codes(const std::uint8_t* lengths, std::size_t count, Code* codes) {
    std::array<std::uint16_t, kMaxCodeBits + 1> counts{};
    for (std::size_t i = 0; i < count; ++i) ++counts[lengths[i]];
    counts[0] = 0;

    std::array<std::uint16_t, kMaxCodeBits + 2> offsets{};
    for (unsigned len = 1; len <= kMaxCodeBits; ++len) offsets[len + 1] = offsets[len] + counts[len];
    std::array<std::uint16_t, kMaxLiteralSymbols> sorted{};
    for (std::size_t i = 0; i < count; ++i)
        if (lengths[i] != 0) sorted[offsets[lengths[i]]++] = static_cast<std::uint16_t>(i);

    std::size_t n = 0;
    std::uint32_t first = 0;
    std::uint32_t index = 0;
    for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
        const std::uint32_t limit = std::uint32_t{1} << len;
        if (first < limit) {
            const std::uint32_t usable = std::min<std::uint32_t>(counts[len], limit - first);
            for (std::uint32_t k = 0; k < usable; ++k)
                codes[n++] = {static_cast<std::uint16_t>(first + k), static_cast<std::uint8_t>(len), sorted[index + k]};
        }
        index += counts[len];
        first = std::min<std::uint32_t>((first + counts[len]) << 1, std::uint32_t{1} << (kMaxCodeBits + 1));
    }
    return n;
}

// The first `root` bits of a code longer than `root`.
unsigned prefix_of(const Code& c, unsigned root) { return static_cast<unsigned>(c.code) >> (c.length - root); }

void fill(Entry* table, std::size_t size, unsigned reversed_code, unsigned length, Entry entry) {
    for (std::size_t i = reversed_code; i < size; i += std::size_t{1} << length) table[i] = entry;
}

}  // namespace

void build_table(const std::uint8_t* lengths, std::size_t count, SymbolSet set, Entry* storage) {
    const unsigned root = root_bits_of(set);
    const std::size_t root_size = std::size_t{1} << root;
    const Entry no_code = kExceptionalFlag;
    std::array<Code, kMaxLiteralSymbols> codes;
    const std::size_t n = reachable_codes(lengths, count, codes.data());

    // The root grows one bit at a time: a code of `len` bits takes the entry at its
    // reversed code among the first 2^len entries, and doubling the filled part repeats
    // every shorter code at all the indices that start with it. Codes come sorted by
    // length. Sequential copies instead of one strided pass per code.
    std::size_t i = 0;
    std::size_t filled = 1;
    storage[0] = no_code;
    for (unsigned len = 1; len <= root; ++len) {
        std::copy_n(storage, filled, storage + filled);
        filled *= 2;
        for (; i < n && codes[i].length == len; ++i)
            storage[reverse_bits(codes[i].code, len)] = with_code_bits(symbol_entry(set, codes[i].symbol), len);
    }

    std::size_t next_subtable = root_size;
    unsigned linked_prefix = ~0u;  // codes sharing a prefix are consecutive
    for (; i < n; ++i) {
        const Code& c = codes[i];
        const Entry meaning = symbol_entry(set, c.symbol);
        const unsigned prefix_code = prefix_of(c, root);
        const unsigned prefix = reverse_bits(prefix_code, root);
        if (prefix != linked_prefix) {
            // Codes sharing a prefix are ordered by length, so the last one of the run is
            // the longest and sets the sub-table's size.
            linked_prefix = prefix;
            std::size_t last = i;
            while (last + 1 < n && prefix_of(codes[last + 1], root) == prefix_code) ++last;
            const unsigned sub_bits = codes[last].length - root;
            storage[prefix] =
                kExceptionalFlag | kLinkFlag | static_cast<Entry>(next_subtable) << 16 | sub_bits << 8 | root;
            std::fill_n(storage + next_subtable, std::size_t{1} << sub_bits, no_code);
            next_subtable += std::size_t{1} << sub_bits;
        }
        const Entry link = storage[prefix];
        const unsigned rest = c.length - root;
        const unsigned rest_code = c.code & ((1u << rest) - 1);
        fill(storage + value_of(link), std::size_t{1} << code_bits(link), reverse_bits(rest_code, rest), rest,
             with_code_bits(meaning, rest));
    }
}

const FixedTables& fixed_tables() {
    static const std::unique_ptr<FixedTables> tables = [] {
        auto built = std::make_unique<FixedTables>();
        std::array<std::uint8_t, kMaxLiteralSymbols> literal{};
        std::fill(literal.begin(), literal.begin() + 144, 8);
        std::fill(literal.begin() + 144, literal.begin() + 256, 9);
        std::fill(literal.begin() + 256, literal.begin() + 280, 7);
        std::fill(literal.begin() + 280, literal.end(), 8);
        build_table(literal.data(), literal.size(), SymbolSet::literal_length, built->literal);
        std::array<std::uint8_t, 30> distance{};
        distance.fill(5);
        build_table(distance.data(), distance.size(), SymbolSet::distance, built->distance);
        return built;
    }();
    return *tables;
}

}  // namespace tarkeep::io::huffman
