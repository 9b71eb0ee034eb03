// SPDX-License-Identifier: MIT
// The choice between the SSE2 and the AVX2 forms of the accelerated vector
// kernels (false throughout where the wide paths do not exist).
#include "vector/wide_paths.h"

namespace qel::wide {

namespace {
// Set by tests only, to reach the SSE2 forms on a processor with AVX2.
bool avx2Unwanted = false;
}  // namespace

bool avx2() { return hasAvx2() && !avx2Unwanted; }

bool useAvx2(bool wanted) {
    avx2Unwanted = !wanted;
    return avx2();
}

}  // namespace qel::wide
