// Deflate block coding: length-limited Huffman codes, run-length coded code lengths, and the
// cheapest of stored, fixed and dynamic blocks.
#include "io/deflate_block.h"

#include <algorithm>
#include <array>
#include <functional>
#include <utility>

#include "io/deflate_tables.h"

namespace tarkeep::io::deflate_detail {
namespace {

constexpr std::size_t kLiteralSymbols = 286;
constexpr std::size_t kDistanceSymbols = 30;
constexpr std::size_t kCodeLengthSymbols = 19;
constexpr unsigned kEndOfBlock = 256;
constexpr std::size_t kMaxStoredPiece = 65535;

using deflate_tables::kCodeLengthOrder;
using deflate_tables::kDistanceBase;
using deflate_tables::kDistanceExtra;
using deflate_tables::kLengthBase;
using deflate_tables::kLengthExtra;

// Symbol lookups for every length 0..258 and distance 1..32768.
struct SymbolTables {
    std::array<std::uint8_t, 259> length_code{};
    std::array<std::uint8_t, 512> distance_code{};  // by d - 1 below 256, else 256 + ((d - 1) >> 7)

    SymbolTables() {
        for (std::size_t code = 0; code < kLengthBase.size(); ++code) {
            const unsigned end = code + 1 < kLengthBase.size() ? kLengthBase[code + 1] : 259;
            for (unsigned len = kLengthBase[code]; len < end && len < 259; ++len) length_code[len] = std::uint8_t(code);
        }
        length_code[258] = 28;
        for (std::size_t code = 0; code < kDistanceBase.size(); ++code) {
            const unsigned first = kDistanceBase[code];
            const unsigned last = first + (1u << kDistanceExtra[code]) - 1;
            for (unsigned d = first; d <= last; ++d) {
                if (d <= 256)
                    distance_code[d - 1] = std::uint8_t(code);
                else
                    distance_code[256 + ((d - 1) >> 7)] = std::uint8_t(code);
            }
        }
    }

