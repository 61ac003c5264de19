// The deflate compressor's front end: LZ77 with hash chains and lazy matching, cut into blocks.
#include "io/deflate.h"

#include <algorithm>
#include <bit>
#include <limits>

#include "io/byte_order.h"
#include "io/deflate_block.h"

namespace tarkeep::io {
namespace {

using deflate_detail::BitWriter;
using deflate_detail::Token;

constexpr std::size_t kWindow = 32768;
constexpr std::size_t kTableMask = kWindow - 1;
constexpr std::size_t kMinMatch = 3;
constexpr std::size_t kMaxMatch = 258;
constexpr std::size_t kNiceLength = 128;  // stop searching once a match is this long
constexpr std::size_t kLazyLimit = 16;    // no search while the pending match is this long
constexpr std::size_t kGoodLength = 8;    // a pending match this long cuts the chain budget
constexpr unsigned kFullChain = 128;
constexpr unsigned kShortChain = 32;
constexpr std::size_t kTokensPerBlock = 16384;

constexpr std::size_t kHashBytes = 4;

// Chains hold positions whose next four bytes hash alike. Three would find every match,
// but in noisy pixel data nearly every three-byte prefix recurs, and walking those
// chains cost most of the time for matches barely worth their code. The first three
// bytes alone hash to the one three-byte candidate kept per hash. Both come from one load.
struct Hashes {
    std::uint32_t four;
    std::uint32_t three;
};

inline Hashes hashes_at(const std::uint8_t* p) {
    constexpr int shift = 32 - std::countr_zero(kWindow);
    const std::uint32_t word = load_unaligned<std::uint32_t>(p);
    const std::uint32_t first3 = std::endian::native == std::endian::little ? word & 0xFFFFFF : word >> 8;
    return {(word * 0x9E3779B1u) >> shift, (first3 * 0x9E3779B1u) >> shift};
}

// Number of equal leading bytes of a and b, at most `limit`.
inline std::size_t common_length(const std::uint8_t* a, const std::uint8_t* b, std::size_t limit) {
    std::size_t n = 0;
    while (n + 8 <= limit) {
        const std::uint64_t diff = load_unaligned<std::uint64_t>(a + n) ^ load_unaligned<std::uint64_t>(b + n);
        if (diff != 0) {
            const int bit =
                std::endian::native == std::endian::little ? std::countr_zero(diff) : std::countl_zero(diff);
            return n + std::size_t(bit / 8);
        }
        n += 8;
    }
    while (n < limit && a[n] == b[n]) ++n;
    return n;
}

// LZ77 over the whole input; Pos holds input positions plus one (0 = empty).
template <typename Pos>
class Compressor {
public:
    Compressor(std::span<const std::uint8_t> input, std::vector<std::uint8_t>& out)
        : in_(input), out_(out), head_(kWindow, 0), head3_(kWindow, 0), chain_(kWindow, 0) {
        tokens_.reserve(kTokensPerBlock);
    }

    void run() {
        const std::uint8_t* data = in_.data();
        const std::size_t size = in_.size();
        bool pending = false;
        std::size_t pending_length = 0, pending_distance = 0;
        std::size_t i = 0;
        while (i < size) {
            std::size_t length = 0, distance = 0;
            if (i + kHashBytes <= size) {
                const Hashes h = hashes_at(data + i);
                if (!pending || pending_length < kLazyLimit) {
                    const unsigned budget = (!pending || pending_length < kGoodLength) ? kFullChain : kShortChain;
                    const Match found = find_match(i, h, pending ? pending_length : 0, budget);
                    length = found.length;
                    distance = found.distance;
                }
                insert(i, h);
            }
            if (pending && pending_length >= kMinMatch && pending_length >= length) {
                emit_match(pending_length, pending_distance);
                const std::size_t end = i - 1 + pending_length;
                for (std::size_t j = i + 1; j < end && j + kHashBytes <= size; ++j) insert(j, hashes_at(data + j));
                i = end;
                pending = false;
                continue;
            }
            if (pending) emit_literal(data[i - 1]);
            pending = true;
            pending_length = length;
            pending_distance = distance;
            ++i;
        }
        if (pending) emit_literal(data[size - 1]);
        deflate_detail::write_block(out_, tokens_, in_.subspan(block_start_, covered_ - block_start_), true);
        out_.align_to_byte();
    }

private:
    // The chain keeps, per position, the distance back to the previous position with the
    // same hash (0: none within the kWindow). A slot is only reused by the position 32768
    // later, which is inserted after every search that could still reach the old one.
    void insert(std::size_t i, Hashes h) {
        const Pos previous = head_[h.four];
        const std::size_t back = previous == 0 ? 0 : i - (std::size_t(previous) - 1);
        chain_[i & kTableMask] = std::uint16_t(back <= kWindow ? back : 0);
        head_[h.four] = Pos(i + 1);
        head3_[h.three] = Pos(i + 1);
    }

    // Longest match at i strictly longer than max(pending, 2); length 0 when none.
    struct Match {
        std::size_t length = 0;
        std::size_t distance = 0;
    };

