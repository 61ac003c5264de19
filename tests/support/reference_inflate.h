// The reference deflate decoder that inflate is checked against, and a deflate bit writer.
#pragma once
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <stdexcept>
#include <vector>

namespace tarkeep::test {

// A deliberately plain raw-deflate decoder: one bit at a time, canonical Huffman decoding
// by code ranges, no tables. It is the oracle the fast decoder is compared with: same
// output, same output-limit stop and the same error text for every input.
struct ReferenceInflateError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::vector<std::uint8_t> reference_inflate(std::span<const std::uint8_t> compressed,
                                            std::size_t output_limit = std::numeric_limits<std::size_t>::max());

// Writes a deflate bit stream: fields least-significant bit first, Huffman codes most
// significant bit first.
class DeflateBitWriter {
public:
    void bits(std::uint32_t value, unsigned count) {
        for (unsigned i = 0; i < count; ++i) {
            pending_ |= ((value >> i) & 1u) << pending_bits_;
            if (++pending_bits_ < 8) continue;
            bytes_.push_back(static_cast<std::uint8_t>(pending_));
            pending_ = pending_bits_ = 0;
        }
    }
    void code(std::uint32_t code, unsigned length) {
        for (unsigned i = length; i-- > 0;) bits((code >> i) & 1u, 1);
    }
    void align_to_byte() { bits(0, (8 - pending_bits_) % 8); }
    void byte(std::uint8_t value) { bits(value, 8); }
    std::vector<std::uint8_t> finish() {
        align_to_byte();
        return bytes_;
    }

private:
    std::vector<std::uint8_t> bytes_;
    std::uint32_t pending_ = 0;
    unsigned pending_bits_ = 0;
};

}  // namespace tarkeep::test
