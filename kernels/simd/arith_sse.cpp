// SPDX-License-Identifier: MIT
// The streaming-SIMD family's fill, add and multiply loops in SSE.
#include <xmmintrin.h>

#include <cstddef>
#include <cstdint>

#include "kernels/simd/vector_sse.h"
#include "runtime/diagnostics.h"
#include "variant.h"

namespace qel::sse {

namespace {

bool aligned16(const void* p) { return (reinterpret_cast<std::uintptr_t>(p) & 15u) == 0; }

// The 256-bit loops (arith_avx.cpp), which the 64-bit libraries have, where
// the processor has AVX, unless the reference switch is on.
bool wide() { return hasAvx() && !referencePaths(); }

// The fill switches to non-temporal stores above this many elements left
// (beyond the 16 of the first step): such a run does not fit the cache.
constexpr std::ptrdiff_t kStreamingFill = variant::kStreamingFill;
// The constant forms use the unaligned load and store forms from this many
// elements on (same values; they cost less there on the processors meant).
constexpr std::ptrdiff_t kUnalignedConstBlocks = 4104;
// The vector forms keep aligned stores only below this many elements.
constexpr std::ptrdiff_t kCachedVecBlocks = variant::kCachedVecBlocks;

// The operations take the destination element as their left operand, as the
// generic loops do: when both operands are NaNs, addps and mulps (and their
// single forms) return the first one's, so the destination's NaN comes out,
// quieted. Compilers take addition and multiplication as commutative and
// swap the operands of the intrinsics wherever that saves a register copy;
// the asm keeps the written order. Register operands only: the legacy
// encodings fault on an unaligned memory operand.
struct Add {
    static __m128 lanes(__m128 a, __m128 b) {
        asm("addps %1, %0" : "+x"(a) : "x"(b));
        return a;
    }
    static __m128 single(__m128 a, __m128 b) {
        asm("addss %1, %0" : "+x"(a) : "x"(b));
        return a;
    }
};
struct Mpy {
    static __m128 lanes(__m128 a, __m128 b) {
        asm("mulps %1, %0" : "+x"(a) : "x"(b));
        return a;
    }
    static __m128 single(__m128 a, __m128 b) {
        asm("mulss %1, %0" : "+x"(a) : "x"(b));
        return a;
    }
};

template <typename Op>
inline void singleConst(float* at, __m128 v) {
    _mm_store_ss(at, Op::single(_mm_load_ss(at), v));
}

template <typename Op>
void constLoop(float value, float* dst, int n) {
    const __m128 v = _mm_load1_ps(&value);
    float* end = dst + n;
    // Single elements until the end is 16-byte aligned.
    while (end != dst && !aligned16(end)) {
        --end;
        singleConst<Op>(end, v);
    }
    std::ptrdiff_t left = end - dst;
    if (left >= kUnalignedConstBlocks) {
        for (; left >= 8; left -= 8) {
            end -= 8;
            _mm_storeu_ps(end + 4, Op::lanes(_mm_loadu_ps(end + 4), v));
            _mm_storeu_ps(end, Op::lanes(_mm_loadu_ps(end), v));
        }
    } else {
        // Two blocks a turn: the loop's own instructions would otherwise
        // take as many issue slots as the stores.
        for (; left >= 16; left -= 16) {
            end -= 16;
            const __m128 a = Op::lanes(_mm_load_ps(end + 12), v);
            const __m128 b = Op::lanes(_mm_load_ps(end + 8), v);
            const __m128 c = Op::lanes(_mm_load_ps(end + 4), v);
            const __m128 d = Op::lanes(_mm_load_ps(end), v);
            _mm_store_ps(end + 12, a);
            _mm_store_ps(end + 8, b);
            _mm_store_ps(end + 4, c);
            _mm_store_ps(end, d);
        }
        for (; left >= 8; left -= 8) {
            end -= 8;
            _mm_store_ps(end + 4, Op::lanes(_mm_load_ps(end + 4), v));
            _mm_store_ps(end, Op::lanes(_mm_load_ps(end), v));
        }
    }
    while (end != dst) {
        --end;
        singleConst<Op>(end, v);
    }
}

template <typename Op>
inline void singleVec(const float* from, float* at) {
    _mm_store_ss(at, Op::single(_mm_load_ss(at), _mm_load_ss(from)));
}

template <typename Op>
void vecLoop(const float* src, float* dst, int n) {
    const float* srcEnd = src + n;
    float* end = dst + n;
    while (end != dst && !aligned16(end)) {
        --end;
        --srcEnd;
        singleVec<Op>(srcEnd, end);
    }
    std::ptrdiff_t left = end - dst;
    if (left >= 8 && aligned16(srcEnd) && left < kCachedVecBlocks) {
        for (; left >= 16; left -= 16) {
            end -= 16;
            srcEnd -= 16;
            const __m128 a = Op::lanes(_mm_load_ps(end + 12), _mm_load_ps(srcEnd + 12));
            const __m128 b = Op::lanes(_mm_load_ps(end + 8), _mm_load_ps(srcEnd + 8));
            const __m128 c = Op::lanes(_mm_load_ps(end + 4), _mm_load_ps(srcEnd + 4));
            const __m128 d = Op::lanes(_mm_load_ps(end), _mm_load_ps(srcEnd));
            _mm_store_ps(end + 12, a);
            _mm_store_ps(end + 8, b);
            _mm_store_ps(end + 4, c);
            _mm_store_ps(end, d);
        }
        for (; left >= 8; left -= 8) {
            end -= 8;
            srcEnd -= 8;
            _mm_store_ps(end + 4, Op::lanes(_mm_load_ps(end + 4), _mm_load_ps(srcEnd + 4)));
            _mm_store_ps(end, Op::lanes(_mm_load_ps(end), _mm_load_ps(srcEnd)));
        }
    } else if (left >= 8) {
        // The destination end is aligned, so its blocks may be streamed out;
        // src may sit anywhere (and may be dst itself).
        for (; left >= 8; left -= 8) {
            end -= 8;
            srcEnd -= 8;
            const __m128 hi = Op::lanes(_mm_loadu_ps(end + 4), _mm_loadu_ps(srcEnd + 4));
            const __m128 lo = Op::lanes(_mm_loadu_ps(end), _mm_loadu_ps(srcEnd));
            _mm_stream_ps(end + 4, hi);
            _mm_stream_ps(end, lo);
        }
        _mm_sfence();
    }
    while (end != dst) {
        --end;
        --srcEnd;
        singleVec<Op>(srcEnd, end);
    }
}

}  // namespace

void setBits(std::uint32_t bits, float* dst, int n) {
    if constexpr (kWidePaths)
        if (wide()) return avx::setBits(bits, dst, n);
    // Loaded from memory as bits: no float conversion may touch a
    // signalling NaN on its way into the register.
    alignas(16) const std::uint32_t lanes[4] = {bits, bits, bits, bits};
    const __m128 v = _mm_load_ps(reinterpret_cast<const float*>(lanes));
    float* at = dst;
    float* const end = dst + n;
    while (at != end && !aligned16(at)) _mm_store_ss(at++, v);
    std::ptrdiff_t left = end - at;
    if (left - 16 > kStreamingFill) {
        for (; left >= 16; left -= 16, at += 16) {
            _mm_stream_ps(at, v);
            _mm_stream_ps(at + 4, v);
            _mm_stream_ps(at + 8, v);
            _mm_stream_ps(at + 12, v);
        }
        _mm_sfence();
    } else {
        for (; left >= 16; left -= 16, at += 16) {
            for (int k = 0; k < 16; k += 4) {
                _mm_storel_pi(reinterpret_cast<__m64*>(at + k), v);
                _mm_storeh_pi(reinterpret_cast<__m64*>(at + k + 2), v);
            }
        }
    }
    for (; left >= 4; left -= 4, at += 4) _mm_store_ps(at, v);
    while (at != end) _mm_store_ss(at++, v);
}

void addConst(float value, float* dst, int n) {
    if constexpr (kWidePaths)
        if (wide()) return avx::addConst(value, dst, n);
    constLoop<Add>(value, dst, n);
}
void mpyConst(float value, float* dst, int n) {
    if constexpr (kWidePaths)
        if (wide()) return avx::mpyConst(value, dst, n);
    constLoop<Mpy>(value, dst, n);
}
void addVec(const float* src, float* dst, int n) {
    if constexpr (kWidePaths)
        if (wide()) return avx::addVec(src, dst, n);
    vecLoop<Add>(src, dst, n);
}
void mpyVec(const float* src, float* dst, int n) {
    if constexpr (kWidePaths)
        if (wide()) return avx::mpyVec(src, dst, n);
    vecLoop<Mpy>(src, dst, n);
}

}  // namespace qel::sse