    // The chain's best match, or else the latest position that shares three bytes: the
    // nearest three-byte match is the only one cheap enough to pay off.
    Match find_match(std::size_t i, Hashes h, std::size_t pending, unsigned budget) const {
        const Match found = find_chain_match(i, h.four, pending, budget);
        if (found.length != 0 || pending >= kMinMatch) return found;
        const Pos head = head3_[h.three];
        if (head == 0 || i - (std::size_t(head) - 1) > kWindow) return found;
        const std::size_t candidate = std::size_t(head) - 1;
        const std::size_t limit = std::min(kMaxMatch, in_.size() - i);
        const std::size_t n = common_length(in_.data() + candidate, in_.data() + i, limit);
        if (n < kMinMatch) return found;
        return {n, i - candidate};
    }

    Match find_chain_match(std::size_t i, std::uint32_t h, std::size_t pending, unsigned budget) const {
        const std::uint8_t* data = in_.data();
        const std::size_t limit = std::min(kMaxMatch, in_.size() - i);
        std::size_t best = std::max<std::size_t>(pending, 2);
        if (best >= limit) return {};
        const std::uint8_t* here = data + i;
        const std::uint16_t start_word = load_unaligned<std::uint16_t>(here);
        std::uint16_t end_word = load_unaligned<std::uint16_t>(here + best - 1);
        const Pos head = head_[h];
        if (head == 0) return {};
        std::size_t candidate = std::size_t(head) - 1;  // always before i
        std::size_t back = i - candidate;
        Match found;
        // While the best match is shorter than a word (most searches in pixel data), one
        // word comparison gives every candidate's length without a hard-to-predict branch.
        if (limit >= 8 && best < 8 && back <= kWindow) {
            const std::uint64_t here_word = load_unaligned<std::uint64_t>(here);
            for (;;) {
                const std::uint8_t* there = data + candidate;
                const std::uint64_t diff = load_unaligned<std::uint64_t>(there) ^ here_word;
                if (diff == 0) {
                    const std::size_t n = 8 + common_length(there + 8, here + 8, limit - 8);
                    best = n;
                    found = {n, back};
                    if (best >= kNiceLength || best >= limit) return found;
                    end_word = load_unaligned<std::uint16_t>(here + best - 1);
                    break;  // the rest of the chain as below, from the next candidate
                }
                const int zero_bits =
                    std::endian::native == std::endian::little ? std::countr_zero(diff) : std::countl_zero(diff);
                const std::size_t n = std::size_t(zero_bits / 8);
                const bool longer = n > best;
                best = longer ? n : best;
                found.length = longer ? n : found.length;
                found.distance = longer ? back : found.distance;
                if (--budget == 0) return found;
                const std::uint16_t step = chain_[candidate & kTableMask];
                if (step == 0) return found;
                candidate -= step;
                back += step;
                if (back > kWindow) return found;
            }
            if (--budget == 0) return found;
            const std::uint16_t step = chain_[candidate & kTableMask];
            if (step == 0) return found;
            candidate -= step;
            back += step;
        }
        while (back <= kWindow) {
            const std::uint8_t* there = data + candidate;
            // Only a candidate matching the two bytes ending at `best` and the first two
            // can be longer.
            if (load_unaligned<std::uint16_t>(there + best - 1) == end_word &&
                load_unaligned<std::uint16_t>(there) == start_word) {
                const std::size_t n = 2 + common_length(there + 2, here + 2, limit - 2);
                if (n > best) {
                    best = n;
                    found = {n, back};
                    if (best >= kNiceLength || best >= limit) break;
                    end_word = load_unaligned<std::uint16_t>(here + best - 1);
                }
            }
            if (--budget == 0) break;
            const std::uint16_t step = chain_[candidate & kTableMask];
            if (step == 0) break;
            candidate -= step;
            back += step;
        }
        return found;
    }

    void emit_literal(std::uint8_t byte) { push({byte, 0}, 1); }

    void emit_match(std::size_t length, std::size_t distance) {
        push({std::uint16_t(length), std::uint16_t(distance)}, length);
    }

    void push(Token token, std::size_t covers) {
        tokens_.push_back(token);
        covered_ += covers;
        if (tokens_.size() == kTokensPerBlock) {
            deflate_detail::write_block(out_, tokens_, in_.subspan(block_start_, covered_ - block_start_), false);
            block_start_ = covered_;
            tokens_.clear();
        }
    }

    std::span<const std::uint8_t> in_;
    BitWriter out_;
    std::vector<Pos> head_;
    std::vector<Pos> head3_;
    std::vector<std::uint16_t> chain_;
    std::vector<Token> tokens_;
    std::size_t block_start_ = 0;
    std::size_t covered_ = 0;
};

}  // namespace

std::vector<std::uint8_t> deflate_compress(std::span<const std::uint8_t> input) {
    std::vector<std::uint8_t> out;
    out.reserve(input.size() / 3 + 64);
    if (input.size() < std::numeric_limits<std::uint32_t>::max()) {
        Compressor<std::uint32_t> compressor(input, out);
        compressor.run();
    } else {
        Compressor<std::uint64_t> compressor(input, out);
        compressor.run();
    }
    return out;
}

}  // namespace tarkeep::io
