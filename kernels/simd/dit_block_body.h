// SPDX-License-Identifier: MIT
// The body of the streaming-SIMD block kernels, shared by the SSE2 form
// (dit_block_sse2.cpp) and the SSE one (dit_block_sse.cpp). A family passes a
// policy with its 8-byte loads, its last pass, its prefetch and its limit;
// the arithmetic is the same code, so both give the same bits.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fft/radix4.h"
#include "kernels/simd/dit_block.h"
#include "kernels/simd/simd4.h"

namespace qel::simd {

// e^(-2*pi*i*j/8), j = 0..3; 0x3F3504F4 is one unit in the last place above
// the float nearest to sqrt(1/2). Both directions use these vectors.
inline constexpr Const4 kRadix8Re = constFromBits(0x3F800000u, 0x3F3504F4u, 0x00000000u, 0xBF3504F4u);
inline constexpr Const4 kRadix8Im = constFromBits(0x00000000u, 0xBF3504F4u, 0xBF800000u, 0xBF3504F4u);
// Lane signs that turn the difference (x0-x1, x2-x3) into (x0-x1, -+i(x2-x3))
// once the last two lanes are swapped.
inline constexpr Const4 kSignFwd = constFromBits(0u, 0u, 0x80000000u, 0u);
inline constexpr Const4 kSignInv = constFromBits(0u, 0u, 0u, 0x80000000u);

// One unit per vector: the four-wide vocabulary with the policy's 8-byte
// loads. `apart` (where the second unit of a vector would be) is unused.
template <class P>
struct Units4 {
    using V = V4;
    using Split = Split4;
    static constexpr int kUnits = 1;

    // x0, x2 and x1, x3 of the run at y.
    QEL_SIMD_INLINE static void inputs(const SComplex* y, int, V& v02, V& v13) {
        v02 = P::load2(y, y + 2);
        v13 = P::load2(y + 1, y + 3);
    }
    QEL_SIMD_INLINE static V at(const float* p, std::ptrdiff_t) { return load(p); }
    QEL_SIMD_INLINE static V both(const float* p) { return load(p); }
    QEL_SIMD_INLINE static V both(const Const4& c) { return load(c); }
    QEL_SIMD_INLINE static Split getUnit(const float* u, std::ptrdiff_t) { return {load(u), load(u + 4)}; }
    QEL_SIMD_INLINE static void putUnit(float* u, std::ptrdiff_t, Split v) {
        store(u, v.re);
        store(u + 4, v.im);
    }
    // A unit as four interleaved values: one aligned store per pair, or
    // 8-byte stores into an array that is not 16-byte aligned.
    QEL_SIMD_INLINE static void putInterleaved(float* d, std::ptrdiff_t, Split v, bool aligned) {
        const V4 a = interleaveLow(v.re, v.im);
        const V4 b = interleaveHigh(v.re, v.im);
        if (aligned) {
            store(d, a);
            store(d + 4, b);
            return;
        }
        storeLow(d, a);
        storeHigh(d + 2, a);
        storeLow(d + 4, b);
        storeHigh(d + 6, b);
    }
};

// Policy P provides:
//   using Units;   Units4<P>, or a vocabulary of two units per vector that
//                  does in each half what Units4 does (kUnits = 2; such a
//                  kernel serves n >= 32 only, where the last stage is
//                  always fused and no lastPass is needed)
//   static constexpr int kBlockLimit;
//   static V4 load2(const SComplex* lo, const SComplex* hi);   two 8-byte values (Units4)
//   template <int M> static void afterStep(const float* nextTwiddles);
//   static void lastPass(const float* w, SComplex* data, int n);   (Units4)
//   static constexpr bool kFusedLast;   the last stage stores interleaved
// Every member is a template of P, so each family gets its own copies,
// compiled with its own flags. With two units per vector, a vector carries
// the units of two neighbouring runs of the first pass, or of the two steps
// a stage's turn takes one after the other with four-wide vectors: the same
// operations in the same order on every lane.
template <class P, bool Fwd>
struct DitBlock {
    using U = typename P::Units;
    using V = typename U::V;
    using Split = typename U::Split;
    static constexpr int kUnits = U::kUnits;

    // The 4-point transform of y[0..3] (bit-reversed input), split into
    // the real and the imaginary parts of X0..X3; with two units, also that
    // of y[apart..apart+3].
    QEL_SIMD_INLINE static Split fourPoint(const SComplex* y, int apart, V sign) {
        V v0;  // x0, x2
        V v1;  // x1, x3
        U::inputs(y, apart, v0, v1);
        const V s = add(v0, v1);  // x0+x1, x2+x3
        const V d = bitXor(sub(v0, v1), sign);  // x0-x1, x2-x3 with one sign flipped
        const V a = shuffle<0, 1, 0, 1>(s, d);  // x0+x1, x0-x1
        const V b = shuffle<2, 3, 3, 2>(s, d);  // x2+x3, -+i(x2-x3)
        const V lo = add(a, b);  // X0, X1
        const V hi = sub(a, b);  // X2, X3
        return {shuffle<0, 2, 0, 2>(lo, hi), shuffle<1, 3, 1, 3>(lo, hi)};
    }

