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
// over k-4 bits. The pairs between the i of tile t and those of tile rt use
// whole lines of x at both tiles and no others, so the two tiles are taken
// together, once, when t <= rt: all 16 (c, a) when t < rt, the 6 with
// r2(a) > c when t = rt (the rest of a palindromic tile is self-reversed).
// Each line is then fetched once. The pairs come from the indices, not from
// the table, whose pair list says the same; the self-reversed words that
// follow it are returned. Within the first level cache table order is a
// little faster: its loop has no branch to mispredict.
template <class Pair>
const std::int32_t* forEachPairByTiles(const std::int32_t* word, int m, Pair pair) {
    int k = 4;
    while ((1 << k) < m) ++k;
    const int tiles = m / 16;
    const int q = m / 4;
    constexpr int r2[4] = {0, 2, 1, 3};
    int rt = 0;  // the reversal of t over k-4 bits
    for (int t = 0; t < tiles; ++t) {
        if (t < rt) {
            for (int c = 0; c < 4; ++c)
                for (int a = 0; a < 4; ++a) pair(2 * (c * q + 4 * t + a), 2 * (r2[a] * q + 4 * rt + r2[c]));
        } else if (t == rt) {
            for (int c = 0; c < 3; ++c)
                for (int a = 1; a < 4; ++a)
                    if (r2[a] > c) pair(2 * (c * q + 4 * t + a), 2 * (r2[a] * q + 4 * t + r2[c]));
        }
        int bit = tiles / 2;
        while (bit > 0 && (rt & bit) != 0) {
            rt ^= bit;
            bit /= 2;
        }
        rt |= bit;
    }
    // (m - S) / 2 pairs, S = 2^ceil(k/2) self-reversed indices, then the list
    // of those, beginning with the pairs' ending word 0 (i = 0).
    return word + (m - (1 << ((k + 1) / 2)));
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
