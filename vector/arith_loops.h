// The loops behind qelsbSet, qelsbAdd1/2 and qelsbMpy1/2, one namespace per
// loop family. A variant picks its family in its variant.h. Every family
// writes the same values; they differ in order of visits and instructions.
#pragma once

#include <cstdint>

namespace qel::g1 {
// One element per step, last element first; x87 arithmetic.
void setBits(std::uint32_t bits, float* dst, int n);
void addConst(float value, float* dst, int n);
void mpyConst(float value, float* dst, int n);
void addVec(const float* src, float* dst, int n);
void mpyVec(const float* src, float* dst, int n);
}  // namespace qel::g1
