// SPDX-License-Identifier: MIT
// The generic family's loops behind qelsMax, qelsMin and the internal
// qelsbSqrt2; a build picks its family in its variant.h.
// The families differ in how NaNs and signed zeros are ordered and in how
// the square root is taken.
#pragma once

namespace qel::generic {
// Ordered float comparisons (x87 ones in the 32-bit build), two elements
// per step: a later element replaces the running maximum only when strictly
// greater (NaNs never do); the running minimum is replaced unless the
// element is >= it (so a NaN does, and so does the element after a NaN).
// len >= 1.
float maxOf(const float* vec, int len);
float minOf(const float* vec, int len);
// dst[i] = sqrt(src[i]) unless 0 > src[i]; returns whether such an element
// was met (those are left unwritten). n >= 1.
bool sqrtLoop(const float* src, float* dst, int n);
}  // namespace qel::generic