    unsigned distance(unsigned d) const {
        return d <= 256 ? distance_code[d - 1] : distance_code[256 + ((d - 1) >> 7)];
    }
};

const SymbolTables& tables() {
    static const SymbolTables instance;
    return instance;
}

constexpr std::size_t kMaxSymbols = 288;

// huffman_lengths() into `lengths` (frequencies.size() <= 288 entries), without allocating.
void build_lengths(std::span<const std::uint32_t> frequencies, unsigned limit, std::uint8_t* lengths) {
    const std::size_t n = frequencies.size();
    std::fill_n(lengths, n, 0);
    std::array<std::uint64_t, kMaxSymbols> weights{};
    std::copy(frequencies.begin(), frequencies.end(), weights.begin());
    std::size_t used = 0, last_used = 0;
    for (std::size_t s = 0; s < n; ++s) {
        if (weights[s] != 0) ++used, last_used = s;
    }
    if (used < 2) {
        const std::size_t symbol = used == 1 ? last_used : 0;
        lengths[symbol] = 1;
        lengths[symbol == 0 ? 1 : 0] = 1;
        return;
    }
    // A min-heap of (weight, node); every pair differs in its node, so the order in which
    // nodes leave it, and with it the tree, is fully determined (ties to the smaller node).
    using Entry = std::pair<std::uint64_t, std::size_t>;
    std::array<Entry, kMaxSymbols> heap;
    std::array<std::size_t, 2 * kMaxSymbols> parent;
    const auto later = std::greater<Entry>();
    for (;;) {
        std::size_t heap_size = 0;
        for (std::size_t s = 0; s < n; ++s) {
            if (weights[s] != 0) heap[heap_size++] = {weights[s], s};
        }
        std::make_heap(heap.begin(), heap.begin() + std::ptrdiff_t(heap_size), later);
        const auto pop = [&] {
            std::pop_heap(heap.begin(), heap.begin() + std::ptrdiff_t(heap_size), later);
            return heap[--heap_size];
        };
        std::size_t next_node = n;
        while (heap_size > 1) {
            const Entry a = pop();
            const Entry b = pop();
            parent[a.second] = parent[b.second] = next_node;
            heap[heap_size++] = {a.first + b.first, next_node++};
            std::push_heap(heap.begin(), heap.begin() + std::ptrdiff_t(heap_size), later);
        }
        const std::size_t root = next_node - 1;
        unsigned deepest = 0;
        for (std::size_t s = 0; s < n; ++s) {
            if (weights[s] == 0) continue;
            unsigned depth = 0;
            for (std::size_t node = s; node != root; node = parent[node]) ++depth;
            lengths[s] = std::uint8_t(std::min(depth, 255u));
            deepest = std::max(deepest, depth);
        }
        if (deepest <= limit) return;
        for (std::size_t s = 0; s < n; ++s) {
            if (weights[s] != 0) weights[s] = std::max<std::uint64_t>(1, weights[s] / 2);
        }
    }
}

// canonical_codes() into `codes` (lengths.size() entries), without allocating.
void build_codes(std::span<const std::uint8_t> lengths, std::uint16_t* codes) {
    std::array<std::uint16_t, 17> count{};
    for (std::uint8_t l : lengths) ++count[l];
    count[0] = 0;
    std::array<std::uint16_t, 17> next{};
    unsigned code = 0;
    for (unsigned bits = 1; bits <= 16; ++bits) {
        code = (code + count[bits - 1]) << 1;
        next[bits] = std::uint16_t(code);
    }
    for (std::size_t s = 0; s < lengths.size(); ++s) {
        const unsigned len = lengths[s];
        codes[s] = 0;
        if (len == 0) continue;
        codes[s] = std::uint16_t(deflate_tables::reverse_bits(next[len]++, len));
    }
}

struct Frequencies {
    std::array<std::uint32_t, kLiteralSymbols> literal{};
    std::array<std::uint32_t, kDistanceSymbols> distance{};
    std::uint64_t extra_bits = 0;
};

Frequencies count_symbols(std::span<const Token> tokens) {
    const SymbolTables& t = tables();
    Frequencies f;
    for (const Token& token : tokens) {
        if (token.distance == 0) {
            ++f.literal[token.length];
            continue;
        }
        const unsigned lcode = t.length_code[token.length];
        const unsigned dcode = t.distance(token.distance);
        ++f.literal[257 + lcode];
        ++f.distance[dcode];
        f.extra_bits += kLengthExtra[lcode] + kDistanceExtra[dcode];
    }
    f.literal[kEndOfBlock] = 1;
    return f;
}

unsigned fixed_literal_length(unsigned symbol) {
    if (symbol < 144) return 8;
    if (symbol < 256) return 9;
    if (symbol < 280) return 7;
    return 8;
}

// The code lengths of both alphabets, run-length coded with symbols 16, 17 and 18. Fixed
// arrays: a block plans and writes without allocating.
struct LengthCode {
    std::array<std::uint8_t, kLiteralSymbols> literal_lengths{};
    std::array<std::uint8_t, kDistanceSymbols> distance_lengths{};
    std::size_t hlit = 0, hdist = 0, hclen = 0;
    std::array<std::pair<std::uint8_t, std::uint8_t>, kLiteralSymbols + kDistanceSymbols> symbols{};  // (symbol, extra)
    std::size_t symbol_count = 0;
    std::array<std::uint8_t, kCodeLengthSymbols> code_lengths{};  // lengths of the 19-symbol alphabet

