#pragma once

// Spans composited Over premultiplied ARGB32 pixels, rounded as Cairo rounds, through a clip mask
// where there is one. Inline: the converter blends a pixel at a time along its edges.

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <cwchar>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "ScanConverter.h"

namespace gfx::raster {

// x * alpha / 255 for the two channels in bits 0-7 and 16-23, rounded as Cairo's compositing does.
inline std::uint32_t multiplyPair(std::uint32_t pair, std::uint32_t alpha) {
    std::uint32_t t = (pair & 0x00FF00FFu) * alpha + 0x00800080u;
    return ((t + ((t >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
}

inline std::uint32_t multiply(std::uint32_t pixel, std::uint32_t alpha) {
    return multiplyPair(pixel, alpha) | (multiplyPair(pixel >> 8, alpha) << 8);
}

// Channel sums, saturated so that pixels that were not properly premultiplied cannot wrap around.
inline std::uint32_t addSaturated(std::uint32_t x, std::uint32_t y) {
    auto pair = [](std::uint32_t a, std::uint32_t b) {
        std::uint32_t t = (a & 0x00FF00FFu) + (b & 0x00FF00FFu);
        t |= 0x01000100u - ((t >> 8) & 0x00010001u);
        return t & 0x00FF00FFu;
    };
    return pair(x, y) | (pair(x >> 8, y >> 8) << 8);
}

inline std::uint32_t over(std::uint32_t source, std::uint32_t destination) {
    return addSaturated(source, multiply(destination, 255 - (source >> 24)));
}

#ifdef __SSE2__
// Each 16-bit lane times its factor / 255, rounded as multiply() rounds.
inline __m128i scaleChannels(__m128i channels, __m128i factors) {
    __m128i t = _mm_add_epi16(_mm_mullo_epi16(channels, factors), _mm_set1_epi16(0x80));
    return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
}
#endif

// `source` at `coverage` (0-255) Over one pixel, as over(multiply(source, coverage), destination):
// with SSE2 a channel to each 16-bit lane, about half the steps of the paired scalar arithmetic.
inline std::uint32_t blendPixel(std::uint32_t source, std::uint32_t destination, int coverage) {
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    __m128i s = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(source)), zero);
    // Scaled by 255 a channel stays as it was: no branch on whole coverage.
    s = scaleChannels(s, _mm_set1_epi16(short(coverage)));
    __m128i d = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(destination)), zero);
    d = scaleChannels(d, _mm_set1_epi16(short(255 - _mm_extract_epi16(s, 3))));
    return std::uint32_t(_mm_cvtsi128_si32(_mm_adds_epu8(_mm_packus_epi16(s, s), _mm_packus_epi16(d, d))));
#else
    return over(coverage < 255 ? multiply(source, std::uint32_t(coverage)) : source, destination);
#endif
}

// blendPixel for an opaque `source`: scaled by the coverage its alpha is the coverage itself, so the
// source's and the destination's channels are scaled side by side in one register, the same way.
inline std::uint32_t blendOpaquePixel(std::uint32_t source, std::uint32_t destination, int coverage) {
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    __m128i both = _mm_unpacklo_epi8(_mm_unpacklo_epi32(_mm_cvtsi32_si128(int(source)), _mm_cvtsi32_si128(int(destination))), zero);
    // The coverage for the source's lanes, 255 less it (the same as all its bits turned) for the destination's.
    __m128i factors = _mm_xor_si128(_mm_set1_epi16(short(coverage)), _mm_set_epi16(255, 255, 255, 255, 0, 0, 0, 0));
    both = scaleChannels(both, factors);
    // Neither half passes 255, so packing saturates the sum as adding saturated bytes does.
    __m128i sum = _mm_add_epi16(both, _mm_unpackhi_epi64(both, both));
    return std::uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(sum, sum)));
#else
    return blendPixel(source, destination, coverage);
#endif
}

// Long runs go through the C library's wide-character fill, which uses the widest stores the machine
// has (the compiler's own loop stays at the baseline's 16 bytes).
inline void fillPixels(std::uint32_t* pixels, int count, std::uint32_t value) {
    if constexpr (sizeof(wchar_t) == sizeof(std::uint32_t)) {
        if (count >= 16) {
            std::wmemset(reinterpret_cast<wchar_t*>(pixels), static_cast<wchar_t>(value), std::size_t(count));
            return;
        }
    }
    std::fill_n(pixels, count, value);
}

// `source` Over each of `count` pixels.
inline void overRun(std::uint32_t* pixels, int count, std::uint32_t source) {
    int i = 0;
#ifdef __SSE2__
    // Four pixels at a time, a channel to each 16-bit lane: the same rounding as over().
    const __m128i zero = _mm_setzero_si128();
    const __m128i sources = _mm_set1_epi32(int(source)), rest = _mm_set1_epi16(short(255 - (source >> 24)));
    for (; i + 4 <= count; i += 4) {
        __m128i destination = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + i));
        __m128i scaled = _mm_packus_epi16(scaleChannels(_mm_unpacklo_epi8(destination, zero), rest),
                                          scaleChannels(_mm_unpackhi_epi8(destination, zero), rest));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + i), _mm_adds_epu8(sources, scaled));
    }
