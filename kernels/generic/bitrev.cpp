// SPDX-License-Identifier: MIT
// The generic family's bit-reversal moves: the in-place permutation of the
// complex FFT and the bit-reversed copy of the real FFT, both driven by the
// compact table and moving 32-bit words.
#include <cstdint>
#include <cstring>

#include "kernels/generic/fft.h"

namespace qel::generic {

namespace {

// Values travel as integer words: no floating-point load may quiet a
// signalling NaN or touch any other bit pattern.
struct Words {
    std::uint32_t re;
    std::uint32_t im;
};

Words load(const SComplex* at) {
    Words w;
    std::memcpy(&w.re, &at->re, 4);
    std::memcpy(&w.im, &at->im, 4);
    return w;
}

void store(SComplex* at, Words w) {
    std::memcpy(&at->re, &w.re, 4);
    std::memcpy(&at->im, &w.im, 4);
}

void exchange(SComplex* a, SComplex* b) {
    const Words wa = load(a);
    store(a, load(b));
    store(b, wa);
}

void copy(const SComplex* from, SComplex* to) { store(to, load(from)); }

}  // namespace

// A pair (4i, 4r(i)) stands for the element indices u = 2i and v = 2r(i):
// u, u+1, half+u and half+u+1 go to v, half+v, v+1 and half+v+1 and back.
// A self-reversed i leaves u and half+u+1 in place and swaps u+1 with
// half+u; the word 0 ending the pair list is the self-reversed i = 0.
void bitRevPermute(SComplex* data, int n, const std::int32_t* table) {
    if (n < 4) return;
    const int half = n / 2;
    const std::int32_t* word = table;
    for (; *word != 0; word += 2) {
        const int u = word[0] / 2;
        const int v = word[1] / 2;
        exchange(data + u, data + v);
        exchange(data + u + 1, data + half + v);
        exchange(data + half + u, data + v + 1);
        exchange(data + half + u + 1, data + half + v + 1);
    }
    do {
        const int u = *word / 2;
        exchange(data + u + 1, data + half + u);
        ++word;
    } while (*word != 0);
}

void bitRevCopyReal(const SComplex* src, SComplex* dst, int N, const std::int32_t* table) {
    if (N < 8) {
        copy(src, dst);
        copy(src + N - 1, dst + N - 1);
        if (N > 2) {
            copy(src + 1, dst + 2);
            copy(src + 2, dst + 1);
        }
        return;
    }
    const int half = N / 2;
    const std::int32_t* word = table;
    for (; *word != 0; word += 2) {
        const int u = word[0] / 2;
        const int v = word[1] / 2;
        copy(src + u, dst + v);
        copy(src + half + u, dst + v + 1);
        copy(src + v, dst + u);
        copy(src + half + v, dst + u + 1);
        copy(src + u + 1, dst + half + v);
        copy(src + half + u + 1, dst + half + v + 1);
        copy(src + v + 1, dst + half + u);
        copy(src + half + v + 1, dst + half + u + 1);
    }
    do {
        const int u = *word / 2;
        copy(src + u, dst + u);
        copy(src + half + u, dst + u + 1);
        copy(src + u + 1, dst + half + u);
        copy(src + half + u + 1, dst + half + u + 1);
        ++word;
    } while (*word != 0);
}

}  // namespace qel::generic
