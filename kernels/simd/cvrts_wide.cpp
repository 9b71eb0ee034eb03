// SPDX-License-Identifier: MIT
// The streaming-SIMD family's conversions in SSE2, and AVX2 where the
// processor has it, with the bits of the SSE kernels (cvrts_sse.cpp).
// Empty where the wide paths do not exist.
#include "kernels/simd/cvrts_wide.h"

#include "runtime/diagnostics.h"

#if QEL_WIDE_PATHS

#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "kernels/simd/cvrts_ranges.h"
#include "platform/fp_env.h"
#include "vector/internal.h"
#include "vector/wide_paths.h"

namespace qel::sse::wide {

namespace {

// Why these are the SSE kernels' bits.
//
// Float to integer. The SSE kernels round with cvtps2dq and cvtss2si under a
// rounding mode set in the control register for the call. Here cvttps2dq
// gives t, the truncation, which needs no mode, and the other modes step t
// by one where their rounding differs from it:
// - t is the integer part of x for x in (-2^31 - 1, 2^31), and 0x80000000
//   otherwise (NaN, out of range), which is what every rounding conversion
//   gives there too (x = -2^31 gives it as its value, and needs no step).
//   Lanes holding 0x80000000 are never stepped.
// - f = float(t) is exact (below 2^24 every integer is a float; above, x is
//   an integer and t = x), and so is d = x - f, x's fraction: the same in
//   every rounding mode of the caller, up to the sign of a zero d.
// - toward minus infinity t - 1 where f > x; toward plus infinity t + 1
//   where f < x; to nearest, one step away from zero where |d| > 1/2, or
//   |d| = 1/2 and t is odd (ties to even).
// When the caller's rounding field already holds the mode, cvtps2dq itself
// runs (kCallerMode), as in the SSE kernels.
// The rest are the SSE kernels' own operations on the same values: the
// range test of the report, the clamps, 2^31 taken off unsigned 32-bit lanes
// (exact) and put back as the top bit, the bit-pattern saturation of 32-bit
// lanes, saturating packs in the blocks and the low-order bits of single
// elements, in the same partition of the vector (single elements up to a
// 32-byte aligned source, blocks of eight, single elements; a 256-bit step
// is two blocks). The SSE kernels mask every exception and keep the caller's
// treatment of denormals; here the caller's register must already mask
// every exception and neither flush nor zero denormals.
//
// Integer to float: cvtdq2ps and the addition of 2^31 to unsigned 32-bit
// values with the top bit set are the SSE kernels' instructions, under the
// same (the caller's) rounding mode, and no element's result depends on the
// step that converts it (adding +0 to the other lanes changes nothing).

#define QEL_AVX2 __attribute__((target("avx2")))
// The AVX2 helpers that return a 256-bit vector are always inlined into their
// AVX2 callers: the Windows compiler would otherwise keep out-of-line copies,
// whose vector return it warns about (-Wpsabi), as the calling convention for
// such a value differs between code with AVX and without.
#define QEL_AVX2_VALUE __attribute__((target("avx2"), always_inline))

constexpr std::uint32_t kIndefinite = 0x80000000u;

// Beside the four modes of the flags: cvtps2dq under the caller's rounding
// field, which holds the mode of the flags.
constexpr int kCallerMode = 4;

bool aligned(const void* p, std::uintptr_t bytes) {
    return (reinterpret_cast<std::uintptr_t>(p) & (bytes - 1)) == 0;
}

inline __m128i words(std::uint32_t w) { return _mm_set1_epi32(static_cast<int>(w)); }
inline __m128 lanes(const Lanes& l) { return _mm_load_ps(l.v); }

// ---- float to integer, four lanes ----

// cvtps2dq under rounding mode M.
template <int M>
inline __m128i rounded(__m128 x) {
    if constexpr (M == kCallerMode) return _mm_cvtps_epi32(x);
    const __m128i t = _mm_cvttps_epi32(x);
    if constexpr (M == kTruncate) {
        return t;
    } else {
        const __m128 f = _mm_cvtepi32_ps(t);
        __m128i step;  // -1, 0 or +1
        if constexpr (M == kFloor) {
            step = _mm_castps_si128(_mm_cmpgt_ps(f, x));
        } else if constexpr (M == kCeil) {
            step = _mm_srli_epi32(_mm_castps_si128(_mm_cmplt_ps(f, x)), 31);
        } else {
            const __m128 d = _mm_andnot_ps(_mm_set1_ps(-0.0f), _mm_sub_ps(x, f));
            const __m128 half = _mm_set1_ps(0.5f);
            const __m128i odd = _mm_cmpeq_epi32(_mm_and_si128(t, words(1)), words(1));
            const __m128i away = _mm_or_si128(_mm_castps_si128(_mm_cmpgt_ps(d, half)),
                                              _mm_and_si128(_mm_castps_si128(_mm_cmpeq_ps(d, half)), odd));
            step = _mm_and_si128(away, _mm_or_si128(_mm_srai_epi32(_mm_castps_si128(x), 31), words(1)));
        }
        return _mm_add_epi32(t, _mm_andnot_si128(_mm_cmpeq_epi32(t, words(kIndefinite)), step));
    }
}

// The 32-bit results of four elements, before any narrowing. The blocks of
// the saturating 8-bit kernels clamp the high side only (the packing
// saturates the low one); single elements clamp both.
template <typename T, bool Saturate, int M, bool Block>
inline __m128i results(__m128 x, const Setup& s) {
    const __m128i bits = _mm_castps_si128(x);
    if constexpr (Saturate && sizeof(T) == 1 && Block) {
        x = _mm_min_ps(x, lanes(s.clampHigh));
    } else if constexpr (Saturate && sizeof(T) < 4) {
        x = _mm_min_ps(_mm_max_ps(x, lanes(s.clampLow)), lanes(s.clampHigh));
    }
    if constexpr (std::is_same_v<T, std::uint32_t>) {
        const __m128 top = lanes(k2p31Lanes);
        const __m128 big = _mm_and_ps(_mm_cmpge_ps(x, top), _mm_cmplt_ps(x, lanes(k2p32Lanes)));
        __m128i r = rounded<M>(_mm_sub_ps(x, _mm_and_ps(big, top)));
        r = _mm_xor_si128(r, _mm_and_si128(_mm_castps_si128(big), words(kIndefinite)));
        if constexpr (Saturate) {
            const __m128i over = _mm_cmpgt_epi32(bits, words(0x4F7FFFFFu));
            const __m128i negative = _mm_cmpgt_epi32(_mm_setzero_si128(), bits);
            r = _mm_or_si128(_mm_andnot_si128(_mm_or_si128(over, negative), r), over);
        }
        return r;
    } else {
        __m128i r = rounded<M>(x);
        if constexpr (Saturate && sizeof(T) == 4) {
            const __m128i over = _mm_cmpgt_epi32(bits, words(0x4EFFFFFFu));
            r = _mm_or_si128(_mm_andnot_si128(over, r), _mm_and_si128(over, words(0x7FFFFFFFu)));
        }
        return r;
    }
}

inline __m128 inside(__m128 x, const Setup& s) {
    return _mm_and_ps(_mm_cmpge_ps(x, lanes(s.inLow)), _mm_cmple_ps(x, lanes(s.inHigh)));
}

// One element of the leading or trailing part: the low-order bits of its
// 32-bit result. True when it lies outside the type's range.
template <typename T, bool Saturate, bool Report, int M>
inline bool single(const float* p, unsigned char* dst, const Setup& s) {
    const __m128 x = _mm_load_ss(p);
    const auto value = static_cast<std::make_unsigned_t<T>>(_mm_cvtsi128_si32(results<T, Saturate, M, false>(x, s)));
    std::memcpy(dst, &value, sizeof value);
    return Report && (_mm_movemask_ps(inside(x, s)) & 1) == 0;
}

// The packing of the blocks: saturating for both 8-bit types and signed 16
// bits, the low 16 bits (sign-extended for the signed packing) for unsigned
// 16 bits.
template <typename T>
inline __m128i words16(__m128i r0, __m128i r1) {
    if constexpr (std::is_same_v<T, std::uint16_t>) {
        r0 = _mm_srai_epi32(_mm_slli_epi32(r0, 16), 16);
        r1 = _mm_srai_epi32(_mm_slli_epi32(r1, 16), 16);
    }
    return _mm_packs_epi32(r0, r1);
}

template <typename T>
inline __m128i bytes8(__m128i w0, __m128i w1) {
    return std::is_signed_v<T> ? _mm_packs_epi16(w0, w1) : _mm_packus_epi16(w0, w1);
}

template <typename T>
inline void storeEight(__m128i r0, __m128i r1, unsigned char* out) {
    if constexpr (sizeof(T) == 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), r0);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), r1);
    } else if constexpr (sizeof(T) == 2) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), words16<T>(r0, r1));
    } else {
        const __m128i w = words16<T>(r0, r1);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), bytes8<T>(w, w));
    }
}

