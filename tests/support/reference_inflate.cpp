// The plain bit-by-bit reference inflate.
#include "tests/support/reference_inflate.h"

#include <array>
#include <string>

#include "io/deflate_tables.h"

namespace tarkeep::test {
namespace {

// The format's fixed tables: zlib's streams in the inflate tests pin every entry.
using namespace io::deflate_tables;

[[noreturn]] void fail(const char* what) { throw ReferenceInflateError(std::string("inflate: ") + what); }

struct Huffman {
    std::array<std::uint16_t, 16> count{};
    std::vector<std::uint16_t> symbol;
};

Huffman make_huffman(const std::uint8_t* lengths, std::size_t n) {
    Huffman h;
    for (std::size_t i = 0; i < n; ++i) ++h.count[lengths[i]];
    h.count[0] = 0;
    for (unsigned len = 1; len < 16; ++len)
        for (std::size_t i = 0; i < n; ++i)
            if (lengths[i] == len) h.symbol.push_back(static_cast<std::uint16_t>(i));
    return h;
}

class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> in) : in_(in) {}

    unsigned bit() {
        if (bit_pos_ == 8) {
            if (pos_ >= in_.size()) fail("unexpected end of data");
            current_ = in_[pos_++];
            bit_pos_ = 0;
        }
        return (current_ >> bit_pos_++) & 1;
    }
    std::uint32_t bits(unsigned n) {
        std::uint32_t v = 0;
        for (unsigned i = 0; i < n; ++i) v |= static_cast<std::uint32_t>(bit()) << i;
        return v;
    }
    unsigned decode(const Huffman& h) {
        long code = 0, first = 0, index = 0;
        for (unsigned len = 1; len <= 15; ++len) {
            code |= bit();
            const long count = h.count[len];
            if (code - first < count) return h.symbol[static_cast<std::size_t>(index + code - first)];
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        fail("invalid Huffman code");
    }
    void align() { bit_pos_ = 8; }
    bool has(std::size_t n) const { return in_.size() - pos_ >= n; }
    std::uint8_t next_byte() { return in_[pos_++]; }

private:
    std::span<const std::uint8_t> in_;
    std::size_t pos_ = 0;
    std::uint8_t current_ = 0;
    unsigned bit_pos_ = 8;
};

// Returns true when the output passed the limit.
bool codes(Reader& r, const Huffman& lit, const Huffman& dist, std::vector<std::uint8_t>& out, std::size_t limit) {
    for (;;) {
        if (out.size() > limit) return true;
        const unsigned symbol = r.decode(lit);
        if (symbol < 256) {
            out.push_back(static_cast<std::uint8_t>(symbol));
            continue;
        }
        if (symbol == 256) return false;
        if (symbol >= 286) fail("bad length symbol");
        const std::size_t length = kLengthBase[symbol - 257] + r.bits(kLengthExtra[symbol - 257]);
        const unsigned d = r.decode(dist);
        if (d >= 30) fail("bad distance symbol");
        const std::size_t distance = kDistanceBase[d] + r.bits(kDistanceExtra[d]);
        if (distance > out.size()) fail("distance too far back");
        for (std::size_t i = 0; i < length; ++i) out.push_back(out[out.size() - distance]);
    }
}

}  // namespace

std::vector<std::uint8_t> reference_inflate(std::span<const std::uint8_t> compressed, std::size_t output_limit) {
    Reader r(compressed);
    std::vector<std::uint8_t> out;
    bool last = false;
    while (!last && out.size() <= output_limit) {
        last = r.bit() != 0;
        const unsigned type = r.bits(2);
        if (type == 0) {
            r.align();
            if (!r.has(4)) fail("stored block exceeds data");
            const unsigned len = r.next_byte() | r.next_byte() << 8;
            const unsigned nlen = r.next_byte() | r.next_byte() << 8;
            if (nlen != (~len & 0xFFFFu)) fail("stored block length mismatch");
            if (!r.has(len)) fail("stored block exceeds data");
            for (unsigned i = 0; i < len; ++i) out.push_back(r.next_byte());
        } else if (type == 1) {
            std::array<std::uint8_t, 288> lit{};
            for (unsigned i = 0; i < 288; ++i) lit[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
            std::array<std::uint8_t, 30> dist{};
            dist.fill(5);
            codes(r, make_huffman(lit.data(), 288), make_huffman(dist.data(), 30), out, output_limit);
        } else if (type == 2) {
            const unsigned nlit = r.bits(5) + 257, ndist = r.bits(5) + 1, ncode = r.bits(4) + 4;
            std::array<std::uint8_t, 19> cl{};
            for (unsigned i = 0; i < ncode; ++i) cl[kCodeLengthOrder[i]] = static_cast<std::uint8_t>(r.bits(3));
            const Huffman clh = make_huffman(cl.data(), 19);
            std::vector<std::uint8_t> lengths;
            while (lengths.size() < nlit + ndist) {
                const unsigned symbol = r.decode(clh);
                if (symbol < 16) {
                    lengths.push_back(static_cast<std::uint8_t>(symbol));
                    continue;
                }
                std::uint8_t value = 0;
                unsigned repeat = 0;
                if (symbol == 16) {
                    if (lengths.empty()) fail("repeat without previous length");
                    value = lengths.back();
                    repeat = 3 + r.bits(2);
                } else if (symbol == 17) {
                    repeat = 3 + r.bits(3);
                } else {
                    repeat = 11 + r.bits(7);
                }
                if (lengths.size() + repeat > nlit + ndist) fail("too many code lengths");
                lengths.insert(lengths.end(), repeat, value);
            }
            codes(r, make_huffman(lengths.data(), nlit), make_huffman(lengths.data() + nlit, ndist), out, output_limit);
        } else {
            fail("invalid block type");
        }
    }
    return out;
}

}  // namespace tarkeep::test
