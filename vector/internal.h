// The two internal vector functions behind qelcbMag; each checks its own
// arguments and reports under its own name. Not exported.
#pragma once

#include "zentavol.h"

// spectr[i] = re^2 + im^2 of src[i], rounded once to single precision.
void qelcbPowerSpectr(const SComplex* src, float* spectr, int n);

// dst[i] = sqrt(src[i]) for every src[i] not below zero; one report after
// the loop when some element was negative.
void qelsbSqrt2(const float* src, float* dst, int n);
