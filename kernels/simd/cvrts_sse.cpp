// SPDX-License-Identifier: MIT
// The streaming-SIMD family's conversions: float to integer under the SSE
// rounding mode set for the call, eight elements per step through MMX
// registers with packing and non-temporal stores; integer to float with MMX
// widening.
#include <mmintrin.h>
#include <xmmintrin.h>

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "kernels/simd/cvrts_ranges.h"
#include "kernels/simd/cvrts_wide.h"
#include "kernels/simd/vector_sse.h"
#include "platform/fp_env.h"
#include "runtime/diagnostics.h"
#include "vector/internal.h"
#include "zentavol.h"

namespace qel::sse {

namespace {

bool aligned(const void* p, std::uintptr_t bytes) {
    return (reinterpret_cast<std::uintptr_t>(p) & (bytes - 1)) == 0;
}

// The control/status register for the call: rounding field and exception
// flags cleared, every exception masked, the rest (flush to zero, denormals
// as zero) as the caller had it; the caller's value comes back at the end.
constexpr unsigned kCallFields = fp::kSseRoundingField | fp::kSseExceptionMasks | fp::kSseExceptionFlags;

unsigned controlCode(cvrt::Rounding mode) {
    switch (mode) {
        case cvrt::Rounding::truncate: return fp::kSseExceptionMasks | fp::kSseRoundTowardZero;
        case cvrt::Rounding::floor: return fp::kSseExceptionMasks | fp::kSseRoundDown;
        case cvrt::Rounding::ceil: return fp::kSseExceptionMasks | fp::kSseRoundUp;
        case cvrt::Rounding::nearest: break;
    }
    return fp::kSseExceptionMasks | fp::kSseRoundNearest;
}

// One float into the low lane by an SSE load of its own, kept in a vector
// register: a 32-bit compiler otherwise treats the lane as a plain float and
// may hold it on the x87 stack, or load it once there for this use and for
// a read of the same float's bits (the saturating 32-bit forms).
__m128 loadLow(const float* p) {
    asm("" : "+r"(p));
    __m128 x = _mm_load_ss(p);
    asm("" : "+x"(x));
    return x;
}

// Unsigned 32-bit values from 2^31 up convert as x - 2^31 (exact: such
// floats are integers) with the top bit put back; everything else converts
// to a signed 32-bit integer, 0x80000000 when out of its range or NaN.
template <typename T>
std::uint32_t convertOne(const float* p) {
    __m128 x = loadLow(p);
    if constexpr (std::is_same_v<T, std::uint32_t>) {
        const __m128 top = _mm_set_ss(k2p31);
        if (_mm_comige_ss(x, top) && _mm_comilt_ss(x, _mm_set_ss(k2p32)))
            return static_cast<std::uint32_t>(_mm_cvt_ss2si(_mm_sub_ss(x, top))) ^ 0x80000000u;
    }
    return static_cast<std::uint32_t>(_mm_cvt_ss2si(x));
}

template <typename T>
void storeLow(unsigned char* dst, std::size_t i, std::uint32_t value) {
    const auto narrow = static_cast<std::make_unsigned_t<T>>(value);
    std::memcpy(dst + i * sizeof(T), &narrow, sizeof(T));
}

std::uint32_t bitsAt(const float* p) {
    std::uint32_t bits;
    std::memcpy(&bits, p, sizeof bits);
    return bits;
}

// One element of the leading or trailing part: the low-order bits of the
// 32-bit result; saturating, 8 and 16 bits clamp first (a NaN becomes the
// minimum), 32 bits compare the float's bits with those of the largest float
// below 2^31 or 2^32.
template <typename T, bool Saturate, bool Report>
void convertSingle(const float* p, unsigned char* dst, std::size_t i, const Setup& s, bool& outside) {
    if constexpr (Report) {
        const __m128 x = loadLow(p);
        if (!(_mm_comige_ss(x, _mm_load_ss(s.inLow.v)) && _mm_comile_ss(x, _mm_load_ss(s.inHigh.v))))
            outside = true;
    }
    if constexpr (Saturate && sizeof(T) < 4) {
        const __m128 x = _mm_min_ss(_mm_max_ss(loadLow(p), _mm_load_ss(s.clampLow.v)),
                                    _mm_load_ss(s.clampHigh.v));
        float clamped;
        _mm_store_ss(&clamped, x);
        storeLow<T>(dst, i, convertOne<T>(&clamped));
    } else if constexpr (Saturate) {
        const auto bits = static_cast<std::int32_t>(bitsAt(p));
        if constexpr (std::is_signed_v<T>) {
            storeLow<T>(dst, i, bits > 0x4EFFFFFF ? 0x7FFFFFFFu : convertOne<T>(p));
        } else {
            storeLow<T>(dst, i, bits > 0x4F7FFFFF ? 0xFFFFFFFFu : bits < 0 ? 0u : convertOne<T>(p));
        }
    } else {
        storeLow<T>(dst, i, convertOne<T>(p));
    }
}

__m64 pairAt(const float* p) {
    __m64 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

__m64 words(std::uint32_t w) { return _mm_set1_pi32(static_cast<int>(w)); }

// Eight elements from a 32-byte aligned source: four pairs of 32-bit
// results in MMX registers, narrowed by the packing instructions (with
// saturation for both 8-bit types and signed 16 bits, to the low 16 bits for
// unsigned 16 bits) and stored with non-temporal 8-byte stores.
template <typename T, bool Saturate, bool Report>
void convertEight(const float* p, unsigned char* dst, std::size_t i, const Setup& s, __m128& inside) {
    __m128 x[2] = {_mm_load_ps(p), _mm_load_ps(p + 4)};
    _mm_prefetch(reinterpret_cast<const char*>(p) + 64, _MM_HINT_T0);
    if constexpr (Report) {
        const __m128 lo = _mm_load_ps(s.inLow.v);
        const __m128 hi = _mm_load_ps(s.inHigh.v);
        for (const __m128& v : x) inside = _mm_and_ps(inside, _mm_and_ps(_mm_cmpge_ps(v, lo), _mm_cmple_ps(v, hi)));
    }
    if constexpr (Saturate && sizeof(T) == 1) {
        // The high side only (a NaN becomes the maximum); the packing
        // saturates the low side.
        for (__m128& v : x) v = _mm_min_ps(v, _mm_load_ps(s.clampHigh.v));
    } else if constexpr (Saturate && sizeof(T) == 2) {
        for (__m128& v : x) v = _mm_min_ps(_mm_max_ps(v, _mm_load_ps(s.clampLow.v)), _mm_load_ps(s.clampHigh.v));
    }
    __m64 r[4];
    if constexpr (std::is_same_v<T, std::uint32_t>) {
        // Lanes from 2^31 below 2^32 lose 2^31 before and get the top bit
        // after the conversion; which lanes, the float's bits tell.
        const __m128 top = _mm_load_ps(k2p31Lanes.v);
        for (__m128& v : x) {
            const __m128 big = _mm_and_ps(_mm_cmpge_ps(v, top), _mm_cmplt_ps(v, _mm_load_ps(k2p32Lanes.v)));
            v = _mm_sub_ps(v, _mm_and_ps(big, top));
        }
    }
    r[0] = _mm_cvtps_pi32(x[0]);
    r[1] = _mm_cvtps_pi32(_mm_movehl_ps(x[0], x[0]));
    r[2] = _mm_cvtps_pi32(x[1]);
    r[3] = _mm_cvtps_pi32(_mm_movehl_ps(x[1], x[1]));
    if constexpr (sizeof(T) == 4) {
        for (int k = 0; k < 4; ++k) {
            const __m64 bits = pairAt(p + 2 * k);
            if constexpr (std::is_same_v<T, std::uint32_t>) {
                const __m64 big = _mm_andnot_si64(_mm_cmpgt_pi32(bits, words(0x4F7FFFFFu)),
                                                  _mm_cmpgt_pi32(bits, words(0x4EFFFFFFu)));
                r[k] = _mm_xor_si64(r[k], _mm_and_si64(big, words(0x80000000u)));
                if constexpr (Saturate) {
                    const __m64 over = _mm_cmpgt_pi32(bits, words(0x4F7FFFFFu));
                    const __m64 negative = _mm_cmpgt_pi32(_mm_setzero_si64(), bits);
                    r[k] = _mm_or_si64(_mm_andnot_si64(_mm_or_si64(over, negative), r[k]), over);
                }
            } else if constexpr (Saturate) {
                const __m64 over = _mm_cmpgt_pi32(bits, words(0x4EFFFFFFu));
                r[k] = _mm_or_si64(_mm_andnot_si64(over, r[k]), _mm_and_si64(over, words(0x7FFFFFFFu)));
            }
            _mm_stream_pi(reinterpret_cast<__m64*>(dst + (i + 2 * k) * 4), r[k]);
        }
    } else {
        if constexpr (std::is_same_v<T, std::uint16_t>) {
            // The low 16 bits, sign-extended so that the signed packing
            // keeps them.
            for (__m64& v : r) v = _mm_srai_pi32(_mm_slli_pi32(v, 16), 16);
        }
        const __m64 w0 = _mm_packs_pi32(r[0], r[1]);
        const __m64 w1 = _mm_packs_pi32(r[2], r[3]);
        if constexpr (sizeof(T) == 2) {
            _mm_stream_pi(reinterpret_cast<__m64*>(dst + i * 2), w0);
            _mm_stream_pi(reinterpret_cast<__m64*>(dst + i * 2 + 8), w1);
        } else if constexpr (std::is_signed_v<T>) {
            _mm_stream_pi(reinterpret_cast<__m64*>(dst + i), _mm_packs_pi16(w0, w1));
        } else {
            _mm_stream_pi(reinterpret_cast<__m64*>(dst + i), _mm_packs_pu16(w0, w1));
        }
    }
}

// ---- integer to float ----

// Two 32-bit integers of an MMX register into lanes 0 and 1, two more into
// lanes 2 and 3.
__m128 fourFloats(__m64 low, __m64 high) {
    const __m128 h = _mm_cvtpi32_ps(_mm_setzero_ps(), high);
    return _mm_cvtpi32_ps(_mm_movelh_ps(h, h), low);
}

// 32-bit unsigned values: the low 31 bits converted, then 2^31 added where
// the top bit is set: two roundings.
__m128 fourUnsigned(__m64 low, __m64 high) {
    const __m64 mask31 = words(0x7FFFFFFFu);
    const __m128 value = fourFloats(_mm_and_si64(low, mask31), _mm_and_si64(high, mask31));
    // -1.0 where the top bit is set: a lane mask for 2^31.
    const __m128 top = _mm_cmplt_ps(fourFloats(_mm_srai_pi32(low, 31), _mm_srai_pi32(high, 31)), _mm_setzero_ps());
    return _mm_add_ps(value, _mm_and_ps(top, _mm_load_ps(k2p31Lanes.v)));
}

template <typename T>
void singleFloat(const unsigned char* src, float* dst, std::size_t i) {
    T value;
    std::memcpy(&value, src + i * sizeof(T), sizeof(T));
    // Through an MMX register (cvtpi2ps): the scalar conversion is turned
    // into an x87 one by a 32-bit compiler.
    __m128 f;
    if constexpr (std::is_same_v<T, std::uint32_t>) {
        f = _mm_cvtpi32_ps(_mm_setzero_ps(), _mm_cvtsi32_si64(static_cast<int>(value & 0x7FFFFFFFu)));
        if (value & 0x80000000u) f = _mm_add_ss(f, _mm_load_ss(k2p31Lanes.v));
    } else {
        f = _mm_cvtpi32_ps(_mm_setzero_ps(), _mm_cvtsi32_si64(static_cast<int>(value)));
    }
    _mm_store_ss(dst + i, f);
}

__m64 eightBytes(const unsigned char* p) {
    __m64 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Four 16-bit integers widened to two pairs of 32-bit ones.
template <bool Signed>
void widenWords(__m64 w, __m64& low, __m64& high) {
    if constexpr (Signed) {
        low = _mm_srai_pi32(_mm_unpacklo_pi16(w, w), 16);
        high = _mm_srai_pi32(_mm_unpackhi_pi16(w, w), 16);
    } else {
        low = _mm_unpacklo_pi16(w, _mm_setzero_si64());
        high = _mm_unpackhi_pi16(w, _mm_setzero_si64());
    }
}

}  // namespace

template <typename T, bool Saturate, bool Report>
void floatToInt(const float* src, unsigned char* dst, int len, cvrt::Rounding mode) {
    if constexpr (kWidePaths)
        if (!referencePaths() && wide::floatToInt<T, Saturate, Report>(src, dst, len, mode)) return;
    const Setup& s = kSetups<T>[modeOf(mode)];
    const auto count = static_cast<std::size_t>(len);
    bool outside = false;
    {
        const fp::SseScope control(kCallFields, controlCode(mode));
        std::size_t i = 0;
        for (; i < count && !aligned(src + i, 32); ++i) convertSingle<T, Saturate, Report>(src + i, dst, i, s, outside);
        if (count - i >= 8) {
            const fp::MmxScope mmx;
            __m128 inside = _mm_cmpeq_ps(_mm_setzero_ps(), _mm_setzero_ps());
            for (; count - i >= 8; i += 8) convertEight<T, Saturate, Report>(src + i, dst, i, s, inside);
            _mm_sfence();
            if (_mm_movemask_ps(inside) != 0xF) outside = true;
        }
        for (; i < count; ++i) convertSingle<T, Saturate, Report>(src + i, dst, i, s, outside);
    }
    // One report for the call, after every element is written and the
    // caller's modes are back.
    if (outside) reportUnconvertibleElement(false);
}

template <typename T>
void intToFloat(const unsigned char* src, float* dst, int len) {
    if constexpr (kWidePaths)
        if (!referencePaths()) return wide::intToFloat<T>(src, dst, len);
    constexpr bool isSigned = std::is_signed_v<T>;
    const auto count = static_cast<std::size_t>(len);
    constexpr std::size_t step = std::is_same_v<T, std::uint32_t> ? 4 : 8;
    std::size_t i = 0;
    const fp::MmxScope mmx;  // the single elements go through MMX too
    if (count >= step) {
        for (; count - i >= step; i += step) {
            const unsigned char* p = src + i * sizeof(T);
            if constexpr (sizeof(T) == 1) {
                const __m64 b = eightBytes(p);
                __m64 w0, w1;
                if constexpr (isSigned) {
                    w0 = _mm_srai_pi16(_mm_unpacklo_pi8(b, b), 8);
                    w1 = _mm_srai_pi16(_mm_unpackhi_pi8(b, b), 8);
                } else {
                    w0 = _mm_unpacklo_pi8(b, _mm_setzero_si64());
                    w1 = _mm_unpackhi_pi8(b, _mm_setzero_si64());
                }
                __m64 d[4];
                widenWords<true>(w0, d[0], d[1]);  // words hold the value, sign-extended if signed
                widenWords<true>(w1, d[2], d[3]);
                _mm_storeu_ps(dst + i, fourFloats(d[0], d[1]));
                _mm_storeu_ps(dst + i + 4, fourFloats(d[2], d[3]));
            } else if constexpr (sizeof(T) == 2) {
                __m64 d[4];
                widenWords<isSigned>(eightBytes(p), d[0], d[1]);
                widenWords<isSigned>(eightBytes(p + 8), d[2], d[3]);
                _mm_storeu_ps(dst + i, fourFloats(d[0], d[1]));
                _mm_storeu_ps(dst + i + 4, fourFloats(d[2], d[3]));
            } else if constexpr (isSigned) {
                _mm_storeu_ps(dst + i, fourFloats(eightBytes(p), eightBytes(p + 8)));
                _mm_storeu_ps(dst + i + 4, fourFloats(eightBytes(p + 16), eightBytes(p + 24)));
            } else {
                _mm_storeu_ps(dst + i, fourUnsigned(eightBytes(p), eightBytes(p + 8)));
            }
        }
    }
    for (; i < count; ++i) singleFloat<T>(src, dst, i);
}

QEL_CONVERSION_KERNELS(void)

}  // namespace qel::sse