// A block of eight from a 32-byte aligned source.
template <typename T, bool Saturate, bool Report, int M>
inline void eight(const float* p, unsigned char* out, const Setup& s, __m128& in) {
    const __m128 x0 = _mm_load_ps(p);
    const __m128 x1 = _mm_load_ps(p + 4);
    if constexpr (Report) in = _mm_and_ps(in, _mm_and_ps(inside(x0, s), inside(x1, s)));
    storeEight<T>(results<T, Saturate, M, true>(x0, s), results<T, Saturate, M, true>(x1, s), out);
}

// ---- float to integer, eight lanes ----

inline QEL_AVX2_VALUE __m256i words(std::uint32_t w, int) { return _mm256_set1_epi32(static_cast<int>(w)); }
inline QEL_AVX2_VALUE __m256 lanes(const Lanes& l, int) { return _mm256_broadcast_ps(reinterpret_cast<const __m128*>(l.v)); }

// The predicates give the SSE comparisons' results (false on a NaN).
template <int M>
inline QEL_AVX2_VALUE __m256i rounded(__m256 x) {
    if constexpr (M == kCallerMode) return _mm256_cvtps_epi32(x);
    const __m256i t = _mm256_cvttps_epi32(x);
    if constexpr (M == kTruncate) {
        return t;
    } else {
        const __m256 f = _mm256_cvtepi32_ps(t);
        __m256i step;
        if constexpr (M == kFloor) {
            step = _mm256_castps_si256(_mm256_cmp_ps(f, x, _CMP_GT_OQ));
        } else if constexpr (M == kCeil) {
            step = _mm256_srli_epi32(_mm256_castps_si256(_mm256_cmp_ps(f, x, _CMP_LT_OQ)), 31);
        } else {
            const __m256 d = _mm256_andnot_ps(_mm256_set1_ps(-0.0f), _mm256_sub_ps(x, f));
            const __m256 half = _mm256_set1_ps(0.5f);
            const __m256i odd = _mm256_cmpeq_epi32(_mm256_and_si256(t, words(1, 0)), words(1, 0));
            const __m256i away =
                _mm256_or_si256(_mm256_castps_si256(_mm256_cmp_ps(d, half, _CMP_GT_OQ)),
                                _mm256_and_si256(_mm256_castps_si256(_mm256_cmp_ps(d, half, _CMP_EQ_OQ)), odd));
            step = _mm256_and_si256(away, _mm256_or_si256(_mm256_srai_epi32(_mm256_castps_si256(x), 31), words(1, 0)));
        }
        return _mm256_add_epi32(t, _mm256_andnot_si256(_mm256_cmpeq_epi32(t, words(kIndefinite, 0)), step));
    }
}

