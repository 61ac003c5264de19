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
using deflate_tables::reverse_bits;

// What a symbol means, with its extra-bit count but without its code length.
constexpr Entry symbol_entry(SymbolSet set, unsigned symbol) {
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

// The meanings of a whole set, looked up instead of worked out per code.
template <SymbolSet set, std::size_t symbols>
constexpr std::array<Entry, symbols> meaning_table() {
    std::array<Entry, symbols> meanings{};
    for (unsigned symbol = 0; symbol < symbols; ++symbol) meanings[symbol] = symbol_entry(set, symbol);
    return meanings;
}
constexpr auto kLiteralLengthMeanings = meaning_table<SymbolSet::literal_length, kMaxLiteralSymbols>();
constexpr auto kDistanceMeanings = meaning_table<SymbolSet::distance, kMaxDistanceSymbols>();
constexpr auto kCodeLengthMeanings = meaning_table<SymbolSet::code_length, kCodeLengthSymbols>();

// What the table of a set is built with: its root bits and its symbols' meanings.
struct SetLayout {
    unsigned root_bits;
    const Entry* meanings;
};

SetLayout layout_of(SymbolSet set) {
    switch (set) {
        case SymbolSet::literal_length: return {kLiteralRootBits, kLiteralLengthMeanings.data()};
        case SymbolSet::distance: return {kDistanceRootBits, kDistanceMeanings.data()};
        case SymbolSet::code_length: break;
    }
    return {kCodeLengthRootBits, kCodeLengthMeanings.data()};
}

// The meaning plus the code length, in both places the layout keeps it.
Entry with_code_bits(Entry meaning, unsigned length) { return meaning + length + (length << 8); }

struct Code {
    std::uint16_t code;
    std::uint8_t length;
    std::uint16_t symbol;
};

// The (code, length, symbol) triples a canonical bit-by-bit decoder can match: at each
// length the codes first .. first + count - 1, but only those below 2^length. Codes past
// that (an over-subscribed set) can never be reached, nor can any longer code.
//
// The symbols are counted and sorted by length in two halves side by side: neighbouring
// symbols often share a length, and a single counter per length would make each update
// wait for the one before.
std::size_t reachable_codes(const std::uint8_t* lengths, std::size_t count, Code* codes) {
    const std::size_t half = count / 2;
    std::array<std::array<std::uint16_t, kMaxCodeBits + 1>, 2> half_counts{};
    for (std::size_t i = 0; i < half; ++i) {
        ++half_counts[0][lengths[i]];
        ++half_counts[1][lengths[half + i]];
    }
    if (count % 2 != 0) ++half_counts[1][lengths[count - 1]];

    // Sorted by length, symbols without a code (length 0) first; within a length the first
    // half's symbols before the second's keeps them in symbol order.
    std::array<std::uint16_t, kMaxCodeBits + 1> counts;
    std::array<std::array<std::uint16_t, kMaxCodeBits + 1>, 2> next;
    std::uint16_t start = 0;
    for (unsigned len = 0; len <= kMaxCodeBits; ++len) {
        counts[len] = half_counts[0][len] + half_counts[1][len];
        next[0][len] = start;
        next[1][len] = start + half_counts[0][len];
        start += counts[len];
    }
    std::array<std::uint16_t, kMaxLiteralSymbols> sorted;
    for (std::size_t i = 0; i < half; ++i) {
        sorted[next[0][lengths[i]]++] = static_cast<std::uint16_t>(i);
        sorted[next[1][lengths[half + i]]++] = static_cast<std::uint16_t>(half + i);
    }
    if (count % 2 != 0) sorted[next[1][lengths[count - 1]]] = static_cast<std::uint16_t>(count - 1);

    std::size_t n = 0;
    std::uint32_t first = 0;
    std::uint32_t index = counts[0];
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
    const auto [root, meanings] = layout_of(set);
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
            storage[reverse_bits(codes[i].code, len)] = with_code_bits(meanings[codes[i].symbol], len);
    }

    std::size_t next_subtable = root_size;
    unsigned linked_prefix = ~0u;  // codes sharing a prefix are consecutive
    for (; i < n; ++i) {
        const Code& c = codes[i];
        const Entry meaning = meanings[c.symbol];
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
