// SPDX-License-Identifier: MIT
// The conjugate extension in integer moves: no floating-point instruction
// touches the values.
#include "kernels/generic/conj_words.h"

namespace qel::generic::words {

void conjExtend(SComplex* vec, int n) {
    // Pointers, not indices: the last destination 2n-3 does not fit an int
    // for the largest counts.
    const SComplex* from = vec + 1;
    const SComplex* const last = vec + (n - 2);  // the last source, inclusive
    SComplex* to = vec + (n - 1) + (n - 2);      // element 2n-3
    for (; last - from >= 3; from += 4, to -= 4) {
        conjMove(from, to);
        conjMove(from + 1, to - 1);
        conjMove(from + 2, to - 2);
        conjMove(from + 3, to - 3);
    }
    for (; from <= last; ++from, --to) conjMove(from, to);
}

}  // namespace qel::generic::words
