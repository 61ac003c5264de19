// Lookup tables for the deflate decoder. A table answers for the next `root_bits` input
// bits at once; longer codes go through one sub-table. The tables hold exactly the codes
// a bit-by-bit canonical decoder would match, so over-subscribed or incomplete code sets
// decode (and fail) the same way.
#pragma once
#include <cstddef>
#include <cstdint>

namespace tarkeep::io::huffman {

// Entry layout: bits 0-3 code length (for a sub-table link: the root bits), bits 4-6 the
// kind, bit 7 the pair flag (see build_pairs), bits 8-12 extra bits (for a link: the sub-table's index bits), bits
// 16-31 value (literal byte, base length or distance, code-length symbol, or sub-table offset).
using Entry = std::uint32_t;

enum class Kind : std::uint32_t {
    literal = 0,  // literal byte, or a code-length symbol
    length = 1,   // base plus extra bits: a match length or a distance
    end_of_block = 2,
    subtable = 3,
    invalid = 4,     // no code starts with these bits
    bad_symbol = 5,  // literal/length 286-287 or distance 30-31
};

constexpr Kind kind_of(Entry e) { return static_cast<Kind>((e >> 4) & 0x7); }
constexpr unsigned code_bits(Entry e) { return e & 0xF; }
constexpr unsigned extra_bits(Entry e) { return (e >> 8) & 0x1F; }
constexpr unsigned value_of(Entry e) { return e >> 16; }
constexpr Entry make_entry(Kind kind, unsigned value, unsigned extra, unsigned bits) {
    return static_cast<Entry>(value) << 16 | extra << 8 | static_cast<Entry>(kind) << 4 | bits;
}

// A literal entry with this flag holds two literals (first in bits 16-23, second in 24-31)
// and the length of both codes together.
constexpr Entry kPairFlag = 0x80;
constexpr bool is_pair(Entry e) { return (e & kPairFlag) != 0; }

constexpr unsigned kMaxCodeBits = 15;
constexpr std::size_t kMaxLiteralSymbols = 288;
constexpr std::size_t kMaxDistanceSymbols = 32;
constexpr std::size_t kCodeLengthSymbols = 19;

constexpr unsigned kLiteralRootBits = 10;
constexpr unsigned kDistanceRootBits = 8;
constexpr unsigned kCodeLengthRootBits = 7;  // code-length codes are at most 7 bits long

// Every sub-table belongs to at least one symbol and spans at most 15 - root bits.
constexpr std::size_t kLiteralTableSize =
    (std::size_t{1} << kLiteralRootBits) + kMaxLiteralSymbols * (std::size_t{1} << (kMaxCodeBits - kLiteralRootBits));
constexpr std::size_t kDistanceTableSize = (std::size_t{1} << kDistanceRootBits) +
                                           kMaxDistanceSymbols * (std::size_t{1} << (kMaxCodeBits - kDistanceRootBits));
constexpr std::size_t kCodeLengthTableSize = std::size_t{1} << kCodeLengthRootBits;

struct TableView {
    const Entry* entries = nullptr;
    unsigned root_bits = 0;
};

enum class SymbolSet { literal_length, distance, code_length };

// Builds the table for `count` code lengths (0 = no code) into `storage`, which must hold
// the table size of the symbol set.
TableView build_table(const std::uint8_t* lengths, std::size_t count, SymbolSet set, Entry* storage);

// The root of a literal/length table again, with each entry whose bits hold two whole
// literal codes replaced by one pair entry: the fast decoder then takes two literals per
// lookup. Sub-table links still point into `table`. `pairs` holds kPairTableSize entries.
constexpr std::size_t kPairTableSize = std::size_t{1} << kLiteralRootBits;
void build_pairs(const TableView& table, Entry* pairs);

// The fixed codes of block type 1, built once per process.
struct FixedTables {
    TableView literal_length() const { return {literal, kLiteralRootBits}; }
    TableView distance() const { return {distances, kDistanceRootBits}; }
    Entry literal[kLiteralTableSize];
    Entry distances[kDistanceTableSize];
    Entry literal_pairs[kPairTableSize];
};
const FixedTables& fixed_tables();

}  // namespace tarkeep::io::huffman
