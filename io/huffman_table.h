// Lookup tables for the deflate decoder. A table answers for the next `root_bits` input
// bits at once; longer codes go through one sub-table. The tables hold exactly the codes
// a bit-by-bit canonical decoder would match, so over-subscribed or incomplete code sets
// decode (and fail) the same way.
#pragma once
#include <cstddef>
#include <cstdint>

namespace tarkeep::io::huffman {

// One entry says everything the decoder needs about the code it matched, so that a
// symbol costs a single load:
//   bits 0-7    bits to drop for the whole item: code length plus extra bits (a link: the root bits)
//   bits 8-11   code length alone (a link: the sub-table's index bits); the extra bits follow it
//   bit 12      with the exceptional flag: a symbol the format does not define (else: no code at all)
//   bit 13      end of block
//   bit 14      link to a sub-table
//   bit 15      exceptional: link, end of block or error; never set together with the literal flag
//   bits 16-31  base length or distance, code-length symbol, or sub-table offset
//   bit 31      literal; its byte is in bits 16-23
using Entry = std::uint32_t;

constexpr Entry kBadSymbolFlag = 1u << 12;
constexpr Entry kEndOfBlockFlag = 1u << 13;
constexpr Entry kLinkFlag = 1u << 14;
constexpr Entry kExceptionalFlag = 1u << 15;
constexpr Entry kLiteralFlag = 1u << 31;

constexpr unsigned total_bits(Entry e) { return e & 0xFF; }
constexpr unsigned code_bits(Entry e) { return (e >> 8) & 0xF; }
constexpr unsigned extra_bits(Entry e) { return total_bits(e) - code_bits(e); }
constexpr unsigned value_of(Entry e) { return e >> 16; }
constexpr std::uint8_t literal_of(Entry e) { return static_cast<std::uint8_t>(e >> 16); }
constexpr bool is_literal(Entry e) { return (e & kLiteralFlag) != 0; }
constexpr bool is_exceptional(Entry e) { return (e & kExceptionalFlag) != 0; }
constexpr bool is_link(Entry e) { return (e & kLinkFlag) != 0; }
constexpr bool is_end_of_block(Entry e) { return (e & kEndOfBlockFlag) != 0; }
// Not a link nor end of block: a code the set lacks, or a symbol without meaning.
constexpr bool is_error(Entry e) { return is_exceptional(e) && (e & (kLinkFlag | kEndOfBlockFlag)) == 0; }
constexpr bool is_bad_symbol(Entry e) { return (e & kBadSymbolFlag) != 0; }

// The base value plus the extra bits found right after the code in `bits` (the buffer as
// it was before the item was dropped).
constexpr unsigned decoded_value(Entry e, std::uint64_t bits) {
    const std::uint64_t item = bits & ((std::uint64_t{1} << total_bits(e)) - 1);
    return value_of(e) + static_cast<unsigned>(item >> code_bits(e));
}

constexpr unsigned kMaxCodeBits = 15;
constexpr std::size_t kMaxLiteralSymbols = 288;
constexpr std::size_t kMaxDistanceSymbols = 32;
constexpr std::size_t kCodeLengthSymbols = 19;

constexpr unsigned kLiteralRootBits = 11;
constexpr unsigned kDistanceRootBits = 8;
constexpr unsigned kCodeLengthRootBits = 7;  // code-length codes are at most 7 bits long

// Room for the root and every sub-table a code set can need. Canonical codes are handed
// out in order, so every sub-table but the last one of a set is filled completely, and
// a full sub-table of 2^s entries takes at least s + 1 codes. The worst case is the last
// sub-table at full size plus every other code spent on full sub-tables of the largest
// size (an incomplete set may leave the rest of the root empty).
constexpr std::size_t table_size(unsigned root_bits, std::size_t symbols) {
    const unsigned sub_bits = kMaxCodeBits - root_bits;
    const std::size_t largest = std::size_t{1} << sub_bits;
    return (std::size_t{1} << root_bits) + largest + (symbols - 1) * largest / (sub_bits + 1);
}
constexpr std::size_t kLiteralTableSize = table_size(kLiteralRootBits, kMaxLiteralSymbols);
constexpr std::size_t kDistanceTableSize = table_size(kDistanceRootBits, kMaxDistanceSymbols);
constexpr std::size_t kCodeLengthTableSize = std::size_t{1} << kCodeLengthRootBits;

enum class SymbolSet { literal_length, distance, code_length };

// Builds the table for `count` code lengths (0 = no code) into `storage`, which must hold
// the table size of the symbol set. Its root has the set's root bits.
void build_table(const std::uint8_t* lengths, std::size_t count, SymbolSet set, Entry* storage);

// The fixed codes of block type 1, built once per process.
struct FixedTables {
    Entry literal[kLiteralTableSize];
    Entry distance[kDistanceTableSize];
};
const FixedTables& fixed_tables();

}  // namespace tarkeep::io::huffman
