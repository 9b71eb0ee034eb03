// The bit-reversal moves of ZentavolS2, ZentavolS1 and ZentavolN2: the
// generic set of exchanges and copies, moving 8-byte values through MMX
// registers when the arrays allow, single floats through the x87 stack else.
#include "kernels/simd/bitrev_mmx.h"

#include <mmintrin.h>

#include <cstdint>

namespace qel::mmx {

namespace {

// The moves are written out: a compiler copies an __m64 through general or
// SSE registers as it likes, and may drop a float -> x87 -> float round trip
// as an identity.
inline __m64 mmxLoad(const SComplex* at) {
    __m64 v;
    asm("movq %1, %0" : "=y"(v) : "m"(*at));
    return v;
}

inline void mmxStore(SComplex* at, __m64 v) { asm("movq %1, %0" : "=m"(*at) : "y"(v)); }

// Two pushes and two pops: the stack is as deep afterwards as before.
inline void x87Exchange(float* a, float* b) {
    asm("flds %0\n\tflds %1\n\tfstps %0\n\tfstps %1" : "+m"(*a), "+m"(*b) : : "st", "st(1)");
}

inline void x87Copy(const float* from, float* to) {
    asm("flds %1\n\tfstps %0" : "=m"(*to) : "m"(*from) : "st");
}

// Clears the MMX state on the way out, so that x87 code after the routine
// finds an empty register stack.
struct MmxScope {
    MmxScope() = default;
    MmxScope(const MmxScope&) = delete;
    MmxScope& operator=(const MmxScope&) = delete;
    ~MmxScope() { _mm_empty(); }
};

struct Mmx {
    static void exchange(SComplex* a, SComplex* b) {
        const __m64 va = mmxLoad(a);
        const __m64 vb = mmxLoad(b);
        mmxStore(a, vb);
        mmxStore(b, va);
    }
    static void copy(const SComplex* from, SComplex* to) { mmxStore(to, mmxLoad(from)); }
};

struct X87 {
    static void exchange(SComplex* a, SComplex* b) {
        x87Exchange(&a->re, &b->re);
        x87Exchange(&a->im, &b->im);
    }
    static void copy(const SComplex* from, SComplex* to) {
        x87Copy(&from->re, &to->re);
        x87Copy(&from->im, &to->im);
    }
};

bool multipleOf8(const void* at) { return (reinterpret_cast<std::uintptr_t>(at) & 7) == 0; }

// A pair (4i, 4r(i)) stands for u = 2i and v = 2r(i): u, u+1, half+u and
// half+u+1 trade places with v, half+v, v+1 and half+v+1. A self-reversed i
// (the word 0 ending the pairs is i = 0) only swaps u+1 and half+u.
template <class Move>
void permute(SComplex* x, int n, const std::int32_t* word) {
    const int half = n / 2;
    for (; *word != 0; word += 2) {
        const int u = word[0] / 2;
        const int v = word[1] / 2;
        Move::exchange(x + u, x + v);
        Move::exchange(x + u + 1, x + half + v);
        Move::exchange(x + half + u, x + v + 1);
        Move::exchange(x + half + u + 1, x + half + v + 1);
    }
    do {
        const int u = *word / 2;
        Move::exchange(x + u + 1, x + half + u);
        ++word;
    } while (*word != 0);
}

template <class Move>
void copyReal(const SComplex* y, SComplex* z, int N, const std::int32_t* word) {
    const int half = N / 2;
    for (; *word != 0; word += 2) {
        const int u = word[0] / 2;
        const int v = word[1] / 2;
        Move::copy(y + u, z + v);
        Move::copy(y + half + u, z + v + 1);
        Move::copy(y + v, z + u);
        Move::copy(y + half + v, z + u + 1);
        Move::copy(y + u + 1, z + half + v);
        Move::copy(y + half + u + 1, z + half + v + 1);
        Move::copy(y + v + 1, z + half + u);
        Move::copy(y + half + v + 1, z + half + u + 1);
    }
    do {
        const int u = *word / 2;
        Move::copy(y + u, z + u);
        Move::copy(y + half + u, z + u + 1);
        Move::copy(y + u + 1, z + half + u);
        Move::copy(y + half + u + 1, z + half + u + 1);
        ++word;
    } while (*word != 0);
}

}  // namespace

void bitRevPermute(SComplex* data, int n, const std::int32_t* table) {
    if (n < 4) return;
    if (multipleOf8(data)) {
        const MmxScope mmx;
        permute<Mmx>(data, n, table);
    } else {
        permute<X87>(data, n, table);
    }
}

void bitRevCopyReal(const SComplex* src, SComplex* dst, int N, const std::int32_t* table) {
    if (N < 8) {
        X87::copy(src, dst);
        X87::copy(src + N - 1, dst + N - 1);
        if (N > 2) {
            X87::copy(src + 1, dst + 2);
            X87::copy(src + 2, dst + 1);
        }
        return;
    }
    if (multipleOf8(src) && multipleOf8(dst)) {
        const MmxScope mmx;
        copyReal<Mmx>(src, dst, N, table);
    } else {
        copyReal<X87>(src, dst, N, table);
    }
}

}  // namespace qel::mmx
