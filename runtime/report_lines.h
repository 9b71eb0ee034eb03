// SPDX-License-Identifier: MIT
// The line numbers that reports carry, by check site. The numbers below are
// the same in every build; a build's own numbers (the arithmetic, the
// conjugate extension, the conversions' element reports, the square root and
// the extremes) are in its variants/<code>/variant.h, in this namespace too.
#pragma once

namespace qel::line {

inline constexpr int qelcFftTables = 485;    // order checks, table and scratch memory
inline constexpr int qelcFftSamps = 488;
inline constexpr int qelcFftDirection = 491;
inline constexpr int qelcFftOrdering = 492;
inline constexpr int qelsRealFftNipTables = 1594;  // order checks, table and scratch memory
inline constexpr int qelsRealFftNipPointers = 1597;
inline constexpr int qelsRealFftNipDirection = 1599;
inline constexpr int qelsbFloatToInt = 347;  // argument checks
inline constexpr int qelsbIntToFloat = 467;
inline constexpr int qelcbReal = 1144;
inline constexpr int qelcbMag = 1695;
inline constexpr int qelcbPowerSpectr = 1916;

}  // namespace qel::line
