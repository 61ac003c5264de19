// Inflate (RFC 1951): table-driven decoding of raw deflate streams, a fast loop for the bulk of the data.
#include "io/inflate.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <string>

#include "io/byte_order.h"
#include "io/deflate_tables.h"
#include "io/huffman_table.h"
#include "io/inflate_copy.h"
#include "io/zip_error.h"

namespace tarkeep::io {
namespace {

using namespace huffman;

using inflate_detail::copy_match;
using inflate_detail::kCopyOvershoot;

constexpr std::size_t kMaxMatch = 258;
constexpr unsigned kLiteralsPerRefill = 4;
static_assert(kLiteralsPerRefill * kLiteralRootBits + kLiteralRootBits <= 56);
// Room the fast loop keeps free at the end of the output: the literals and a match of
// one round, plus what the match's word copies write past its end.
constexpr std::size_t kFastOutputSlack = kLiteralsPerRefill - 1 + kMaxMatch + kCopyOvershoot;
// Input the fast loop keeps in reserve: a round refills at most twice, and each refill
// reads one word and advances by at most 7 bytes.
constexpr std::size_t kFastInputSlack = 16;
// The most bits a length and a distance take: code and extra bits. Three literals and a
// length fit in the 56 bits of a refill; after four literals the round ends.
constexpr unsigned kMaxLengthItemBits = 15 + 5;
constexpr unsigned kMaxDistanceItemBits = 15 + 13;
static_assert(3 * kLiteralRootBits + kMaxLengthItemBits <= 56);
// The first output buffer beyond four times the input: enough for small streams at once.
constexpr std::size_t kFirstOutputBytes = 64 * 1024;

constexpr std::size_t saturating_add(std::size_t a, std::size_t b) { return a > SIZE_MAX - b ? SIZE_MAX : a + b; }

constexpr std::size_t saturating_mul(std::size_t a, std::size_t b) {
    return b != 0 && a > SIZE_MAX / b ? SIZE_MAX : a * b;
}

inline std::uint64_t low_bits(std::uint64_t value, unsigned count) { return value & ((std::uint64_t{1} << count) - 1); }

[[noreturn]] void fail(const char* what) { throw ZipError(std::string("inflate: ") + what); }

// The decode tables of dynamic blocks: worth keeping between calls (one set per thread)
// instead of building up memory for every small zip entry.
struct DynamicTables {
    std::array<Entry, kLiteralTableSize> literal;
    std::array<Entry, kDistanceTableSize> distance;
    std::array<Entry, kCodeLengthTableSize> code_length;
};

DynamicTables& thread_tables() {
    // Left uninitialised: a block builds what it reads.
    thread_local const std::unique_ptr<DynamicTables> tables = std::make_unique_for_overwrite<DynamicTables>();
    return *tables;
}

// The fast loop's view of the decoder: pointers and the bit buffer, kept in registers.
struct FastState {
    const std::uint8_t* in;
    const std::uint8_t* in_fast_end;  // the loop runs while `in` is below it
    std::uint8_t* out_begin;
    std::uint8_t* out;
    std::uint8_t* out_fast_end;  // ... and while `out` is below this
    std::uint64_t bits;
    unsigned count;
};

#if defined(__GNUC__)
#define TARKEEP_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define TARKEEP_ALWAYS_INLINE inline
#endif

// Decodes symbols with no bounds test per symbol until the end of the block (returns
// true) or until input or output room runs short (false). Inlined into each processor
// variant below, so that the compiler may use that variant's instructions.
//
// A refill makes all 64 bits of the buffer real input (the count says 56 to 63), so a
// table index may look a little past the count. Each round starts refilled and with its
// first literal/length entry already loaded, so that the load's latency overlaps the
// previous round's work.
TARKEEP_ALWAYS_INLINE bool decode_fast(FastState& state, const Entry* literals, const Entry* distances) {
    const std::uint8_t* in = state.in;
    const std::uint8_t* const in_fast_end = state.in_fast_end;
    std::uint8_t* const out_begin = state.out_begin;
    std::uint8_t* out = state.out;
    std::uint8_t* const out_fast_end = state.out_fast_end;
    std::uint64_t bits = state.bits;
    unsigned count = state.count;
    constexpr std::uint64_t literal_mask = (std::uint64_t{1} << kLiteralRootBits) - 1;
    constexpr std::uint64_t distance_mask = (std::uint64_t{1} << kDistanceRootBits) - 1;

    // Only the low byte of `count` is the bit count: dropping an item subtracts its whole
    // entry (one instruction less per symbol), which leaves junk above that byte.
    const auto held = [&] { return count & 0xFF; };
    const auto refill = [&] {
        bits |= load64_le(in) << held();
        in += (63 - held()) >> 3;
        count |= 56;
    };
    const auto drop = [&](Entry e) {
        bits >>= total_bits(e);
        count -= e;
    };
    bool block_done = false;

    refill();
    Entry entry = literals[bits & literal_mask];
    do {
        std::uint64_t saved = bits;
        if (is_literal(entry)) {
            // Up to four literals per refill: root literals take at most 11 bits each, so
            // four and the next index fit in the 56 bits a refill guarantees.
            unsigned n = 0;
            do {
                drop(entry);
                out[n++] = literal_of(entry);
                entry = literals[bits & literal_mask];
            } while (is_literal(entry) && n < kLiteralsPerRefill);
            out += n;
            if (n == kLiteralsPerRefill) {
                refill();
                continue;
            }
            saved = bits;
        }
        drop(entry);
        if (is_exceptional(entry)) {
            if (is_link(entry)) {
                entry = literals[value_of(entry) + low_bits(bits, code_bits(entry))];
                saved = bits;
                drop(entry);
                if (is_literal(entry)) {
                    *out++ = literal_of(entry);
                    entry = literals[bits & literal_mask];
                    refill();
                    continue;
                }
            }
            if (is_end_of_block(entry)) {
                block_done = true;
                break;
            }
            // Every bit held here is real input, so 15 bits were available.
            if (is_error(entry)) fail(is_bad_symbol(entry) ? "bad length symbol" : "invalid Huffman code");
        }
        const std::size_t length = decoded_value(entry, saved);

        // The distance's root index is real input already: a round takes at most three
        // literals and a length (53 bits) of the 64 a refill loads. Looking it up before
        // the refill keeps the refill's load off the path to the distance.
        static_assert(3 * kLiteralRootBits + kMaxLengthItemBits + kDistanceRootBits <= 64);
        entry = distances[bits & distance_mask];
        // The whole distance and the next round's table index must be held; a round with
        // no literals before its length still has them.
        static_assert(kMaxDistanceItemBits + kLiteralRootBits <= 56);
        if (held() < kMaxDistanceItemBits + kLiteralRootBits) refill();
        if (is_exceptional(entry)) {
            if (is_link(entry)) {
                drop(entry);
                entry = distances[value_of(entry) + low_bits(bits, code_bits(entry))];
            }
            if (is_error(entry)) fail(is_bad_symbol(entry) ? "bad distance symbol" : "invalid Huffman code");
        }
        saved = bits;
        drop(entry);
        const std::size_t distance = decoded_value(entry, saved);
        if (distance > static_cast<std::size_t>(out - out_begin)) fail("distance too far back");

        // The next round's entry first: its load then overlaps the copy.
        entry = literals[bits & literal_mask];
        refill();
        out = copy_match(out, distance, length);
    } while (in < in_fast_end && out < out_fast_end);
    state.in = in;
    state.out = out;
    state.bits = bits;
    state.count = held();
    return block_done;
}

bool decode_fast_portable(FastState& state, const Entry* literals, const Entry* distances) {
    return decode_fast(state, literals, distances);
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
// With BMI2 the variable shifts and bit masks are one instruction each.
__attribute__((target("bmi2"))) bool decode_fast_bmi2(FastState& state, const Entry* literals, const Entry* distances) {
    return decode_fast(state, literals, distances);
}

bool has_bmi2() {
    static const bool available = __builtin_cpu_supports("bmi2");
    return available;
}
#else
bool decode_fast_bmi2(FastState& state, const Entry* literals, const Entry* distances) {
    return decode_fast(state, literals, distances);
}

bool has_bmi2() { return false; }
#endif

thread_local bool portable_only = false;

class Inflater {
public:
    Inflater(std::span<const std::uint8_t> input, std::size_t expected_size, std::size_t output_limit)
        : in_next_(input.data()), in_end_(input.data() + input.size()), limit_(output_limit), tables_(thread_tables()) {
        // The output grows as data arrives, never ahead of it: a hostile expected size
        // must not make us commit (and zero-fill) gigabytes before the stream proves them.
        // It only caps the growth, so a true size is reached without a final reallocation.
        const std::size_t expected =
            expected_size != 0 ? std::min(expected_size, saturating_add(limit_, 1)) : saturating_add(limit_, 1);
        growth_cap_ = saturating_add(expected, kFastOutputSlack);
        const std::size_t first =
            std::min(expected, saturating_add(saturating_mul(input.size(), 4), kFirstOutputBytes));
        out_.resize(saturating_add(first, kFastOutputSlack));
    }

    std::vector<std::uint8_t> run() {
        bool final_block = false;
        while (!final_block && !past_limit()) {
            final_block = read_bits(1) != 0;
            switch (read_bits(2)) {
                case 0: stored_block(); break;
                case 1: compressed_block(fixed_tables().literal, fixed_tables().distance); break;
                case 2: dynamic_block(); break;
                default: fail("invalid block type");
            }
        }
        out_.resize(pos_);
        return std::move(out_);
    }

private:
    bool past_limit() const { return pos_ > limit_; }

    // ---- bit reader -------------------------------------------------------------------
    // Bits are taken least-significant first. Past the end of the input the slow refill
    // feeds zero bytes and counts them; any use of such a bit is "unexpected end".

    std::int64_t real_bits() const {
        return static_cast<std::int64_t>(bit_count_) - 8 * static_cast<std::int64_t>(pad_bytes_);
    }

    void refill_slow() {
        while (bit_count_ < 56) {  // stays below 64 so that the fast loop may shift by it
            std::uint64_t byte = 0;
            if (in_next_ < in_end_) {
                byte = *in_next_++;
            } else {
                ++pad_bytes_;
            }
            bit_buffer_ |= byte << bit_count_;
            bit_count_ += 8;
        }
    }

    void consume(unsigned count) {
        bit_buffer_ >>= count;
        bit_count_ -= count;
    }

    void consume_checked(unsigned count) {
        if (static_cast<std::int64_t>(count) > real_bits()) fail("unexpected end of data");
        consume(count);
    }

    std::uint32_t read_bits(unsigned count) {
        refill_slow();
        const auto value = static_cast<std::uint32_t>(low_bits(bit_buffer_, count));
        consume_checked(count);
        return value;
    }

    // One symbol, with the errors of a bit-by-bit canonical decoder: a code that matches
    // nothing is only known to be invalid after 15 bits, so fewer remaining bits are an
    // unexpected end instead. Drops the code, not its extra bits.
    Entry decode_slow(const Entry* table, unsigned root_bits) {
        refill_slow();
        Entry entry = table[low_bits(bit_buffer_, root_bits)];
        unsigned used = 0;
        if (is_link(entry)) {
            used = total_bits(entry);
            entry = table[value_of(entry) + low_bits(bit_buffer_ >> used, code_bits(entry))];
        }
        if (is_error(entry) && !is_bad_symbol(entry)) {
            if (real_bits() < kMaxCodeBits) fail("unexpected end of data");
            fail("invalid Huffman code");
        }
        consume_checked(used + code_bits(entry));
        return entry;
    }

    // ---- output -----------------------------------------------------------------------

    void ensure_room(std::size_t count) {
        if (out_.size() - pos_ >= count) return;
        const std::size_t needed = saturating_add(pos_, count);
        // Doubling keeps the copies linear; it stops at the expected size once, and past
        // it (a stream longer than announced) at the limit.
        std::size_t target = saturating_mul(out_.size(), 2);
        if (out_.size() < growth_cap_) target = std::min(target, growth_cap_);
        target = std::min(target, saturating_add(limit_, 2 * kFastOutputSlack));
        out_.resize(std::max(needed, target));
    }

    // ---- blocks -----------------------------------------------------------------------

    void stored_block() {
        // Drop the rest of the current byte, then hand the whole bytes still held in the
        // bit buffer back to the input.
        consume(bit_count_ & 7);
        const std::size_t held = bit_count_ / 8 - pad_bytes_;
        in_next_ -= held;
        bit_buffer_ = 0;
        bit_count_ = 0;
        pad_bytes_ = 0;

        if (in_end_ - in_next_ < 4) fail("stored block exceeds data");
        const std::uint32_t length = in_next_[0] | in_next_[1] << 8;
        const std::uint32_t complement = in_next_[2] | in_next_[3] << 8;
        in_next_ += 4;
        if (complement != (~length & 0xFFFF)) fail("stored block length mismatch");
        if (static_cast<std::size_t>(in_end_ - in_next_) < length) fail("stored block exceeds data");
        ensure_room(length);
        std::memcpy(out_.data() + pos_, in_next_, length);
        pos_ += length;
        in_next_ += length;
    }

    void dynamic_block() {
        const unsigned literal_count = read_bits(5) + 257;
        const unsigned distance_count = read_bits(5) + 1;
        const unsigned code_length_count = read_bits(4) + 4;

        std::array<std::uint8_t, 19> code_length_lengths{};
        for (unsigned i = 0; i < code_length_count; ++i)
            code_length_lengths[deflate_tables::kCodeLengthOrder[i]] = static_cast<std::uint8_t>(read_bits(3));
        build_table(code_length_lengths.data(), 19, SymbolSet::code_length, tables_.code_length.data());

        std::array<std::uint8_t, kMaxLiteralSymbols + kMaxDistanceSymbols> lengths{};
        const unsigned total = literal_count + distance_count;
        unsigned n = 0;
        while (n < total) {
            const unsigned symbol = value_of(decode_slow(tables_.code_length.data(), kCodeLengthRootBits));
            if (symbol < 16) {
                lengths[n++] = static_cast<std::uint8_t>(symbol);
                continue;
            }
            std::uint8_t repeated = 0;
            unsigned run = 0;
            if (symbol == 16) {
                if (n == 0) fail("repeat without previous length");
                repeated = lengths[n - 1];
                run = 3 + read_bits(2);
            } else if (symbol == 17) {
                run = 3 + read_bits(3);
            } else {
                run = 11 + read_bits(7);
            }
            if (n + run > total) fail("too many code lengths");
            std::fill_n(lengths.begin() + n, run, repeated);
            n += run;
        }
        build_table(lengths.data(), literal_count, SymbolSet::literal_length, tables_.literal.data());
        build_table(lengths.data() + literal_count, distance_count, SymbolSet::distance, tables_.distance.data());
        compressed_block(tables_.literal.data(), tables_.distance.data());
    }

    void compressed_block(const Entry* literals, const Entry* distances) {
        while (!past_limit()) {
            if (fast_loop(literals, distances)) return;
            if (past_limit()) return;
            if (slow_symbol(literals, distances)) return;
        }
    }

    // Where the fast loop must stop writing: room for a round's worst case must remain,
    // and a round of literals must not step past the limit where the careful path would
    // have stopped after the first literal beyond it.
    std::size_t fast_output_end() const {
        const std::size_t room_end = out_.size() < kFastOutputSlack ? 0 : out_.size() - kFastOutputSlack;
        constexpr std::size_t back = kLiteralsPerRefill - 1;
        const std::size_t limit_end = limit_ < back ? 0 : limit_ - back;
        return std::min(room_end, limit_end);
    }

    // Hands the bulk of the block to the fast loop while plenty of input and output room
    // remain. Returns true at the end of the block; false when the caller must continue
    // with the careful path.
    bool fast_loop(const Entry* literals, const Entry* distances) {
        const std::size_t out_end_index = fast_output_end();
        const auto in_room = static_cast<std::size_t>(in_end_ - in_next_);
        if (pad_bytes_ != 0 || pos_ >= out_end_index || in_room <= kFastInputSlack) return false;
        FastState state{in_next_,           in_end_ - kFastInputSlack,   out_.data(),
                        out_.data() + pos_, out_.data() + out_end_index, bit_buffer_,
                        bit_count_};
        const bool block_done = portable_only || !has_bmi2() ? decode_fast_portable(state, literals, distances)
                                                             : decode_fast_bmi2(state, literals, distances);
        in_next_ = state.in;
        bit_buffer_ = state.bits;
        bit_count_ = state.count;
        pos_ = static_cast<std::size_t>(state.out - state.out_begin);
        return block_done;
    }

    // One symbol with every bit checked. Returns true at the end of the block.
    bool slow_symbol(const Entry* literals, const Entry* distances) {
        ensure_room(kMaxMatch);
        const Entry entry = decode_slow(literals, kLiteralRootBits);
        if (is_literal(entry)) {
            out_[pos_++] = literal_of(entry);
            return false;
        }
        if (is_end_of_block(entry)) return true;
        if (is_exceptional(entry)) fail("bad length symbol");
        const std::size_t length = value_of(entry) + read_bits(extra_bits(entry));
        const Entry distance_entry = decode_slow(distances, kDistanceRootBits);
        if (is_exceptional(distance_entry)) fail("bad distance symbol");
        const std::size_t distance = value_of(distance_entry) + read_bits(extra_bits(distance_entry));
        if (distance > pos_) fail("distance too far back");
        // Byte by byte: the source may overlap the bytes being written. Indexing from the
        // source's own start keeps every pointer inside the buffer (out[i - distance] would
        // wrap the unsigned index).
        std::uint8_t* out = out_.data() + pos_;
        const std::uint8_t* from = out - distance;
        for (std::size_t i = 0; i < length; ++i) out[i] = from[i];
        pos_ += length;
        return false;
    }

    const std::uint8_t* in_next_;
    const std::uint8_t* const in_end_;
    std::uint64_t bit_buffer_ = 0;
    unsigned bit_count_ = 0;
    std::size_t pad_bytes_ = 0;

    std::vector<std::uint8_t> out_;  // size() is the capacity in use; pos_ the length
    std::size_t pos_ = 0;
    const std::size_t limit_;
    std::size_t growth_cap_ = 0;
    DynamicTables& tables_;
};

}  // namespace

void inflate_detail::use_portable_fast_loop(bool portable) { portable_only = portable; }

std::vector<std::uint8_t> inflate(std::span<const std::uint8_t> compressed, std::size_t expected_size,
                                  std::size_t output_limit) {
    return Inflater(compressed, expected_size, output_limit).run();
}

}  // namespace tarkeep::io
