// Inflate (RFC 1951): table-driven decoding of raw deflate streams, a fast loop for the bulk of the data.
#include "io/inflate.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <string>

#include "io/deflate_tables.h"
#include "io/huffman_table.h"
#include "io/load_le.h"
#include "io/zip_error.h"

namespace tarkeep::io {
namespace {

using namespace huffman;

constexpr std::size_t kMaxMatch = 258;
// Room the fast loop keeps free at the end of the output: one match plus the overshoot
// of its 8-byte copies.
constexpr std::size_t kFastOutputSlack = kMaxMatch + 16;
// The first output buffer beyond four times the input: enough for small streams at once.
constexpr std::size_t kFirstOutputBytes = 64 * 1024;

constexpr std::size_t saturating_add(std::size_t a, std::size_t b) { return a > SIZE_MAX - b ? SIZE_MAX : a + b; }

constexpr std::size_t saturating_mul(std::size_t a, std::size_t b) {
    return b != 0 && a > SIZE_MAX / b ? SIZE_MAX : a * b;
}

inline std::uint64_t low_bits(std::uint64_t value, unsigned count) { return value & ((std::uint64_t{1} << count) - 1); }

[[noreturn]] void fail(const char* what) { throw ZipError(std::string("inflate: ") + what); }

inline void store64(std::uint8_t* p, std::uint64_t value) { std::memcpy(p, &value, 8); }

// Copies a match of `length` bytes from `distance` back, writing up to 15 bytes past the
// end (the caller guarantees the room). Overlapping matches repeat data as byte-by-byte
// copying would.
inline std::uint8_t* copy_match_fast(std::uint8_t* out, std::size_t distance, std::size_t length) {
    const std::uint8_t* src = out - distance;
    std::uint8_t* const end = out + length;
    if (distance >= 8) {
        do {
            std::memcpy(out, src, 8);
            std::memcpy(out + 8, src + 8, 8);
            out += 16;
            src += 16;
        } while (out < end);
        // The second 8-byte copy may read what the first one wrote when distance < 16;
        // that is exactly the repetition a byte-wise copy gives.
    } else if (distance == 1) {
        const std::uint64_t pattern = std::uint64_t{*src} * 0x0101010101010101u;
        do {
            store64(out, pattern);
            store64(out + 8, pattern);
            out += 16;
        } while (out < end);
    } else {
        // Short periods (pixels of 2 to 7 bytes): lay down one period by bytes, then
        // repeat the first eight bytes at the largest multiple of the period that fits.
        for (int i = 0; i < 8; ++i) out[i] = src[i];
        std::uint64_t pattern;
        std::memcpy(&pattern, out, 8);
        // 8 - 8 % distance, without a division.
        static constexpr std::uint8_t kStep[8] = {0, 0, 8, 6, 8, 5, 6, 7};
        const std::size_t step = kStep[distance];
        for (out += step; out < end; out += step) std::memcpy(out, &pattern, 8);
    }
    return end;
}

// The decode tables of dynamic blocks: too large for the stack, and worth keeping between
// calls (one per thread) instead of allocating them for every small zip entry.
struct DynamicTables {
    std::array<Entry, kLiteralTableSize> literal;
    std::array<Entry, kDistanceTableSize> distance;
    std::array<Entry, kCodeLengthTableSize> code_length;
    std::array<Entry, kPairTableSize> literal_pairs;
};

DynamicTables& thread_tables() {
    // Left uninitialised: a block builds what it reads.
    thread_local const std::unique_ptr<DynamicTables> tables = std::make_unique_for_overwrite<DynamicTables>();
    return *tables;
}

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
                case 1:
                    compressed_block(fixed_tables().literal_length(), fixed_tables().literal_pairs,
                                     fixed_tables().distance());
                    break;
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
    // unexpected end instead.
    Entry decode_slow(const TableView& table) {
        refill_slow();
        Entry entry = table.entries[low_bits(bit_buffer_, table.root_bits)];
        unsigned used = 0;
        if (kind_of(entry) == Kind::subtable) {
            used = code_bits(entry);
            entry = table.entries[value_of(entry) + low_bits(bit_buffer_ >> used, extra_bits(entry))];
        }
        if (kind_of(entry) == Kind::invalid) {
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
        const TableView code_lengths =
            build_table(code_length_lengths.data(), 19, SymbolSet::code_length, tables_.code_length.data());

        std::array<std::uint8_t, kMaxLiteralSymbols + kMaxDistanceSymbols> lengths{};
        const unsigned total = literal_count + distance_count;
        unsigned n = 0;
        while (n < total) {
            const unsigned symbol = value_of(decode_slow(code_lengths));
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
        const TableView literal_lengths =
            build_table(lengths.data(), literal_count, SymbolSet::literal_length, tables_.literal.data());
        const TableView distances =
            build_table(lengths.data() + literal_count, distance_count, SymbolSet::distance, tables_.distance.data());
        build_pairs(literal_lengths, tables_.literal_pairs.data());
        compressed_block(literal_lengths, tables_.literal_pairs.data(), distances);
    }

    void compressed_block(const TableView& literals, const Entry* literal_pairs, const TableView& distances) {
        while (!past_limit()) {
            if (fast_loop(literals, literal_pairs, distances)) return;
            if (past_limit()) return;
            if (slow_symbol(literals, distances)) return;
        }
    }

    // Decodes while plenty of input and output room remain. Returns true at the end of
    // the block; false when the caller must continue with the careful path. The bit
    // reader lives in locals here: output bytes may alias anything, and members would be
    // reloaded after every store.
    bool fast_loop(const TableView& literals, const Entry* literal_pairs, const TableView& distances) {
        if (pad_bytes_ != 0 || out_.size() < kFastOutputSlack) return false;
        // One short of the limit: a pair of literals must not go past it where the careful
        // path would have stopped after the first.
        const std::size_t fast_end = std::min(out_.size() - kFastOutputSlack, saturating_add(limit_, 1)) - 1;
        if (out_.size() - kFastOutputSlack == 0 || pos_ >= fast_end) return false;
        std::uint8_t* const out_begin = out_.data();
        std::uint8_t* out = out_begin + pos_;
        std::uint8_t* const out_fast_end = out_begin + fast_end;
        const std::uint8_t* in = in_next_;
        const std::uint8_t* const in_fast_end = in_end_ - std::min<std::ptrdiff_t>(in_end_ - in_next_, 8);
        std::uint64_t bits = bit_buffer_;
        unsigned count = bit_count_;
        const Entry* const lit = literals.entries;
        const Entry* const dist = distances.entries;
        const std::uint64_t lit_mask = (std::uint64_t{1} << literals.root_bits) - 1;
        const std::uint64_t dist_mask = (std::uint64_t{1} << distances.root_bits) - 1;
        const auto take = [&](unsigned n) {
            bits >>= n;
            count -= n;
        };
        bool block_done = false;

        while (in < in_fast_end && out < out_fast_end) {
            bits |= load64_le(in) << count;
            in += (63 - count) >> 3;
            count |= 56;

            // A literal entry holds one literal or a pair; both bytes are stored either way
            // (the second of a single one is overwritten next).
            const auto put_literals = [&](Entry e) {
                take(code_bits(e));
                const auto bytes = static_cast<std::uint16_t>(value_of(e));
                const std::uint8_t pair[2] = {static_cast<std::uint8_t>(bytes), static_cast<std::uint8_t>(bytes >> 8)};
                std::memcpy(out, pair, 2);
                out += is_pair(e) ? 2 : 1;
            };
            Entry entry = literal_pairs[bits & lit_mask];
            if (kind_of(entry) == Kind::literal) {
                put_literals(entry);
                // More literals usually fit in the bits already held (56 - 2 * 15 >= 15).
                entry = literal_pairs[bits & lit_mask];
                if (kind_of(entry) != Kind::literal || out >= out_fast_end) continue;
                put_literals(entry);
                entry = literal_pairs[bits & lit_mask];
                if (kind_of(entry) != Kind::literal || out >= out_fast_end) continue;
                put_literals(entry);
                continue;
            }
            if (kind_of(entry) == Kind::subtable) {
                take(code_bits(entry));
                entry = lit[value_of(entry) + low_bits(bits, extra_bits(entry))];
            }
            take(code_bits(entry));
            const Kind kind = kind_of(entry);
            if (kind == Kind::literal) {
                *out++ = static_cast<std::uint8_t>(value_of(entry));
                continue;
            }
            if (kind != Kind::length) {
                if (kind == Kind::end_of_block) {
                    block_done = true;
                    break;
                }
                // Every bit held here is real input, so 15 bits were available.
                fail(kind == Kind::bad_symbol ? "bad length symbol" : "invalid Huffman code");
            }
            const std::size_t length = value_of(entry) + low_bits(bits, extra_bits(entry));
            take(extra_bits(entry));

            entry = dist[bits & dist_mask];
            if (kind_of(entry) == Kind::subtable) {
                take(code_bits(entry));
                entry = dist[value_of(entry) + low_bits(bits, extra_bits(entry))];
            }
            take(code_bits(entry));
            if (kind_of(entry) != Kind::length)
                fail(kind_of(entry) == Kind::bad_symbol ? "bad distance symbol" : "invalid Huffman code");
            const std::size_t distance = value_of(entry) + low_bits(bits, extra_bits(entry));
            take(extra_bits(entry));
            if (distance > static_cast<std::size_t>(out - out_begin)) fail("distance too far back");
            out = copy_match_fast(out, distance, length);
        }
        in_next_ = in;
        bit_buffer_ = bits;
        bit_count_ = count;
        pos_ = static_cast<std::size_t>(out - out_begin);
        return block_done;
    }

    // One symbol with every bit checked. Returns true at the end of the block.
    bool slow_symbol(const TableView& literals, const TableView& distances) {
        ensure_room(kMaxMatch);
        const Entry entry = decode_slow(literals);
        switch (kind_of(entry)) {
            case Kind::literal: out_[pos_++] = static_cast<std::uint8_t>(value_of(entry)); return false;
            case Kind::end_of_block: return true;
            case Kind::length: break;
            default: fail("bad length symbol");
        }
        const std::size_t length = value_of(entry) + read_bits(extra_bits(entry));
        const Entry distance_entry = decode_slow(distances);
        if (kind_of(distance_entry) != Kind::length) fail("bad distance symbol");
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

std::vector<std::uint8_t> inflate(std::span<const std::uint8_t> compressed, std::size_t expected_size,
                                  std::size_t output_limit) {
    return Inflater(compressed, expected_size, output_limit).run();
}

}  // namespace tarkeep::io
