// SPDX-License-Identifier: MIT
// Random inputs and bitwise comparison for the FFT suites: the unit suites
// of every variant's core and the black-box suites over the shared
// libraries draw their signals from here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <cstring>
#include <random>
#include <vector>

#include "tests/support/uniform_float.h"
#include "zentavol.h"

namespace zv::test {

// n complex values with both parts uniform in [-1, 1), reproducible by seed.
inline std::vector<SComplex> randomSignalOfLength(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    zv::test::UniformFloat value(-1.0f, 1.0f);
    std::vector<SComplex> x(n);
    for (SComplex& v : x) v = {value(rng), value(rng)};
    return x;
}

// 2^order complex values, as above.
inline std::vector<SComplex> randomSignal(int order, unsigned seed) {
    return randomSignalOfLength(std::size_t{1} << order, seed);
}

// 2^order real samples uniform in [-1, 1), reproducible by seed.
inline std::vector<float> randomSamples(int order, unsigned seed) {
    std::mt19937 rng(seed);
    zv::test::UniformFloat value(-1.0f, 1.0f);
    std::vector<float> x(std::size_t{1} << order);
    for (float& v : x) v = value(rng);
    return x;
}

// `count` of the floats of `values` (at random places, reproducible by seed)
// replaced by infinities and quiet NaNs of both signs. Infinities of
// opposite signs meet inside a transform and make default NaNs (sign bit
// set), which then meet the positive ones: which NaN a sum keeps is decided
// by the order of its operands, so these data test that order.
template <typename T>
void sprinkleNonFinite(std::vector<T>& values, std::size_t count, unsigned seed) {
    constexpr std::uint32_t kSpecials[] = {0x7F800000u, 0xFF800000u, 0x7FC00000u, 0xFFC00000u, 0x7FC12345u};
    const std::size_t floats = values.size() * sizeof(T) / sizeof(float);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<std::size_t> place(0, floats - 1);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t bits = kSpecials[i % std::size(kSpecials)];
        std::memcpy(reinterpret_cast<unsigned char*>(values.data()) + place(rng) * sizeof(float), &bits,
                    sizeof bits);
    }
}

// Same length and the same bits in every element (NaNs and signed zeros
// included, which == would not tell apart).
template <typename T>
bool sameBits(const std::vector<T>& a, const std::vector<T>& b) {
    // Empty vectors may hold null pointers, which memcmp must not be given.
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

}  // namespace zv::test