    // Radix-4 butterfly on p0..p2..p1..p3 (the legs 0, Q, 2Q, 3Q with their
    // twiddles applied), results to the units of the legs.
    // Out: 0 units, 1 interleaved values into a 16-byte aligned array, 2
    // interleaved values with 8-byte stores.
    template <int Out = 0>
    QEL_SIMD_INLINE static void butterfly(float* o0, float* o1, float* o2, float* o3, std::ptrdiff_t apart, Split p0,
                                          Split p2, Split p1, Split p3) {
        const Split s02 = add(p0, p2);
        const Split d02 = sub(p0, p2);
        const Split s13 = add(p1, p3);
        const Split d13 = sub(p1, p3);
        const auto put = [apart](float* o, Split v) {
            if constexpr (Out == 0) U::putUnit(o, apart, v);
            else U::putInterleaved(o, apart, v, Out == 1);
        };
        put(o0, add(s02, s13));
        put(o2, sub(s02, s13));
        put(o1, subRotated<Fwd>(d02, d13));
        put(o3, subRotated<!Fwd>(d02, d13));
    }

    // Odd orders: radix-8 over runs of 8 inputs, two units out per run.
    static void firstPass8(const SComplex* in, float* w, int n) {
        const V sign = U::both(Fwd ? kSignFwd : kSignInv);
        const V c = U::both(kRadix8Re);
        const V s = U::both(kRadix8Im);
        for (int r = 0; r < n; r += 8 * kUnits, in += 8 * kUnits, w += 16 * kUnits) {
            const Split t0 = fourPoint(in, 8, sign);
            const Split t1 = mulTwiddle<Fwd>(fourPoint(in + 4, 8, sign), c, s);
            U::putUnit(w, 16, add(t0, t1));
            U::putUnit(w + 8, 16, sub(t0, t1));
        }
    }

    // Even orders: radix-16 over runs of 16 inputs with the M = 16 section,
    // four units out per run.
    static void firstPass16(const SComplex* in, float* w, int n, const float* tw) {
        const V sign = U::both(Fwd ? kSignFwd : kSignInv);
        for (int r = 0; r < n; r += 16 * kUnits, in += 16 * kUnits, w += 32 * kUnits) {
            const Split p0 = fourPoint(in, 16, sign);
            const Split p2 = mulTwiddle<Fwd>(fourPoint(in + 4, 16, sign), U::both(tw + 8), U::both(tw + 12));
            const Split p1 = mulTwiddle<Fwd>(fourPoint(in + 8, 16, sign), U::both(tw), U::both(tw + 4));
            const Split p3 = mulTwiddle<Fwd>(fourPoint(in + 12, 16, sign), U::both(tw + 16), U::both(tw + 20));
            butterfly(w, w + 8, w + 16, w + 24, 32, p0, p2, p1, p3);
        }
    }

    // One step of a radix-4 stage of size M: four butterflies (with two
    // units, also the four of the next step, 8 floats and a twiddle group on).
    // With Out != 0 the results go `shift` floats on, into the data,
    // interleaved: the last stage and the last pass in one sweep.
    template <int M, int Out>
    QEL_SIMD_INLINE static void step(float* a, const float* t, std::ptrdiff_t shift) {
        constexpr int Q2 = M / 2;  // floats between legs (Q elements)
        const Split p0 = U::getUnit(a, 8);
        const Split p2 = mulTwiddle<Fwd>(U::getUnit(a + Q2, 8), U::at(t + 8, 24), U::at(t + 12, 24));
        const Split p1 = mulTwiddle<Fwd>(U::getUnit(a + 2 * Q2, 8), U::at(t, 24), U::at(t + 4, 24));
        const Split p3 = mulTwiddle<Fwd>(U::getUnit(a + 3 * Q2, 8), U::at(t + 16, 24), U::at(t + 20, 24));
        float* const o = a + shift;
        butterfly<Out>(o, o + Q2, o + 2 * Q2, o + 3 * Q2, 8, p0, p2, p1, p3);
    }

