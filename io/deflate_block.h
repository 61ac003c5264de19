// Internal pieces of the deflate compressor: bit output, Huffman code lengths and the
// coding of one block of LZ77 tokens.
#pragma once
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace tarkeep::io::deflate_detail {

// Distance 0 marks a literal whose byte is `length`; otherwise a match of
// `length` 3..258 bytes at `distance` 1..32768.
struct Token {
    std::uint16_t length;
    std::uint16_t distance;
};

// Packs bits least-significant first, a whole 64-bit word per store. Between calls the
// vector may hold a few spare bytes past the output; align_to_byte() trims them.
class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out), size_(out.size()) {}

    // Adds n <= 32 bits and writes out the whole bytes.
    void put(std::uint64_t value, unsigned n) {
        add(value, n);
        flush();
    }

    // Adds bits without writing; the caller calls flush() before more than 56 bits wait.
    void add(std::uint64_t value, unsigned n) {
        bits_ |= value << count_;
        count_ += n;
    }

    // Writes the whole bytes waiting, keeping at most 7 bits.
    void flush() {
        if (out_.size() - size_ < 8) grow();
        const std::uint64_t word = to_little_endian(bits_);
        std::memcpy(out_.data() + size_, &word, 8);
        size_ += count_ >> 3;
        bits_ >>= count_ & ~7u;
        count_ &= 7;
    }

    // Pads the final partial byte with zero bits.
    void align_to_byte() {
        add(0, (8 - count_) & 7);
        flush();
        bits_ = 0;
        count_ = 0;
        out_.resize(size_);
    }

    // Raw bytes, after align_to_byte().
    void put_bytes(std::span<const std::uint8_t> bytes) {
        out_.resize(size_);
        out_.insert(out_.end(), bytes.begin(), bytes.end());
        size_ = out_.size();
    }

private:
    static std::uint64_t to_little_endian(std::uint64_t v) {
        if constexpr (std::endian::native == std::endian::little) return v;
        std::uint64_t r = 0;
        for (int i = 0; i < 8; ++i, v >>= 8) r = (r << 8) | (v & 0xFF);
        return r;
    }

    // Spare room grows with the output, within the capacity the caller reserved first.
    void grow() { out_.resize(std::max({size_ + 64, out_.capacity(), 2 * out_.size()})); }

    std::vector<std::uint8_t>& out_;
    std::size_t size_;  // bytes of real output in out_
    std::uint64_t bits_ = 0;
    unsigned count_ = 0;
};

// Huffman code lengths for `frequencies`, none longer than `limit` bits. Frequencies are
// halved (keeping non-zero ones at least 1) until the tree fits. Fewer than two used
// symbols still get two codes of length 1.
std::vector<std::uint8_t> huffman_lengths(std::span<const std::uint32_t> frequencies, unsigned limit);

// Canonical codes for `lengths` (RFC 1951), bit-reversed for LSB-first output.
std::vector<std::uint16_t> canonical_codes(std::span<const std::uint8_t> lengths);

// Writes one block covering `tokens`, whose raw bytes are `raw`, as stored, fixed or
// dynamic Huffman, whichever is cheapest.
void write_block(BitWriter& out, std::span<const Token> tokens, std::span<const std::uint8_t> raw, bool final);

}  // namespace tarkeep::io::deflate_detail
