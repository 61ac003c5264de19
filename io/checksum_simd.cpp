// CRC-32 by carry-less multiplication (folding 64 bytes per step) and Adler-32 on 16 bytes
// at a time, for x86 processors; elsewhere these report that they did nothing.
#include "io/checksum_simd.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define TARKEEP_X86_CHECKSUMS 1
#endif

namespace tarkeep::io::checksum_detail {

#ifdef TARKEEP_X86_CHECKSUMS
namespace {

// Folding constants of the reflected polynomial 0xEDB88320: x^(k) mod P for the fold
// distances 4x128+32 / 4x128-32 (pairs of lanes), 128+32 / 128-32, 64, and the Barrett
// pair (P and floor(x^64 / P)), all bit-reflected.
constexpr long long kFold4Low = 0x154442bd4, kFold4High = 0x1c6e41596;
constexpr long long kFold1Low = 0x1751997d0, kFold1High = 0x0ccaa009e;
constexpr long long kFold64 = 0x163cd6124;
constexpr long long kPolynomial = 0x1db710641, kBarrettMu = 0x1f7011641;

__attribute__((target("pclmul,sse2"))) inline __m128i fold_16(__m128i x, __m128i k, __m128i next) {
    const __m128i low = _mm_clmulepi64_si128(x, k, 0x00);
    const __m128i high = _mm_clmulepi64_si128(x, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

__attribute__((target("pclmul,sse2"))) std::size_t fold_clmul(const std::uint8_t* data, std::size_t size,
                                                              std::uint32_t& state) {
    if (size < 64) return 0;
    const auto load = [](const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
    const std::uint8_t* p = data;
    std::size_t left = size;
    __m128i x0 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(state)));
    __m128i x1 = load(p + 16), x2 = load(p + 32), x3 = load(p + 48);
    p += 64;
    left -= 64;
    const __m128i k4 = _mm_set_epi64x(kFold4High, kFold4Low);
    for (; left >= 64; p += 64, left -= 64) {
        x0 = fold_16(x0, k4, load(p));
        x1 = fold_16(x1, k4, load(p + 16));
        x2 = fold_16(x2, k4, load(p + 32));
        x3 = fold_16(x3, k4, load(p + 48));
    }
    const __m128i k1 = _mm_set_epi64x(kFold1High, kFold1Low);
    x0 = fold_16(x0, k1, x1);
    x0 = fold_16(x0, k1, x2);
    x0 = fold_16(x0, k1, x3);
    for (; left >= 16; p += 16, left -= 16) x0 = fold_16(x0, k1, load(p));

    // 128 bits to 64, then to 32 (appending the 32 zero bits a CRC register implies),
    // then the Barrett reduction to the 32-bit remainder.
    const __m128i mask32 = _mm_set_epi32(0, 0, 0, -1);
    x0 = _mm_xor_si128(_mm_srli_si128(x0, 8), _mm_clmulepi64_si128(k1, x0, 0x01));
    const __m128i k64 = _mm_set_epi64x(0, kFold64);
    x0 = _mm_xor_si128(_mm_srli_si128(x0, 4), _mm_clmulepi64_si128(_mm_and_si128(x0, mask32), k64, 0x00));
    const __m128i barrett = _mm_set_epi64x(kBarrettMu, kPolynomial);
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x0, mask32), barrett, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, mask32), barrett, 0x00);
    x0 = _mm_xor_si128(x0, t);
    state = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(x0, 4)));
    return size - left;
}

}  // namespace

bool crc32_fold_available() {
    static const bool available = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
    return available;
}

std::size_t crc32_fold(const std::uint8_t* data, std::size_t size, std::uint32_t& state) {
    return fold_clmul(data, size, state);
}

#else

bool crc32_fold_available() { return false; }
std::size_t crc32_fold(const std::uint8_t*, std::size_t, std::uint32_t&) { return 0; }

#endif

#if defined(TARKEEP_X86_CHECKSUMS) && defined(__SSE2__)

std::size_t adler32_vector(const std::uint8_t* data, std::size_t size, std::uint64_t& a, std::uint64_t& b) {
    // Per 16-byte block: a grows by the byte sum, b by 16 times the a before the block
    // plus the bytes weighted 16..1. Lanes stay below 2^32 for runs of up to 5552 bytes.
    const std::size_t blocks = size / 16;
    if (blocks == 0) return 0;
    const __m128i zero = _mm_setzero_si128();
    const __m128i weights_low = _mm_set_epi16(9, 10, 11, 12, 13, 14, 15, 16);
    const __m128i weights_high = _mm_set_epi16(1, 2, 3, 4, 5, 6, 7, 8);
    __m128i sum = zero, sums_before = zero, weighted = zero;
    const std::uint8_t* p = data;
    for (std::size_t i = 0; i < blocks; ++i, p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        sums_before = _mm_add_epi32(sums_before, sum);
        sum = _mm_add_epi32(sum, _mm_sad_epu8(bytes, zero));
        weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpacklo_epi8(bytes, zero), weights_low));
        weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpackhi_epi8(bytes, zero), weights_high));
    }
    const auto total = [](__m128i v) {
        alignas(16) std::uint32_t lanes[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), v);
        return std::uint64_t{lanes[0]} + lanes[1] + lanes[2] + lanes[3];
    };
    const std::size_t consumed = blocks * 16;
    b += consumed * a + 16 * total(sums_before) + total(weighted);
    a += total(sum);
    return consumed;
}

#else

std::size_t adler32_vector(const std::uint8_t*, std::size_t, std::uint64_t&, std::uint64_t&) { return 0; }

#endif

}  // namespace tarkeep::io::checksum_detail