    // Radix-4 stage of size M: groups of M elements one after another, the
    // section read from the start of each. Two steps per turn (a group has
    // at least two), which takes the 32-point stage's inner loop to one turn.
    template <int M, int Out = 0>
    static void stage(float* w, int n, const float* section, float* out = nullptr) {
        constexpr int Q2 = M / 2;
        float* const end = w + 2 * n;
        const std::ptrdiff_t shift = Out == 0 ? 0 : out - w;
        for (float* g = w; g != end; g += 2 * M) {
            const float* t = section;
            for (float* a = g; a != g + Q2; a += 16, t += 48) {
                step<M, Out>(a, t, shift);
                P::template afterStep<M>(t + 24);
                if constexpr (kUnits == 1) step<M, Out>(a + 8, t + 24, shift);
                P::template afterStep<M>(t + 48);
            }
        }
    }

    template <int M>
    static void lastStage(float* w, int n, const float* section, float* out) {
        if constexpr (P::kFusedLast) {
            if ((reinterpret_cast<std::uintptr_t>(out) & 15u) == 0)
                stage<M, 1>(w, n, section, out);
            else
                stage<M, 2>(w, n, section, out);
        }
    }

    // The last stage of a transform of `total` points (4M > total) goes
    // straight to data where the family fuses it with the last pass.
    template <int M>
    static void stagesFrom(float* w, int n, const float* tw, int minM, int total, SComplex* data) {
        if constexpr (M <= P::kBlockLimit) {
            if (M > n) return;
            if (M >= minM) {
                constexpr int kSection = ditSectionOffset(M);
                const float* section = tw + kSection;
                if (P::kFusedLast && 4 * M > total)
                    lastStage<M>(w, n, section, reinterpret_cast<float*>(data));
                else
                    stage<M>(w, n, section);
            }
            stagesFrom<4 * M>(w, n, tw, minM, total, data);
        }
    }

    // n = 4 in extended precision; twd and work are not read.
    static void fourPointX87(SComplex* x) {
        const long double s01r = static_cast<long double>(x[0].re) + x[1].re;
        const long double s01i = static_cast<long double>(x[0].im) + x[1].im;
        const long double d01r = static_cast<long double>(x[0].re) - x[1].re;
        const long double d01i = static_cast<long double>(x[0].im) - x[1].im;
        const long double s23r = static_cast<long double>(x[2].re) + x[3].re;
        const long double s23i = static_cast<long double>(x[2].im) + x[3].im;
        long double d23r = static_cast<long double>(x[2].re) - x[3].re;
        long double d23i = static_cast<long double>(x[2].im) - x[3].im;
        if constexpr (!Fwd) {  // -i and +i trade places
            d23r = -d23r;
            d23i = -d23i;
        }
        // Word by word: a compiler could otherwise pair the stores through
        // vector registers, with instructions that S1 must not contain.
        volatile float* out = &x[0].re;
        out[0] = static_cast<float>(s01r + s23r);
        out[1] = static_cast<float>(s01i + s23i);
        out[2] = static_cast<float>(d01r + d23i);
        out[3] = static_cast<float>(d01i - d23r);
        out[4] = static_cast<float>(s01r - s23r);
        out[5] = static_cast<float>(s01i - s23i);
        out[6] = static_cast<float>(d01r - d23i);
        out[7] = static_cast<float>(d01i + d23r);
    }

    static void run(SComplex* data, int n, const SComplex* twd, SComplex* work) {
        if (n < 4) return;
        if (n == 4) {
            fourPointX87(data);
            return;
        }
        const bool aligned = (reinterpret_cast<std::uintptr_t>(data) & 15u) == 0;
        float* w = reinterpret_cast<float*>(aligned ? data : work);
        const float* tw = reinterpret_cast<const float*>(twd);
        // Pieces of kPiece points (2 KiB) get the first pass and every stage
        // that stays inside them before the next piece is read; the larger
        // stages then sweep the whole array. Only the order of independent
        // butterflies changes. Measured here, 256 beats 1024 and 2048 by 4-7%
        // at 2^9 to 2^12: the larger stages' sections then stay resident.
        constexpr int kPiece = 256;
        const int piece = n < kPiece ? n : kPiece;
        if (fft::oddOrder(n)) {
            for (int p = 0; p < n; p += piece) {
                firstPass8(data + p, w + 2 * p, piece);
                stagesFrom<32>(w + 2 * p, piece, tw, 0, n, data + p);
            }
            stagesFrom<32>(w, n, tw, 2 * piece, n, data);
            if (P::kFusedLast && n >= 32) return;
        } else {
            for (int p = 0; p < n; p += piece) {
                firstPass16(data + p, w + 2 * p, piece, tw);
                stagesFrom<64>(w + 2 * p, piece, tw, 0, n, data + p);
            }
            stagesFrom<64>(w, n, tw, 2 * piece, n, data);
            if (P::kFusedLast && n >= 64) return;
        }
        if constexpr (kUnits == 1) P::lastPass(w, data, n);
    }
};

}  // namespace qel::simd
