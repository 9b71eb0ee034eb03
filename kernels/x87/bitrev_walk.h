// SPDX-License-Identifier: MIT
// The walk of the bit-reversal moves over the compact table (table order
// within the first level cache, tile by tile beyond it) and the x87
// single-float moves, internal to each file that includes it: the MMX moves
// of ZentavolS2, ZentavolS1 and ZentavolN2 and the x87 moves of ZentavolG2.
#pragma once

#include <cstdint>

#include "zentavol.h"

namespace qel::bitrev {
namespace {

// The moves are written out: a compiler may drop a float -> x87 -> float
// round trip as an identity, which would no longer quiet a signalling NaN.
// Two pushes and two pops: the stack is as deep afterwards as before.
inline void x87Exchange(float* a, float* b) {
    asm("flds %0\n\tflds %1\n\tfstps %0\n\tfstps %1" : "+m"(*a), "+m"(*b) : : "st", "st(1)");
}

inline void x87Copy(const float* from, float* to) {
    asm("flds %1\n\tfstps %0" : "=m"(*to) : "m"(*from) : "st");
}

// A move policy: the exchanges of a table pair (or of a self-reversed
// index) and the copies of the real FFT's pairs, one float at a time
// through the x87 stack, whatever the alignment.
struct X87 {
    static void exchange(SComplex* a, SComplex* b) {
        x87Exchange(&a->re, &b->re);
        x87Exchange(&a->im, &b->im);
    }
    static void exchangeFour(SComplex* x, int half, int u, int v) {
        exchange(x + u, x + v);
        exchange(x + u + 1, x + half + v);
        exchange(x + half + u, x + v + 1);
        exchange(x + half + u + 1, x + half + v + 1);
    }
    static void exchangeFourAtOnce(SComplex* x, int half, int u, int v) { exchangeFour(x, half, u, v); }
    static void copy(const SComplex* from, SComplex* to) {
        x87Copy(&from->re, &to->re);
        x87Copy(&from->im, &to->im);
    }
    static void copyEight(const SComplex* y, SComplex* z, int half, int u, int v) {
        copy(y + u, z + v);
        copy(y + half + u, z + v + 1);
        copy(y + v, z + u);
        copy(y + half + v, z + u + 1);
        copy(y + u + 1, z + half + v);
        copy(y + half + u + 1, z + half + v + 1);
        copy(y + v + 1, z + half + u);
        copy(y + half + v + 1, z + half + u + 1);
    }
    static void copyEightAtOnce(const SComplex* y, SComplex* z, int half, int u, int v) { copyEight(y, z, half, u, v); }
};

// Calls pair(u, v) for every pair (4i, 4r(i)) of the table, u = 2i and
// v = 2r(i), and returns the word 0 that ends the pairs; m >= 16. The pairs
// are disjoint, so the order of the visits does not change the result.
//
// In table order the i side runs through the array while each partner
// lands m/4 indices from the last one: once the data outgrow the first
// level cache, every pair misses on partner lines of which it uses a
// quarter, the rest being fetched again three times later. Hence tiles:
// with m = 2^k, write i = c*m/4 + 4t + a (quarter c, tile t, a the lowest
// two bits); then r(i) = r2(a)*m/4 + 4*rt + r2(c), rt the reversal of t
// over k-4 bits. One cursor per quarter, all four at tile t, visit the
// pairs whose i lies in t: they use whole lines of x at tile t and at
// tile rt. Quarter c lists 3-c pairs of tile t (the a with r2(a) > c), and
// one more (r2(a) = c) when t < rt. So every tile takes 6 or 10 pairs, the
// table says which, and quarter c starts after the M(3-c) + D pairs of
// each quarter before it (M = m/16 tiles, of which D = (M - 2^ceil((k-4)/2))/2
// have t < rt: the non-palindromes, half of them). Within the first level
// cache table order is a little faster: its loop has no branch to
// mispredict.
template <class Pair>
const std::int32_t* forEachPairByTiles(const std::int32_t* word, int m, Pair pair) {
    int k = 4;
    while ((1 << k) < m) ++k;
    const int M = m / 16;
    const int D = (M - (1 << ((k - 3) / 2))) / 2;
    const std::int32_t* c0 = word;
    const std::int32_t* c1 = c0 + 2 * (3 * M + D);
    const std::int32_t* c2 = c1 + 2 * (2 * M + D);
    const std::int32_t* c3 = c2 + 2 * (M + D);
    // Quarter 0's tile t holds i below 4(t+1), stored as words below end.
    for (std::int32_t end = 16; end <= m; end += 16) {
        const bool more = c0[6] < end;  // the fourth pair of quarter 0 is tile t's
        pair(c0[0] / 2, c0[1] / 2);
        pair(c0[2] / 2, c0[3] / 2);
        pair(c0[4] / 2, c0[5] / 2);
        pair(c1[0] / 2, c1[1] / 2);
        pair(c1[2] / 2, c1[3] / 2);
        pair(c2[0] / 2, c2[1] / 2);
        c0 += 6;
        c1 += 4;
        c2 += 2;
        if (more) {
            pair(c0[0] / 2, c0[1] / 2);
            pair(c1[0] / 2, c1[1] / 2);
            pair(c2[0] / 2, c2[1] / 2);
            pair(c3[0] / 2, c3[1] / 2);
            c0 += 2;
            c1 += 2;
            c2 += 2;
            c3 += 2;
        }
    }
    return c3;
}

// A pair (4i, 4r(i)) stands for u = 2i and v = 2r(i): u, u+1, half+u and
// half+u+1 trade places with v, half+v, v+1 and half+v+1. A self-reversed i
// (the word 0 ending the pairs is i = 0) only swaps u+1 and half+u. n >= 4.
template <class Move>
void permute(SComplex* x, int n, const std::int32_t* word) {
    const int half = n / 2;
    // By tiles once the data exceed 32 KB.
    if (n > 4096)
        word = forEachPairByTiles(word, n / 4, [x, half](int u, int v) { Move::exchangeFourAtOnce(x, half, u, v); });
    else
        for (; *word != 0; word += 2) Move::exchangeFour(x, half, word[0] / 2, word[1] / 2);
    do {
        const int u = *word / 2;
        Move::exchange(x + u + 1, x + half + u);
        ++word;
    } while (*word != 0);
}

// The bit-reversed copy of N >= 8 pairs.
template <class Move>
void copyReal(const SComplex* y, SComplex* z, int N, const std::int32_t* word) {
    const int half = N / 2;
    // By tiles once source and destination together exceed 32 KB.
    if (N > 2048)
        word = forEachPairByTiles(word, N / 4, [y, z, half](int u, int v) { Move::copyEightAtOnce(y, z, half, u, v); });
    else
        for (; *word != 0; word += 2) Move::copyEight(y, z, half, word[0] / 2, word[1] / 2);
    do {
        const int u = *word / 2;
        Move::copy(y + u, z + u);
        Move::copy(y + half + u, z + u + 1);
        Move::copy(y + u + 1, z + half + u);
        Move::copy(y + half + u + 1, z + half + u + 1);
        ++word;
    } while (*word != 0);
}

// N = 1, 2 or 4 pairs, no table: the first and last stay, the middle two of
// four trade places.
template <class Move>
void copyFew(const SComplex* y, SComplex* z, int N) {
    Move::copy(y, z);
    Move::copy(y + N - 1, z + N - 1);
    if (N > 2) {
        Move::copy(y + 1, z + 2);
        Move::copy(y + 2, z + 1);
    }
}

}  // namespace
}  // namespace qel::bitrev