template <typename T, bool Saturate, int M>
inline QEL_AVX2_VALUE __m256i results(__m256 x, const Setup& s) {
    const __m256i bits = _mm256_castps_si256(x);
    if constexpr (Saturate && sizeof(T) == 1) {
        x = _mm256_min_ps(x, lanes(s.clampHigh, 0));
    } else if constexpr (Saturate && sizeof(T) == 2) {
        x = _mm256_min_ps(_mm256_max_ps(x, lanes(s.clampLow, 0)), lanes(s.clampHigh, 0));
    }
    if constexpr (std::is_same_v<T, std::uint32_t>) {
        const __m256 top = lanes(k2p31Lanes, 0);
        const __m256 big =
            _mm256_and_ps(_mm256_cmp_ps(x, top, _CMP_GE_OQ), _mm256_cmp_ps(x, lanes(k2p32Lanes, 0), _CMP_LT_OQ));
        __m256i r = rounded<M>(_mm256_sub_ps(x, _mm256_and_ps(big, top)));
        r = _mm256_xor_si256(r, _mm256_and_si256(_mm256_castps_si256(big), words(kIndefinite, 0)));
        if constexpr (Saturate) {
            const __m256i over = _mm256_cmpgt_epi32(bits, words(0x4F7FFFFFu, 0));
            const __m256i negative = _mm256_cmpgt_epi32(_mm256_setzero_si256(), bits);
            r = _mm256_or_si256(_mm256_andnot_si256(_mm256_or_si256(over, negative), r), over);
        }
        return r;
    } else {
        __m256i r = rounded<M>(x);
        if constexpr (Saturate && sizeof(T) == 4) {
            const __m256i over = _mm256_cmpgt_epi32(bits, words(0x4EFFFFFFu, 0));
            r = _mm256_or_si256(_mm256_andnot_si256(over, r), _mm256_and_si256(over, words(0x7FFFFFFFu, 0)));
        }
        return r;
    }
}