    std::span<const std::pair<std::uint8_t, std::uint8_t>> used_symbols() const {
        return {symbols.data(), symbol_count};
    }
    void emit(std::uint8_t symbol, std::uint8_t extra) { symbols[symbol_count++] = {symbol, extra}; }
};

void run_length_code(std::span<const std::uint8_t> lengths, LengthCode& plan) {
    std::size_t i = 0;
    while (i < lengths.size()) {
        const std::uint8_t value = lengths[i];
        std::size_t run = 1;
        while (i + run < lengths.size() && lengths[i + run] == value) ++run;
        i += run;
        if (value != 0) {
            plan.emit(value, 0);
            std::size_t left = run - 1;
            while (left >= 3) {
                const std::size_t n = std::min<std::size_t>(left, 6);
                plan.emit(16, std::uint8_t(n - 3));
                left -= n;
            }
            for (; left > 0; --left) plan.emit(value, 0);
        } else {
            std::size_t left = run;
            while (left >= 11) {
                const std::size_t n = std::min<std::size_t>(left, 138);
                plan.emit(18, std::uint8_t(n - 11));
                left -= n;
            }
            if (left >= 3) {
                plan.emit(17, std::uint8_t(left - 3));
                left = 0;
            }
            for (; left > 0; --left) plan.emit(0, 0);
        }
    }
}

unsigned code_length_extra_bits(unsigned symbol) { return symbol == 16 ? 2 : symbol == 17 ? 3 : symbol == 18 ? 7 : 0; }

void plan_dynamic(const Frequencies& f, LengthCode& plan) {
    build_lengths(f.literal, 15, plan.literal_lengths.data());
    build_lengths(f.distance, 15, plan.distance_lengths.data());
    plan.hlit = kLiteralSymbols;
    while (plan.hlit > 257 && plan.literal_lengths[plan.hlit - 1] == 0) --plan.hlit;
    plan.hdist = kDistanceSymbols;
    while (plan.hdist > 1 && plan.distance_lengths[plan.hdist - 1] == 0) --plan.hdist;

    std::array<std::uint8_t, kLiteralSymbols + kDistanceSymbols> all{};
    std::copy_n(plan.literal_lengths.begin(), plan.hlit, all.begin());
    std::copy_n(plan.distance_lengths.begin(), plan.hdist, all.begin() + std::ptrdiff_t(plan.hlit));
    run_length_code({all.data(), plan.hlit + plan.hdist}, plan);

    std::array<std::uint32_t, kCodeLengthSymbols> counts{};
    for (const auto& [symbol, extra] : plan.used_symbols()) ++counts[symbol];
    build_lengths(counts, 7, plan.code_lengths.data());
    plan.hclen = kCodeLengthSymbols;
    while (plan.hclen > 4 && plan.code_lengths[kCodeLengthOrder[plan.hclen - 1]] == 0) --plan.hclen;
}

std::uint64_t dynamic_cost(const LengthCode& plan, const Frequencies& f) {
    std::uint64_t bits = 17 + 3 * plan.hclen + f.extra_bits;
    for (const auto& [symbol, extra] : plan.used_symbols())
        bits += plan.code_lengths[symbol] + code_length_extra_bits(symbol);
    for (std::size_t s = 0; s < kLiteralSymbols; ++s) bits += std::uint64_t(f.literal[s]) * plan.literal_lengths[s];
    for (std::size_t s = 0; s < kDistanceSymbols; ++s) bits += std::uint64_t(f.distance[s]) * plan.distance_lengths[s];
    return bits;
}

std::uint64_t fixed_cost(const Frequencies& f) {
    std::uint64_t bits = 3 + f.extra_bits;
    for (std::size_t s = 0; s < kLiteralSymbols; ++s)
        bits += std::uint64_t(f.literal[s]) * fixed_literal_length(unsigned(s));
    for (std::size_t s = 0; s < kDistanceSymbols; ++s) bits += std::uint64_t(f.distance[s]) * 5;
    return bits;
}

std::uint64_t stored_cost(std::size_t bytes) { return (bytes / kMaxStoredPiece + 1) * 42 + 8 * std::uint64_t(bytes); }

void write_stored(BitWriter& out, std::span<const std::uint8_t> raw, bool final) {
    std::size_t offset = 0;
    do {
        const std::size_t piece = std::min(kMaxStoredPiece, raw.size() - offset);
        const bool last = offset + piece == raw.size();
        out.put(final && last ? 1 : 0, 3);
        out.align_to_byte();
        out.put(piece, 16);
        out.put(~piece & 0xFFFF, 16);
        out.align_to_byte();
        out.put_bytes(raw.subspan(offset, piece));
        offset += piece;
    } while (offset < raw.size());
}

// The tokens and end-of-block with the given (bit-reversed) codes.
void write_tokens(BitWriter& out, std::span<const Token> tokens, std::span<const std::uint16_t> literal_codes,
                  std::span<const std::uint8_t> literal_lengths, std::span<const std::uint16_t> distance_codes,
                  std::span<const std::uint8_t> distance_lengths) {
    const SymbolTables& t = tables();
    for (const Token& token : tokens) {
        // One flush per token: a match adds at most 15 + 5 + 15 + 13 bits to the 7 waiting.
        if (token.distance == 0) {
            out.add(literal_codes[token.length], literal_lengths[token.length]);
            out.flush();
            continue;
        }
        const unsigned lcode = t.length_code[token.length];
        const unsigned dcode = t.distance(token.distance);
        out.add(literal_codes[257 + lcode], literal_lengths[257 + lcode]);
        out.add(token.length - kLengthBase[lcode], kLengthExtra[lcode]);
        out.add(distance_codes[dcode], distance_lengths[dcode]);
        out.add(token.distance - kDistanceBase[dcode], kDistanceExtra[dcode]);
        out.flush();
    }
    out.put(literal_codes[kEndOfBlock], literal_lengths[kEndOfBlock]);
}

void write_fixed(BitWriter& out, std::span<const Token> tokens, bool final) {
    static const auto lengths = [] {
        std::pair<std::vector<std::uint8_t>, std::vector<std::uint8_t>> l;
        for (unsigned s = 0; s < 288; ++s) l.first.push_back(std::uint8_t(fixed_literal_length(s)));
        l.second.assign(32, 5);
        return l;
    }();
    static const std::vector<std::uint16_t> literal_codes = canonical_codes(lengths.first);
    static const std::vector<std::uint16_t> distance_codes = canonical_codes(lengths.second);
    out.put(final ? 1 : 0, 1);
    out.put(1, 2);
    write_tokens(out, tokens, literal_codes, lengths.first, distance_codes, lengths.second);
}

void write_dynamic(BitWriter& out, std::span<const Token> tokens, const LengthCode& plan, bool final) {
    out.put(final ? 1 : 0, 1);
    out.put(2, 2);
    out.put(plan.hlit - 257, 5);
    out.put(plan.hdist - 1, 5);
    out.put(plan.hclen - 4, 4);
    for (std::size_t i = 0; i < plan.hclen; ++i) out.put(plan.code_lengths[kCodeLengthOrder[i]], 3);
    std::array<std::uint16_t, kCodeLengthSymbols> cl_codes;
    build_codes(plan.code_lengths, cl_codes.data());
    for (const auto& [symbol, extra] : plan.used_symbols()) {
        out.put(cl_codes[symbol], plan.code_lengths[symbol]);
        out.put(extra, code_length_extra_bits(symbol));
    }
    std::array<std::uint16_t, kLiteralSymbols> literal_codes;
    std::array<std::uint16_t, kDistanceSymbols> distance_codes;
    build_codes(plan.literal_lengths, literal_codes.data());
    build_codes(plan.distance_lengths, distance_codes.data());
    write_tokens(out, tokens, literal_codes, plan.literal_lengths, distance_codes, plan.distance_lengths);
}

}  // namespace

std::vector<std::uint8_t> huffman_lengths(std::span<const std::uint32_t> frequencies, unsigned limit) {
    std::vector<std::uint8_t> lengths(frequencies.size());
    build_lengths(frequencies, limit, lengths.data());
    return lengths;
}

std::vector<std::uint16_t> canonical_codes(std::span<const std::uint8_t> lengths) {
    std::vector<std::uint16_t> codes(lengths.size());
    build_codes(lengths, codes.data());
    return codes;
}

void write_block(BitWriter& out, std::span<const Token> tokens, std::span<const std::uint8_t> raw, bool final) {
    const Frequencies f = count_symbols(tokens);
    LengthCode plan;
    plan_dynamic(f, plan);
    const std::uint64_t stored = stored_cost(raw.size());
    const std::uint64_t fixed = fixed_cost(f);
    const std::uint64_t dynamic = dynamic_cost(plan, f);
    if (stored < fixed && stored < dynamic) {
        write_stored(out, raw, final);
    } else if (dynamic < fixed) {
        write_dynamic(out, tokens, plan, final);
    } else {
        write_fixed(out, tokens, final);
    }
}

}  // namespace tarkeep::io::deflate_detail
