// Internal pieces of the deflate compressor: bit output, Huffman code lengths and the
// coding of one block of LZ77 tokens.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tarkeep::io::deflate_detail {

// Distance 0 marks a literal whose byte is `length`; otherwise a match of
// `length` 3..258 bytes at `distance` 1..32768.
struct Token {
    std::uint16_t length;
    std::uint16_t distance;
};

// Packs bits least-significant first.
class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    // n <= 32
    void put(std::uint64_t value, unsigned n) {
        bits_ |= value << count_;
        count_ += n;
        if (count_ >= 32) {
            for (int i = 0; i < 4; ++i) out_.push_back(std::uint8_t(bits_ >> (8 * i)));
            bits_ >>= 32;
            count_ -= 32;
        }
    }

    // Pads the final partial byte with zero bits.
    void align_to_byte() {
        while (count_ > 0) {
            out_.push_back(std::uint8_t(bits_));
            bits_ >>= 8;
            count_ = count_ > 8 ? count_ - 8 : 0;
        }
        bits_ = 0;
    }

    // Raw bytes, after align_to_byte().
    void put_bytes(std::span<const std::uint8_t> bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }

private:
    std::vector<std::uint8_t>& out_;
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
