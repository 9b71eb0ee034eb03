// SPDX-License-Identifier: MIT
// The streaming-SIMD family's vector loops: SSE (no SSE2) for the arithmetic, extremes and square root,
// SSE and MMX for the conversions (the conjugate extension is the shared
// integer one, kernels/generic/conj_words.h). The names are those of the
// generic family (kernels/generic/), bundled in kernels/simd/family.h.
#pragma once

#include <cstdint>

#include "vector/cvrts_kernels.h"
#include "zentavol.h"

namespace qel::sse {

// dst[i] = bits: single stores up to a 16-byte boundary, then 64 bytes per
// step (non-temporal stores and a store fence for long runs, 8-byte stores
// otherwise), then groups of 4 and single stores.
void setBits(std::uint32_t bits, float* dst, int n);
// From the end: single elements up to a 16-byte aligned end, blocks of 8
// in four lanes, then the leading elements from the last to the first.
void addConst(float value, float* dst, int n);
void mpyConst(float value, float* dst, int n);
// As the constant forms; blocks go through non-temporal stores (and a store
// fence) unless both operands are aligned and the run is short.
void addVec(const float* src, float* dst, int n);
void mpyVec(const float* src, float* dst, int n);

// Four lanes, each keeping its value unless it is greater (maximum) or
// smaller (minimum) than the element, otherwise taking the element: equal
// elements give the later one, a NaN replaces its lane's value and the next
// element of the lane replaces the NaN. len >= 1.
float maxOf(const float* vec, int len);
float minOf(const float* vec, int len);
// dst[i] = sqrt(src[i]), four lanes at a time: one Newton step from the
// reciprocal-square-root estimate when all four lanes are normal positive
// numbers, else the exact root with negative and NaN lanes taken as 0.
// Returns whether a lane with its sign bit set was met. n >= 1.
bool sqrtLoop(const float* src, float* dst, int n);

// The conversion kernels (the contract is vector/cvrts_kernels.h). Float to
// integer under the SSE rounding mode of the flag, set for the call and
// restored: single elements up to a 32-byte aligned source, then eight per
// step (packed, non-temporal 8-byte stores), then single elements. An
// out-of-range element is written anyway (saturated, low-order bits or as
// converted, by type and part), and one report after the loop covers them
// all. The 64-bit libraries take the same results from SSE2 and AVX2
// (cvrts_wide.h).
template <typename T, bool Saturate, bool Report>
void floatToInt(const float* src, unsigned char* dst, int len, cvrt::Rounding mode);
// Eight per step (four for unsigned 32 bits) through MMX widening, under the
// caller's rounding mode; unsigned 32-bit values as their low 31 bits plus
// 2^31, rounded twice.
template <typename T>
void intToFloat(const unsigned char* src, float* dst, int len);

}  // namespace qel::sse

namespace qel::avx {

// The fill, add and multiply loops above in eight lanes, with their bits and
// store regimes: the 64-bit libraries take them where the processor has AVX
// and the reference switch is off (the SSE entries decide). Where it has
// AVX-512 F too, they run sixteen lanes wide, the same bits again.
void setBits(std::uint32_t bits, float* dst, int n);
void addConst(float value, float* dst, int n);
void mpyConst(float value, float* dst, int n);
void addVec(const float* src, float* dst, int n);
void mpyVec(const float* src, float* dst, int n);
// The integer conjugate extension (kernels/generic/conj_words.h), four
// elements a step in 256-bit vectors (conj_avx.cpp), the same moves.
void conjExtend(SComplex* vec, int n);
// The integer copy of the real parts (conj_words.h), eight a step in 256-bit
// vectors (conj_avx.cpp): only moves and shuffles, the same bits.
void realParts(const SComplex* src, float* dst, int n);

}  // namespace qel::avx
