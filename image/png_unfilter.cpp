// PNG row filters undone in place: SSE2 with one pixel per step for the filters that depend on
// the pixel to the left, whole vectors for Up; plain loops where SSE2 is missing.
#include "image/png_unfilter.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/png_error.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarkeep::image {
namespace {

// Every routine reads `in` at or after where it writes `row` (in = row + y + 1 bytes), so
// loading a piece before storing it is enough to work in place; `above` is the finished
// previous row (all zero for the first).

// Plain loops: the path of processors without SSE2, compiled everywhere so tests run it too.
namespace portable {

void undo_sub(std::uint8_t* row, const std::uint8_t* in, std::size_t stride) {
    for (std::size_t i = 0; i < stride; ++i) row[i] = std::uint8_t(in[i] + (i >= 4 ? row[i - 4] : 0));
}

void undo_up(std::uint8_t* row, const std::uint8_t* in, const std::uint8_t* above, std::size_t stride) {
    for (std::size_t i = 0; i < stride; ++i) row[i] = std::uint8_t(in[i] + above[i]);
}

void undo_average(std::uint8_t* row, const std::uint8_t* in, const std::uint8_t* above, std::size_t stride) {
    for (std::size_t i = 0; i < stride; ++i) {
        const unsigned a = i >= 4 ? row[i - 4] : 0;
        row[i] = std::uint8_t(in[i] + (a + above[i]) / 2);
    }
}

void undo_paeth(std::uint8_t* row, const std::uint8_t* in, const std::uint8_t* above, std::size_t stride) {
    for (std::size_t i = 0; i < stride; ++i) {
        const int a = i >= 4 ? row[i - 4] : 0, b = above[i], c = i >= 4 ? above[i - 4] : 0;
        const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
        const int predictor = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
        row[i] = std::uint8_t(in[i] + predictor);
    }
}

}  // namespace portable

#if defined(__SSE2__)
namespace sse2 {

inline __m128i load_pixel(const std::uint8_t* p) {
    std::int32_t v;
    std::memcpy(&v, p, 4);
    return _mm_cvtsi32_si128(v);
}

inline void store_pixel(std::uint8_t* p, __m128i x) {
    const std::int32_t v = _mm_cvtsi128_si32(x);
    std::memcpy(p, &v, 4);
}

// A pixel widened to four 16-bit lanes.
inline __m128i widen(const std::uint8_t* p) { return _mm_unpacklo_epi8(load_pixel(p), _mm_setzero_si128()); }
inline __m128i narrow(__m128i x) { return _mm_packus_epi16(x, x); }
inline __m128i abs16(__m128i x) { return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x)); }

void undo_sub(std::uint8_t* row, const std::uint8_t* in, std::size_t stride) {
    __m128i a = _mm_setzero_si128();
    for (std::size_t i = 0; i < stride; i += 4) {
        a = _mm_add_epi8(a, load_pixel(in + i));
        store_pixel(row + i, a);
    }
}

void undo_up(std::uint8_t* row, const std::uint8_t* in, const std::uint8_t* above, std::size_t stride) {
    std::size_t i = 0;
    for (; i + 16 <= stride; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(above + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), _mm_add_epi8(x, b));
    }
    for (; i < stride; i += 4) store_pixel(row + i, _mm_add_epi8(load_pixel(in + i), load_pixel(above + i)));
}

void undo_average(std::uint8_t* row, const std::uint8_t* in, const std::uint8_t* above, std::size_t stride) {
    const __m128i low_byte = _mm_set1_epi16(0xFF);
    __m128i a = _mm_setzero_si128();
    for (std::size_t i = 0; i < stride; i += 4) {
        const __m128i b = widen(above + i);
        a = _mm_and_si128(_mm_add_epi16(widen(in + i), _mm_srli_epi16(_mm_add_epi16(a, b), 1)), low_byte);
        store_pixel(row + i, narrow(a));
    }
}

void undo_paeth(std::uint8_t* row, const std::uint8_t* in, const std::uint8_t* above, std::size_t stride) {
    const __m128i low_byte = _mm_set1_epi16(0xFF);
    __m128i a = _mm_setzero_si128(), c = _mm_setzero_si128();
    for (std::size_t i = 0; i < stride; i += 4) {
        const __m128i b = widen(above + i);
        // With p = a + b - c: |p - a| = |b - c|, |p - b| = |a - c|, |p - c| = |(b - c) + (a - c)|.
        const __m128i from_b = _mm_sub_epi16(b, c), from_a = _mm_sub_epi16(a, c);
        const __m128i pa = abs16(from_b), pb = abs16(from_a), pc = abs16(_mm_add_epi16(from_b, from_a));
        const __m128i smallest = _mm_min_epi16(_mm_min_epi16(pa, pb), pc);
        // Ties go to a, then b, then c.
        const __m128i take_a = _mm_cmpeq_epi16(pa, smallest), take_b = _mm_cmpeq_epi16(pb, smallest);
        __m128i predictor = _mm_or_si128(_mm_and_si128(take_b, b), _mm_andnot_si128(take_b, c));
        predictor = _mm_or_si128(_mm_and_si128(take_a, a), _mm_andnot_si128(take_a, predictor));
        a = _mm_and_si128(_mm_add_epi16(widen(in + i), predictor), low_byte);
        store_pixel(row + i, narrow(a));
        c = b;
    }
}

}  // namespace sse2
namespace best = sse2;
#else
namespace best = portable;
#endif

template <void (*sub)(std::uint8_t*, const std::uint8_t*, std::size_t),
          void (*up)(std::uint8_t*, const std::uint8_t*, const std::uint8_t*, std::size_t),
          void (*average)(std::uint8_t*, const std::uint8_t*, const std::uint8_t*, std::size_t),
          void (*paeth)(std::uint8_t*, const std::uint8_t*, const std::uint8_t*, std::size_t)>
void unfilter_rows(std::uint8_t* data, std::uint32_t width, std::uint32_t height) {
    const std::size_t stride = std::size_t(width) * 4;
    const std::vector<std::uint8_t> zero_row(stride);
    const std::uint8_t* above = zero_row.data();
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint8_t* filtered = data + std::size_t(y) * (stride + 1);
        const std::uint8_t filter = filtered[0];
        const std::uint8_t* in = filtered + 1;
        std::uint8_t* row = data + std::size_t(y) * stride;
        if (filter > 4) throw PngError("png: bad filter type");
        switch (filter) {
            case 0: std::memmove(row, in, stride); break;
            case 1: sub(row, in, stride); break;
            case 2: up(row, in, above, stride); break;
            case 3: average(row, in, above, stride); break;
            case 4: paeth(row, in, above, stride); break;
        }
        above = row;
    }
}

}  // namespace

void unfilter_rgba_in_place(std::uint8_t* data, std::uint32_t width, std::uint32_t height) {
    unfilter_rows<best::undo_sub, best::undo_up, best::undo_average, best::undo_paeth>(data, width, height);
}

void unfilter_rgba_in_place_portable(std::uint8_t* data, std::uint32_t width, std::uint32_t height) {
    unfilter_rows<portable::undo_sub, portable::undo_up, portable::undo_average, portable::undo_paeth>(data, width,
                                                                                                       height);
}

}  // namespace tarkeep::image
