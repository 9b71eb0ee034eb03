// SPDX-License-Identifier: MIT
// The streaming builds' fill, add and multiply loops on x86-64 with AVX:
// eight lanes where the SSE loops (arith_sse.cpp) have four, with their bits;
// sixteen where the processor has AVX-512 F as well.
//
// Why the bits are the SSE loops' bits: each element of the result is one
// single-precision operation on the destination element (the first operand)
// and the source element or the constant (the second), in a lane of its own:
// vaddps and vmulps compute each lane as addps and mulps do, under the same
// control register (rounding, flush to zero, denormals as zero), and when
// both operands are NaNs they return the first source's, quieted, as addps
// and mulps return their destination's. The asm keeps that operand order,
// which the compiler would otherwise be free to swap. So no element's value
// depends on its lane, on the width of the step or on the order of the
// steps; the singles at both ends run vaddss and vmulss on the same
// operands. The 512-bit forms of vaddps and vmulps compute their lanes the
// same way. The fill only moves the caller's bits. Which stores write the
// values (aligned, non-temporal) changes no bit. No fused multiply-add:
// each loop adds or multiplies alone, in the instruction its asm names.
#include "runtime/diagnostics.h"

#if QEL_WIDE_PATHS

#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "kernels/simd/vector_sse.h"

