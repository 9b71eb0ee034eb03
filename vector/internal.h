// SPDX-License-Identifier: MIT
// Internal functions of the vector subsystem shared by every build: the two
// functions behind qelcbMag, each checking its own arguments and reporting
// under its own name, and the element report of the conversions. Not
// exported.
#pragma once

#include "zentavol.h"

// spectr[i] = re^2 + im^2 of src[i], rounded once to single precision.
void qelcbPowerSpectr(const SComplex* src, float* spectr, int n);

// dst[i] = sqrt(src[i]) for every src[i] not below zero; one report after
// the loop when some element was negative.
void qelsbSqrt2(const float* src, float* dst, int n);

namespace qel {

// The report of one out-of-range element of qelsbFloatToInt, shared by the
// families that report element by element: "A negative float cannot be
// converted to unsigned" when the type is unsigned and the element lies
// below its range, "A float exceeds an integer" otherwise.
void reportUnconvertibleElement(bool negativeToUnsigned);

// qelsbSqrt2's report of a negative element, for the magnitudes' blocks
// that take their roots without calling it.
void reportNegativeElement();

}  // namespace qel