#endif
    for (; i < count; ++i) pixels[i] = over(source, pixels[i]);
}

// Most spans along edges are a pixel long: those stay inline (forced, as a function several files share
// is otherwise called).
__attribute__((always_inline)) inline void blendSpan(std::uint32_t* pixels, int count, std::uint32_t source, int coverage) {
    if (coverage <= 0 || count <= 0) return;
    if (count == 1) {
        *pixels = blendPixel(source, *pixels, coverage);
        return;
    }
    if (coverage < 255) source = multiply(source, coverage);
    if (source >> 24 == 255) {
        fillPixels(pixels, count, source);
        return;
    }
    if (source == 0) return;
    overRun(pixels, count, source);
}

// Where the run of bytes equal to `value` from `from` ends, before `to`.
inline int runEnd(const std::uint8_t* bytes, int from, int to, std::uint8_t value) {
    int x = from;
#ifdef __SSE2__
    const __m128i same = _mm_set1_epi8(char(value));
    for (; x + 16 <= to; x += 16) {
        __m128i sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + x));
        unsigned differ = ~unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(sixteen, same))) & 0xFFFFu;
        if (differ) return x + std::countr_zero(differ);
    }
#endif
    const std::uint64_t word = value * 0x0101010101010101u;
    for (std::uint64_t eight; x + 8 <= to; x += 8) {
        std::memcpy(&eight, bytes + x, 8);
        if (eight != word) break;
    }
    while (x < to && bytes[x] == value) ++x;
    return x;
}

// Composites a span into a target through its clip mask. Where a clip's edge and the
// drawing's run through one pixel, the smaller coverage is what they have in common when one lies
// within the other (edges side by side, as a shape clipped to its own outline has); it only
// overstates pixels where the two edges cross.
inline void compositeMasked(std::uint32_t source, const Target& target, int y, int left, int right, int coverage) {
    std::uint32_t* row = target.pixels + std::size_t(y) * target.stride;
    const std::uint8_t* mask = target.mask->row(y) - target.mask->box.left;
    // Masks are mostly runs of whole and of no coverage: those go by the span.
    auto masked = [&](int from, int to) {
        for (int x = from; x < to;) {
            std::uint8_t value = mask[x];
            int end = value == 0 || value == 255 ? runEnd(mask, x + 1, to, value) : x + 1;
            if (value == 255) {
                blendSpan(row + x, end - x, source, coverage);
            } else if (value) {
                for (int i = x; i < end; ++i) row[i] = blendPixel(source, row[i], std::min<int>(coverage, mask[i]));
            }
            x = end;
        }
    };
    auto [wholeFrom, wholeTo] = target.mask->wholeRun(y);
    wholeFrom = std::max(wholeFrom, left), wholeTo = std::min(wholeTo, right);
    if (wholeFrom >= wholeTo) return masked(left, right);
    masked(left, wholeFrom);
    blendSpan(row + wholeFrom, wholeTo - wholeFrom, source, coverage);
    masked(wholeTo, right);
}

// Spans composited into a target: outside any mask (most of them, a pixel along an edge or a run)
// blended where the row walk hands them on, else through compositeMasked.
struct Compositor {
    std::uint32_t source;
    const Target& target;
    // Copied: a pixel written could otherwise be the target's fields, to be read again after each.
    std::uint32_t* pixels = target.pixels;
    std::size_t stride = std::size_t(target.stride);
    bool masked = target.mask != nullptr;
    bool opaque = source >> 24 == 255;
    // The row forRow() was given, for pixel().
    std::uint32_t* row = nullptr;

    __attribute__((always_inline)) void operator()(int y, int left, int right, int coverage) const {
        if (masked) return compositeMasked(source, target, y, left, right, coverage);
        blendSpan(pixels + std::size_t(y) * stride + left, right - left, source, coverage);
    }

    // Rows the mask covers whole across the box are blended as if there were none.
    Compositor forRow(int y, const PixelBox& box) const {
        Compositor copy = *this;
        copy.row = pixels + std::size_t(y) * stride;
        if (masked) {
            auto [from, to] = target.mask->wholeRun(y);
            copy.masked = !(from <= box.left && box.right <= to);
        }
        return copy;
    }

    // A pixel of the row forRow() was given; at no coverage it writes back what was there.
    __attribute__((always_inline)) void pixel(int y, int x, int coverage) const {
        return opaque ? pixelOf<true>(y, x, coverage) : pixelOf<false>(y, x, coverage);
    }

    // pixel() for a caller that knows `opaque` already, and tests it once for many pixels.
    template <bool knownOpaque>
    __attribute__((always_inline)) void pixelOf(int y, int x, int coverage) const {
        if (masked) return compositeMasked(source, target, y, x, x + 1, coverage);
        std::uint32_t* at = row + x;
        *at = knownOpaque ? blendOpaquePixel(source, *at, coverage) : blendPixel(source, *at, coverage);
    }
};

inline Compositor compositor(std::uint32_t source, const Target& target) { return {source, target}; }

}  // namespace gfx::raster