namespace qel::avx {

namespace {

bool aligned32(const void* p) { return (reinterpret_cast<std::uintptr_t>(p) & 31u) == 0; }

// Non-temporal stores from these many elements on (after the singles of the
// start), for the fill and the vector forms; the constant forms never use
// them. The SSE loops stream from 4112 and 1032 elements; measured here
// (AMD, 32 KiB L1, 512 KiB L2, 32 MiB L3), the 256-bit loops take up to
// ten times longer with streaming stores than with cached ones while the
// data stay in the caches, and break even at 1 Mi elements (fill) and 4 Mi
// (sums and products, which also read a source).
constexpr std::ptrdiff_t kStreamingFill = std::ptrdiff_t{1} << 20;
constexpr std::ptrdiff_t kStreamingVec = std::ptrdiff_t{1} << 22;

struct Add {
    static __m256 lanes(__m256 a, __m256 b) {
        __m256 r;
        asm("vaddps %2, %1, %0" : "=x"(r) : "x"(a), "xm"(b));
        return r;
    }
    static __m128 single(__m128 a, __m128 b) {
        __m128 r;
        asm("vaddss %2, %1, %0" : "=x"(r) : "x"(a), "x"(b));
        return r;
    }
};
struct Mpy {
    static __m256 lanes(__m256 a, __m256 b) {
        __m256 r;
        asm("vmulps %2, %1, %0" : "=x"(r) : "x"(a), "xm"(b));
        return r;
    }
    static __m128 single(__m128 a, __m128 b) {
        __m128 r;
        asm("vmulss %2, %1, %0" : "=x"(r) : "x"(a), "x"(b));
        return r;
    }
};

// The second operand: the constant in every lane, or the source's elements.
struct ConstOperand {
    __m256 v;
    __m256 lanes(std::ptrdiff_t) const { return v; }
    __m128 single(std::ptrdiff_t) const { return _mm256_castps256_ps128(v); }
};
struct VecOperand {
    const float* src;
    __m256 lanes(std::ptrdiff_t i) const { return _mm256_loadu_ps(src + i); }
    __m128 single(std::ptrdiff_t i) const { return _mm_load_ss(src + i); }
};

template <typename Op, typename Operand>
[[gnu::always_inline]] inline void single(float* dst, Operand b, std::ptrdiff_t i) {
    _mm_store_ss(dst + i, Op::single(_mm_load_ss(dst + i), b.single(i)));
}

// From i, the destination being 32-byte aligned there: blocks of 32 and of
// 8, then the singles left. Streaming stores end with a store fence.
template <typename Op, bool Stream, typename Operand>
void run(float* dst, Operand b, std::ptrdiff_t i, std::ptrdiff_t n) {
    for (; i + 32 <= n; i += 32) {
        const __m256 r0 = Op::lanes(_mm256_load_ps(dst + i), b.lanes(i));
        const __m256 r1 = Op::lanes(_mm256_load_ps(dst + i + 8), b.lanes(i + 8));
        const __m256 r2 = Op::lanes(_mm256_load_ps(dst + i + 16), b.lanes(i + 16));
        const __m256 r3 = Op::lanes(_mm256_load_ps(dst + i + 24), b.lanes(i + 24));
        if constexpr (Stream) {
            _mm256_stream_ps(dst + i, r0);
            _mm256_stream_ps(dst + i + 8, r1);
            _mm256_stream_ps(dst + i + 16, r2);
            _mm256_stream_ps(dst + i + 24, r3);
        } else {
            _mm256_store_ps(dst + i, r0);
            _mm256_store_ps(dst + i + 8, r1);
            _mm256_store_ps(dst + i + 16, r2);
            _mm256_store_ps(dst + i + 24, r3);
        }
    }
    for (; i + 8 <= n; i += 8) {
        const __m256 r = Op::lanes(_mm256_load_ps(dst + i), b.lanes(i));
        if constexpr (Stream) {
            _mm256_stream_ps(dst + i, r);
        } else {
            _mm256_store_ps(dst + i, r);
        }
    }
    if constexpr (Stream) _mm_sfence();
    for (; i < n; ++i) single<Op>(dst, b, i);
}

template <typename Op, typename Operand>
std::ptrdiff_t head(float* dst, Operand b, std::ptrdiff_t n) {
    std::ptrdiff_t i = 0;
    for (; i < n && !aligned32(dst + i); ++i) single<Op>(dst, b, i);
    return i;
}

template <typename Op>
void constLoop(float value, float* dst, int n) {
    const ConstOperand b{_mm256_set1_ps(value)};
    const std::ptrdiff_t count = n;
    run<Op, false>(dst, b, head<Op>(dst, b, count), count);
}

template <typename Op>
void vecLoop(const float* src, float* dst, int n) {
    const VecOperand b{src};
    const std::ptrdiff_t count = n;
    const std::ptrdiff_t i = head<Op>(dst, b, count);
    if (count - i < kStreamingVec) {
        run<Op, false>(dst, b, i, count);
    } else {
        run<Op, true>(dst, b, i, count);
    }
}

// The same loops sixteen lanes wide, from a 64-byte boundary of the
// destination; for processors with AVX-512 F only (the target attribute on
// each function).
#define QEL_AVX512 __attribute__((target("avx512f")))

bool aligned64(const void* p) { return (reinterpret_cast<std::uintptr_t>(p) & 63u) == 0; }

struct Add512 {
    QEL_AVX512 static __m512 lanes(__m512 a, __m512 b) {
        __m512 r;
        asm("vaddps %2, %1, %0" : "=v"(r) : "v"(a), "vm"(b));
        return r;
    }
    using Single = Add;
};
struct Mpy512 {
    QEL_AVX512 static __m512 lanes(__m512 a, __m512 b) {
        __m512 r;
        asm("vmulps %2, %1, %0" : "=v"(r) : "v"(a), "vm"(b));
        return r;
    }
    using Single = Mpy;
};

// The constant held as a float: a broadcast and a scalar move keep its bits.
struct ConstOperand512 {
    float value;
    QEL_AVX512 __m512 lanes(std::ptrdiff_t) const { return _mm512_set1_ps(value); }
    __m128 single(std::ptrdiff_t) const { return _mm_set_ss(value); }
};
struct VecOperand512 {
    const float* src;
    QEL_AVX512 __m512 lanes(std::ptrdiff_t i) const { return _mm512_loadu_ps(src + i); }
    __m128 single(std::ptrdiff_t i) const { return _mm_load_ss(src + i); }
};

template <typename Op, typename Operand>
[[gnu::always_inline]] QEL_AVX512 inline void store512(float* dst, Operand b, std::ptrdiff_t i, bool stream) {
    const __m512 r = Op::lanes(_mm512_load_ps(dst + i), b.lanes(i));
    if (stream)
        _mm512_stream_ps(dst + i, r);
    else
        _mm512_store_ps(dst + i, r);
}

template <typename Op, bool Stream, typename Operand>
QEL_AVX512 void run512(float* dst, Operand b, std::ptrdiff_t i, std::ptrdiff_t n) {
    for (; i + 64 <= n; i += 64) {
        store512<Op>(dst, b, i, Stream);
        store512<Op>(dst, b, i + 16, Stream);
        store512<Op>(dst, b, i + 32, Stream);
        store512<Op>(dst, b, i + 48, Stream);
    }
    for (; i + 16 <= n; i += 16) store512<Op>(dst, b, i, Stream);
    if constexpr (Stream) _mm_sfence();
    for (; i < n; ++i) single<typename Op::Single>(dst, b, i);
}

template <typename Op, typename Operand>
QEL_AVX512 std::ptrdiff_t head512(float* dst, Operand b, std::ptrdiff_t n) {
    std::ptrdiff_t i = 0;
    for (; i < n && !aligned64(dst + i); ++i) single<typename Op::Single>(dst, b, i);
    return i;
}

template <typename Op>
QEL_AVX512 void constLoop512(float value, float* dst, int n) {
    const ConstOperand512 b{value};
    const std::ptrdiff_t count = n;
    run512<Op, false>(dst, b, head512<Op>(dst, b, count), count);
}

template <typename Op>
QEL_AVX512 void vecLoop512(const float* src, float* dst, int n) {
    const VecOperand512 b{src};
    const std::ptrdiff_t count = n;
    const std::ptrdiff_t i = head512<Op>(dst, b, count);
    if (count - i < kStreamingVec) {
        run512<Op, false>(dst, b, i, count);
    } else {
        run512<Op, true>(dst, b, i, count);
    }
}

QEL_AVX512 void setBits512(std::uint32_t bits, float* dst, int n) {
    const __m512 v = _mm512_castsi512_ps(_mm512_set1_epi32(static_cast<int>(bits)));
    const std::ptrdiff_t count = n;
    std::ptrdiff_t i = 0;
    for (; i < count && !aligned64(dst + i); ++i) std::memcpy(dst + i, &bits, sizeof bits);
    if (count - i >= kStreamingFill) {
        for (; i + 64 <= count; i += 64) {
            _mm512_stream_ps(dst + i, v);
            _mm512_stream_ps(dst + i + 16, v);
            _mm512_stream_ps(dst + i + 32, v);
            _mm512_stream_ps(dst + i + 48, v);
        }
        _mm_sfence();
    } else {
        for (; i + 64 <= count; i += 64) {
            _mm512_store_ps(dst + i, v);
            _mm512_store_ps(dst + i + 16, v);
            _mm512_store_ps(dst + i + 32, v);
            _mm512_store_ps(dst + i + 48, v);
        }
    }
    for (; i + 16 <= count; i += 16) _mm512_store_ps(dst + i, v);
    for (; i < count; ++i) std::memcpy(dst + i, &bits, sizeof bits);
}

}  // namespace

void setBits(std::uint32_t bits, float* dst, int n) {
    if (avx512Loops()) return setBits512(bits, dst, n);
    // An integer broadcast: no float instruction touches a signalling NaN.
    const __m256 v = _mm256_castsi256_ps(_mm256_set1_epi32(static_cast<int>(bits)));
    const std::ptrdiff_t count = n;
    std::ptrdiff_t i = 0;
    for (; i < count && !aligned32(dst + i); ++i) std::memcpy(dst + i, &bits, sizeof bits);
    if (count - i >= kStreamingFill) {
        for (; i + 32 <= count; i += 32) {
            _mm256_stream_ps(dst + i, v);
            _mm256_stream_ps(dst + i + 8, v);
            _mm256_stream_ps(dst + i + 16, v);
            _mm256_stream_ps(dst + i + 24, v);
        }
        _mm_sfence();
    } else {
        for (; i + 32 <= count; i += 32) {
            _mm256_store_ps(dst + i, v);
            _mm256_store_ps(dst + i + 8, v);
            _mm256_store_ps(dst + i + 16, v);
            _mm256_store_ps(dst + i + 24, v);
        }
    }
    for (; i + 8 <= count; i += 8) _mm256_store_ps(dst + i, v);
    for (; i < count; ++i) std::memcpy(dst + i, &bits, sizeof bits);
}

void addConst(float value, float* dst, int n) {
    if (avx512Loops()) return constLoop512<Add512>(value, dst, n);
    constLoop<Add>(value, dst, n);
}
void mpyConst(float value, float* dst, int n) {
    if (avx512Loops()) return constLoop512<Mpy512>(value, dst, n);
    constLoop<Mpy>(value, dst, n);
}
void addVec(const float* src, float* dst, int n) {
    if (avx512Loops()) return vecLoop512<Add512>(src, dst, n);
    vecLoop<Add>(src, dst, n);
}
void mpyVec(const float* src, float* dst, int n) {
    if (avx512Loops()) return vecLoop512<Mpy512>(src, dst, n);
    vecLoop<Mpy>(src, dst, n);
}

}  // namespace qel::avx

#endif
