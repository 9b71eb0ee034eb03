// SPDX-License-Identifier: MIT
// The walk of the bit-reversal moves over the compact table, written once
// for every family: which elements trade places (in table order within the
// first level cache, tile by tile beyond it), with the moves themselves a
// policy of the family (32-bit words, x87 floats, MMX or vector registers).
// Internal to each file that includes it, since each family compiles it
// with its own instruction set.
#pragma once

#include <cstdint>

#include "zentavol.h"

namespace qel::bitrev {
namespace {

// A block: the elements at x+u, x+u+1 (row lo) and x+half+u, x+half+u+1
// (row hi) of a table index i, u = 2i. Bit reversal sends a block to the
// block of r(i), transposed: x[u+1] and x[half+u] trade rows.
struct Rows {
    SComplex* lo;
    SComplex* hi;
};
struct ConstRows {
    const SComplex* lo;
    const SComplex* hi;
};

// A move policy supplies
//   exchange (a, b), copy (from, to): one element;
//   swapTransposed (a, b): a becomes b transposed and b a transposed;
//   transpose (a): a becomes a transposed, in place;
//   copyCrossed (yu, yv, zu, zv): zv = yu transposed, zu = yv transposed;
//   copyTransposed (y, z): z = y transposed;
//   and the ...AtOnce forms of swapTransposed and copyCrossed that the
//   tiled walk calls, free to load everything before the first store so
//   that the misses on the lines of a pair overlap.
// Every move copies bits; a policy decides only how they travel.

// Block moves made of one element's moves, one after the other (fastest
// while the data stay in the first level cache). Elem supplies exchange
// and copy.
template <class Elem>
struct OneByOne {
    static void exchange(SComplex* a, SComplex* b) { Elem::exchange(a, b); }
    static void copy(const SComplex* from, SComplex* to) { Elem::copy(from, to); }
    static void swapTransposed(Rows a, Rows b) {
        exchange(a.lo, b.lo);
        exchange(a.lo + 1, b.hi);
        exchange(a.hi, b.lo + 1);
        exchange(a.hi + 1, b.hi + 1);
    }
    static void swapTransposedAtOnce(Rows a, Rows b) { swapTransposed(a, b); }
    static void transpose(Rows a) { exchange(a.lo + 1, a.hi); }
    static void copyCrossed(ConstRows yu, ConstRows yv, Rows zu, Rows zv) {
        copy(yu.lo, zv.lo);
        copy(yu.hi, zv.lo + 1);
        copy(yv.lo, zu.lo);
        copy(yv.hi, zu.lo + 1);
        copy(yu.lo + 1, zv.hi);
        copy(yu.hi + 1, zv.hi + 1);
        copy(yv.lo + 1, zu.hi);
        copy(yv.hi + 1, zu.hi + 1);
    }
    static void copyCrossedAtOnce(ConstRows yu, ConstRows yv, Rows zu, Rows zv) { copyCrossed(yu, yv, zu, zv); }
    static void copyTransposed(ConstRows y, Rows z) {
        copy(y.lo, z.lo);
        copy(y.hi, z.lo + 1);
        copy(y.lo + 1, z.hi);
        copy(y.hi + 1, z.hi + 1);
    }
};

// As OneByOne, with the tiled walk's moves taking all eight loads of a pair
// before the first store. Reg supplies a Value type of one element held in
// a register, load and store besides exchange and copy.
template <class Reg>
struct AllLoadsFirst : OneByOne<Reg> {
    static void swapTransposedAtOnce(Rows a, Rows b) {
        const auto a0 = Reg::load(a.lo), a1 = Reg::load(a.lo + 1);
        const auto a2 = Reg::load(a.hi), a3 = Reg::load(a.hi + 1);
        const auto b0 = Reg::load(b.lo), b1 = Reg::load(b.hi);
        const auto b2 = Reg::load(b.lo + 1), b3 = Reg::load(b.hi + 1);
        Reg::store(a.lo, b0);
        Reg::store(a.lo + 1, b1);
        Reg::store(a.hi, b2);
        Reg::store(a.hi + 1, b3);
        Reg::store(b.lo, a0);
        Reg::store(b.hi, a1);
        Reg::store(b.lo + 1, a2);
        Reg::store(b.hi + 1, a3);
    }
    static void copyCrossedAtOnce(ConstRows yu, ConstRows yv, Rows zu, Rows zv) {
        const auto a0 = Reg::load(yu.lo), a1 = Reg::load(yu.hi);
        const auto a2 = Reg::load(yu.lo + 1), a3 = Reg::load(yu.hi + 1);
        const auto b0 = Reg::load(yv.lo), b1 = Reg::load(yv.hi);
        const auto b2 = Reg::load(yv.lo + 1), b3 = Reg::load(yv.hi + 1);
        Reg::store(zv.lo, a0);
        Reg::store(zv.lo + 1, a1);
        Reg::store(zv.hi, a2);
        Reg::store(zv.hi + 1, a3);
        Reg::store(zu.lo, b0);
        Reg::store(zu.lo + 1, b1);
        Reg::store(zu.hi, b2);
        Reg::store(zu.hi + 1, b3);
    }
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

// The order of the pair visits: by tiles above the build's size limit
// (TiledAbove, where the data outgrow the first level cache), or always the
// table's. A limit of at least 32 leaves the tiles their 16 pairs.
enum class Walk { bySize, tableOrder };

// A pair (4i, 4r(i)) stands for u = 2i and v = 2r(i): the blocks of i and
// r(i) trade places, transposed. A self-reversed i (the word 0 ending the
// pairs is i = 0) has its block transposed in place. n >= 4.
template <class Move, int TiledAbove>
void permute(SComplex* x, int n, const std::int32_t* word, Walk walk = Walk::bySize) {
    const int half = n / 2;
    const auto rows = [x, half](int u) { return Rows{x + u, x + half + u}; };
    if (walk == Walk::bySize && n > TiledAbove)
        word = forEachPairByTiles(word, n / 4, [rows](int u, int v) { Move::swapTransposedAtOnce(rows(u), rows(v)); });
    else
        for (; *word != 0; word += 2) Move::swapTransposed(rows(word[0] / 2), rows(word[1] / 2));
    do {
        Move::transpose(rows(*word / 2));
        ++word;
    } while (*word != 0);
}

// The bit-reversed copy of N >= 8 pairs: the same blocks, from y to z
// (whose data are twice the permutation's, source and destination).
template <class Move, int TiledAbove>
void copyReal(const SComplex* y, SComplex* z, int N, const std::int32_t* word, Walk walk = Walk::bySize) {
    const int half = N / 2;
    const auto from = [y, half](int u) { return ConstRows{y + u, y + half + u}; };
    const auto to = [z, half](int u) { return Rows{z + u, z + half + u}; };
    if (walk == Walk::bySize && N > TiledAbove)
        word = forEachPairByTiles(word, N / 4, [from, to](int u, int v) {
            Move::copyCrossedAtOnce(from(u), from(v), to(u), to(v));
        });
    else
        for (; *word != 0; word += 2) {
            const int u = word[0] / 2;
            const int v = word[1] / 2;
            Move::copyCrossed(from(u), from(v), to(u), to(v));
        }
    do {
        const int u = *word / 2;
        Move::copyTransposed(from(u), to(u));
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