inline QEL_AVX2_VALUE __m256 inside(__m256 x, const Setup& s) {
    return _mm256_and_ps(_mm256_cmp_ps(x, lanes(s.inLow, 0), _CMP_GE_OQ),
                         _mm256_cmp_ps(x, lanes(s.inHigh, 0), _CMP_LE_OQ));
}

// Two blocks of eight from a 32-byte aligned source. The 256-bit packs work
// within 128-bit halves; the permutation puts the words back in order.
template <typename T, bool Saturate, bool Report, int M>
inline QEL_AVX2 void sixteen(const float* p, unsigned char* out, const Setup& s, __m256& in) {
    const __m256 x0 = _mm256_load_ps(p);
    const __m256 x1 = _mm256_load_ps(p + 8);
    if constexpr (Report) in = _mm256_and_ps(in, _mm256_and_ps(inside(x0, s), inside(x1, s)));
    __m256i r0 = results<T, Saturate, M>(x0, s);
    __m256i r1 = results<T, Saturate, M>(x1, s);
    if constexpr (sizeof(T) == 4) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), r0);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32), r1);
        return;
    } else {
        if constexpr (std::is_same_v<T, std::uint16_t>) {
            r0 = _mm256_srai_epi32(_mm256_slli_epi32(r0, 16), 16);
            r1 = _mm256_srai_epi32(_mm256_slli_epi32(r1, 16), 16);
        }
        const __m256i w = _mm256_permute4x64_epi64(_mm256_packs_epi32(r0, r1), 0xD8);
        if constexpr (sizeof(T) == 2) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), w);
        } else {
            const __m128i b = bytes8<T>(_mm256_castsi256_si128(w), _mm256_extracti128_si256(w, 1));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), b);
        }
    }
}

// ---- the kernels ----

using FloatKernel = bool (*)(const float*, unsigned char*, std::size_t, const Setup&);

template <typename T, bool Saturate, bool Report, int M>
std::size_t leading(const float* src, unsigned char* dst, std::size_t count, const Setup& s, bool& outside) {
    std::size_t i = 0;
    for (; i < count && !aligned(src + i, 32); ++i)
        outside |= single<T, Saturate, Report, M>(src + i, dst + i * sizeof(T), s);
    return i;
}

template <typename T, bool Saturate, bool Report, int M>
bool floatKernelSse2(const float* src, unsigned char* dst, std::size_t count, const Setup& s) {
    bool outside = false;
    std::size_t i = leading<T, Saturate, Report, M>(src, dst, count, s, outside);
    __m128 in = _mm_castsi128_ps(words(~0u));
    for (; count - i >= 8; i += 8) eight<T, Saturate, Report, M>(src + i, dst + i * sizeof(T), s, in);
    outside |= _mm_movemask_ps(in) != 0xF;
    for (; i < count; ++i) outside |= single<T, Saturate, Report, M>(src + i, dst + i * sizeof(T), s);
    return outside;
}

