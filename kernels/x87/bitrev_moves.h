// SPDX-License-Identifier: MIT
// The x87 bit-reversal moves: single floats through the x87 stack, whatever
// the alignment. Every value arrives unchanged except a signalling NaN,
// which the load quiets. The x87 moves (bitrev_x87.cpp) move everything
// this way, the MMX ones the arrays their 8-byte moves cannot take.
#pragma once

#include "fft/bitrev_walk.h"
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

struct X87Floats {
    static void exchange(SComplex* a, SComplex* b) {
        x87Exchange(&a->re, &b->re);
        x87Exchange(&a->im, &b->im);
    }
    static void copy(const SComplex* from, SComplex* to) {
        x87Copy(&from->re, &to->re);
        x87Copy(&from->im, &to->im);
    }
};

// No value can stay in an x87 register from one asm statement to the next,
// so the tiled walk's moves go one by one too.
using X87 = OneByOne<X87Floats>;

}  // namespace
}  // namespace qel::bitrev
