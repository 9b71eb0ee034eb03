// SPDX-License-Identifier: MIT
// The body of the streaming-SIMD block kernels, shared by ZentavolS2
// (dit_block_sse2.cpp) and ZentavolS1 (dit_block_sse.cpp). A family passes a
// policy with its 8-byte loads, its last pass, its prefetch and its limit;
// the arithmetic is the same code, so both give the same bits.
#pragma once

#include <cstdint>

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

// Policy P provides:
//   static constexpr int kBlockLimit;
//   static V4 load2(const SComplex* lo, const SComplex* hi);   two 8-byte values
//   template <int M> static void afterStep(const float* nextTwiddles);
//   static void lastPass(const float* w, SComplex* data, int n);
//   static constexpr bool kFusedLast;   the last stage stores interleaved
// Every member is a template of P, so each family gets its own copies,
// compiled with its own flags.
template <class P, bool Fwd>
struct DitBlock {
    // The 4-point transform of y[0..3] (bit-reversed input), split into
    // the real and the imaginary parts of X0..X3.
    QEL_SIMD_INLINE static Split4 fourPoint(const SComplex* y, V4 sign) {
        const V4 v0 = P::load2(y, y + 2);  // x0, x2
        const V4 v1 = P::load2(y + 1, y + 3);  // x1, x3
        const V4 s = add(v0, v1);  // x0+x1, x2+x3
        const V4 d = bitXor(sub(v0, v1), sign);  // x0-x1, x2-x3 with one sign flipped
        const V4 a = shuffle<0, 1, 0, 1>(s, d);  // x0+x1, x0-x1
        const V4 b = shuffle<2, 3, 3, 2>(s, d);  // x2+x3, -+i(x2-x3)
        const V4 lo = add(a, b);  // X0, X1
        const V4 hi = sub(a, b);  // X2, X3
        return {shuffle<0, 2, 0, 2>(lo, hi), shuffle<1, 3, 1, 3>(lo, hi)};
    }

    QEL_SIMD_INLINE static Split4 loadUnit(const float* u) { return {load(u), load(u + 4)}; }
    QEL_SIMD_INLINE static void storeUnit(float* u, Split4 v) {
        store(u, v.re);
        store(u + 4, v.im);
    }

    // A unit as four interleaved values: one aligned store per pair, or
    // 8-byte stores into an array that is not 16-byte aligned.
    QEL_SIMD_INLINE static void storeOut(float* d, Split4 v, bool aligned) {
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

    // Radix-4 butterfly on p0..p2..p1..p3 (the legs 0, Q, 2Q, 3Q with their
    // twiddles applied), results to the units of the legs.
    // Out: 0 units, 1 interleaved values into a 16-byte aligned array, 2
    // interleaved values with 8-byte stores.
    template <int Out = 0>
    QEL_SIMD_INLINE static void butterfly(float* o0, float* o1, float* o2, float* o3, Split4 p0, Split4 p2,
                                          Split4 p1, Split4 p3) {
        const Split4 s02 = add(p0, p2);
        const Split4 d02 = sub(p0, p2);
        const Split4 s13 = add(p1, p3);
        const Split4 d13 = sub(p1, p3);
        const auto put = [](float* o, Split4 v) {
            if constexpr (Out == 0) storeUnit(o, v);
            else storeOut(o, v, Out == 1);
        };
        put(o0, add(s02, s13));
        put(o2, sub(s02, s13));
        put(o1, subRotated<Fwd>(d02, d13));
        put(o3, subRotated<!Fwd>(d02, d13));
    }

    // Odd orders: radix-8 over runs of 8 inputs, two units out per run.
    static void firstPass8(const SComplex* in, float* w, int n) {
        const V4 sign = load(Fwd ? kSignFwd : kSignInv);
        const V4 c = load(kRadix8Re);
        const V4 s = load(kRadix8Im);
        for (int r = 0; r < n; r += 8, in += 8, w += 16) {
            const Split4 t0 = fourPoint(in, sign);
            const Split4 t1 = mulTwiddle<Fwd>(fourPoint(in + 4, sign), c, s);
            storeUnit(w, add(t0, t1));
            storeUnit(w + 8, sub(t0, t1));
        }
    }

    // Even orders: radix-16 over runs of 16 inputs with the M = 16 section,
    // four units out per run.
    static void firstPass16(const SComplex* in, float* w, int n, const float* tw) {
        const V4 sign = load(Fwd ? kSignFwd : kSignInv);
        for (int r = 0; r < n; r += 16, in += 16, w += 32) {
            const Split4 p0 = fourPoint(in, sign);
            const Split4 p2 = mulTwiddle<Fwd>(fourPoint(in + 4, sign), load(tw + 8), load(tw + 12));
            const Split4 p1 = mulTwiddle<Fwd>(fourPoint(in + 8, sign), load(tw), load(tw + 4));
            const Split4 p3 = mulTwiddle<Fwd>(fourPoint(in + 12, sign), load(tw + 16), load(tw + 20));
            butterfly(w, w + 8, w + 16, w + 24, p0, p2, p1, p3);
        }
    }

    // One step of a radix-4 stage of size M: four butterflies. With Out != 0
    // the results go `shift` floats on, into the data, interleaved: the last
    // stage and the last pass in one sweep.
    template <int M, int Out>
    QEL_SIMD_INLINE static void step(float* a, const float* t, std::ptrdiff_t shift) {
        constexpr int Q2 = M / 2;  // floats between legs (Q elements)
        const Split4 p0 = loadUnit(a);
        const Split4 p2 = mulTwiddle<Fwd>(loadUnit(a + Q2), load(t + 8), load(t + 12));
        const Split4 p1 = mulTwiddle<Fwd>(loadUnit(a + 2 * Q2), load(t), load(t + 4));
        const Split4 p3 = mulTwiddle<Fwd>(loadUnit(a + 3 * Q2), load(t + 16), load(t + 20));
        float* const o = a + shift;
        butterfly<Out>(o, o + Q2, o + 2 * Q2, o + 3 * Q2, p0, p2, p1, p3);
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
                step<M, Out>(a + 8, t + 24, shift);
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
                const float* section = tw + ditSectionOffset(M);
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
        if ((static_cast<std::uint32_t>(n) & 0xAAAAAAAAu) != 0) {  // odd order
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
        P::lastPass(w, data, n);
    }
};

}  // namespace qel::simd