template <typename T, bool Saturate, bool Report, int M>
QEL_AVX2 bool floatKernelAvx2(const float* src, unsigned char* dst, std::size_t count, const Setup& s) {
    bool outside = false;
    std::size_t i = leading<T, Saturate, Report, M>(src, dst, count, s, outside);
    __m256 in = _mm256_castsi256_ps(words(~0u, 0));
    for (; count - i >= 16; i += 16) sixteen<T, Saturate, Report, M>(src + i, dst + i * sizeof(T), s, in);
    outside |= _mm256_movemask_ps(in) != 0xFF;
    __m128 in4 = _mm_castsi128_ps(words(~0u));
    if (count - i >= 8) {
        eight<T, Saturate, Report, M>(src + i, dst + i * sizeof(T), s, in4);
        i += 8;
    }
    outside |= _mm_movemask_ps(in4) != 0xF;
    for (; i < count; ++i) outside |= single<T, Saturate, Report, M>(src + i, dst + i * sizeof(T), s);
    return outside;
}

template <typename T, bool Saturate, bool Report>
constexpr FloatKernel kByMode[2][5] = {
    {floatKernelSse2<T, Saturate, Report, kNearest>, floatKernelSse2<T, Saturate, Report, kTruncate>,
     floatKernelSse2<T, Saturate, Report, kFloor>, floatKernelSse2<T, Saturate, Report, kCeil>,
     floatKernelSse2<T, Saturate, Report, kCallerMode>},
    {floatKernelAvx2<T, Saturate, Report, kNearest>, floatKernelAvx2<T, Saturate, Report, kTruncate>,
     floatKernelAvx2<T, Saturate, Report, kFloor>, floatKernelAvx2<T, Saturate, Report, kCeil>,
     floatKernelAvx2<T, Saturate, Report, kCallerMode>}};

// ---- integer to float ----

inline __m128 fromWords(__m128i v) { return _mm_cvtepi32_ps(v); }

// The low 31 bits converted, then 2^31 added where the top bit is set.
inline __m128 fromUnsigned(__m128i v) {
    const __m128 value = _mm_cvtepi32_ps(_mm_and_si128(v, words(0x7FFFFFFFu)));
    return _mm_add_ps(value, _mm_and_ps(_mm_castsi128_ps(_mm_srai_epi32(v, 31)), lanes(k2p31Lanes)));
}

inline QEL_AVX2_VALUE __m256 fromUnsigned(__m256i v) {
    const __m256 value = _mm256_cvtepi32_ps(_mm256_and_si256(v, words(0x7FFFFFFFu, 0)));
    return _mm256_add_ps(value,
                         _mm256_and_ps(_mm256_castsi256_ps(_mm256_srai_epi32(v, 31)), lanes(k2p31Lanes, 0)));
}

template <typename T>
inline void singleFloat(const unsigned char* src, float* dst) {
    T value;
    std::memcpy(&value, src, sizeof value);
    const __m128i v = _mm_cvtsi32_si128(static_cast<int>(value));
    _mm_store_ss(dst, std::is_same_v<T, std::uint32_t> ? fromUnsigned(v) : fromWords(v));
}

