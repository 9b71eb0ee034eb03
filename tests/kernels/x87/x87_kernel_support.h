// SPDX-License-Identifier: MIT
// Helpers of the x87 kernel tests: the generic tables of an order (from the
// generic core, the layout these builds share), the tolerance of a block
// kernel, and transforms through a kernel or the generic build's.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fft/tables.h"
#include "tests/support/reference_fft.h"
#include "zentavol.h"

namespace zv::test {

// Each of the log2(n) butterfly levels rounds every value once or twice to
// float (and every twiddle is a rounded float), so the relative RMS error of
// a block stays below about one float epsilon per level; the errors of the
// levels add in quadrature, so the bound is loose by a wide margin.
inline double blockTolerance(int order) { return 0x1p-24 * (1 + order); }

using DitKernel = void (*)(SComplex*, int, const SComplex*);

inline std::vector<SComplex> ditBlock(DitKernel kernel, std::vector<SComplex> x, int order) {
    kernel(x.data(), static_cast<int>(x.size()), qel::fft::getDitTwiddles(order));
    return x;
}

using DifKernel = void (*)(SComplex*, int, int, const SComplex*);

inline std::vector<SComplex> difBlock(DifKernel kernel, std::vector<SComplex> x, int order, int direction) {
    kernel(x.data(), static_cast<int>(x.size()), direction, qel::fft::getDifTwiddles(order));
    return x;
}

// The reference spectrum (sign -1 forward, +1 inverse), unscaled.
inline std::vector<Cd> spectrum(const std::vector<SComplex>& x, int sign) { return referenceDft(toDouble(x), sign); }

// The same bits, except that a zero may carry either sign.
inline bool sameValues(const std::vector<SComplex>& got, const std::vector<SComplex>& want) {
    auto same = [](float g, float w) {
        return w == 0.0f ? g == 0.0f : std::bit_cast<std::uint32_t>(g) == std::bit_cast<std::uint32_t>(w);
    };
    if (got.size() != want.size()) return false;
    for (std::size_t i = 0; i < want.size(); ++i)
        if (!same(got[i].re, want[i].re) || !same(got[i].im, want[i].im)) return false;
    return true;
}

}  // namespace zv::test
