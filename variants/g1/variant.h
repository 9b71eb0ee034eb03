// ZentavolG1, the generic build: x87 arithmetic only, the reference for
// behaviour. Shared code reaches this build's kernels and limits through
// qel::variant.
#pragma once

#include "vector/arith_loops.h"

namespace qel::variant {

inline constexpr const char* kName = "Zentavolg1";

// Line numbers of the checks whose numbers differ between builds.
namespace line {
inline constexpr int qelsbSet = 232;
inline constexpr int qelsbAdd1 = 363;
inline constexpr int qelsbAdd2 = 372;
inline constexpr int qelsbMpy1 = 419;
inline constexpr int qelsbMpy2 = 428;
}  // namespace line

using g1::addConst;
using g1::addVec;
using g1::mpyConst;
using g1::mpyVec;
using g1::setBits;

}  // namespace qel::variant