inline __m128i load8(const unsigned char* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); }
inline __m128i load16(const unsigned char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

template <typename T>
void intKernelSse2(const unsigned char* src, float* dst, std::size_t count) {
    std::size_t i = 0;
    for (; count - i >= 8; i += 8) {
        const unsigned char* p = src + i * sizeof(T);
        __m128i d0, d1;
        if constexpr (sizeof(T) == 1) {
            const __m128i b = load8(p);
            const __m128i w = std::is_signed_v<T> ? _mm_srai_epi16(_mm_unpacklo_epi8(b, b), 8)
                                                  : _mm_unpacklo_epi8(b, _mm_setzero_si128());
            d0 = _mm_srai_epi32(_mm_unpacklo_epi16(w, w), 16);
            d1 = _mm_srai_epi32(_mm_unpackhi_epi16(w, w), 16);
        } else if constexpr (sizeof(T) == 2) {
            const __m128i w = load16(p);
            if constexpr (std::is_signed_v<T>) {
                d0 = _mm_srai_epi32(_mm_unpacklo_epi16(w, w), 16);
                d1 = _mm_srai_epi32(_mm_unpackhi_epi16(w, w), 16);
            } else {
                d0 = _mm_unpacklo_epi16(w, _mm_setzero_si128());
                d1 = _mm_unpackhi_epi16(w, _mm_setzero_si128());
            }
        } else {
            d0 = load16(p);
            d1 = load16(p + 16);
        }
        if constexpr (std::is_same_v<T, std::uint32_t>) {
            _mm_storeu_ps(dst + i, fromUnsigned(d0));
            _mm_storeu_ps(dst + i + 4, fromUnsigned(d1));
        } else {
            _mm_storeu_ps(dst + i, fromWords(d0));
            _mm_storeu_ps(dst + i + 4, fromWords(d1));
        }
    }
    for (; i < count; ++i) singleFloat<T>(src + i * sizeof(T), dst + i);
}

template <typename T>
QEL_AVX2 void intKernelAvx2(const unsigned char* src, float* dst, std::size_t count) {
    std::size_t i = 0;
    for (; count - i >= 8; i += 8) {
        const unsigned char* p = src + i * sizeof(T);
        __m256i d;
        if constexpr (std::is_same_v<T, std::int8_t>) d = _mm256_cvtepi8_epi32(load8(p));
        else if constexpr (std::is_same_v<T, std::uint8_t>) d = _mm256_cvtepu8_epi32(load8(p));
        else if constexpr (std::is_same_v<T, std::int16_t>) d = _mm256_cvtepi16_epi32(load16(p));
        else if constexpr (std::is_same_v<T, std::uint16_t>) d = _mm256_cvtepu16_epi32(load16(p));
        else d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        if constexpr (std::is_same_v<T, std::uint32_t>) {
            _mm256_storeu_ps(dst + i, fromUnsigned(d));
        } else {
            _mm256_storeu_ps(dst + i, _mm256_cvtepi32_ps(d));
        }
    }
    for (; i < count; ++i) singleFloat<T>(src + i * sizeof(T), dst + i);
}

}  // namespace

template <typename T, bool Saturate, bool Report>
bool floatToInt(const float* src, unsigned char* dst, int len, cvrt::Rounding rounding) {
    bool outside = false;
    {
        // The exception flags the conversions raise are cleared again at the
        // end of the scope, as the reference path leaves them by restoring
        // the whole register.
        const fp::SseFlagsScope sse;
        const unsigned control = sse.caller();
        // Every exception masked, neither flush to zero nor denormals as
        // zero; the rounding field is free.
        constexpr unsigned kChecked = fp::kSseFlushToZero | fp::kSseExceptionMasks | fp::kSseDenormalsAreZero;
        if ((control & kChecked) != fp::kSseExceptionMasks) return false;
        const int mode = modeOf(rounding);
        // The rounding field of each mode: nearest 0, down 1, up 2, toward zero 3.
        static constexpr unsigned kField[4] = {0, 3, 1, 2};
        const bool callerMode = (control >> 13 & 3u) == kField[mode];
        outside = kByMode<T, Saturate, Report>[qel::wide::avx2()][callerMode ? kCallerMode : mode](
            src, dst, static_cast<std::size_t>(len), kSetups<T>[mode]);
    }
    // One report for the call, after every element is written.
    if (outside) reportUnconvertibleElement(false);
    return true;
}

template <typename T>
void intToFloat(const unsigned char* src, float* dst, int len) {
    const auto count = static_cast<std::size_t>(len);
    if (qel::wide::avx2()) return intKernelAvx2<T>(src, dst, count);
    intKernelSse2<T>(src, dst, count);
}

QEL_CONVERSION_KERNELS(bool)

}  // namespace qel::sse::wide

#endif
