// SPDX-License-Identifier: MIT
// Random inputs and bitwise comparison for the FFT suites: the unit suites
// of every variant's core and the black-box suites over the shared
// libraries draw their signals from here.
#pragma once

#include <cstddef>
#include <cstring>
#include <random>
#include <vector>

#include "zentavol.h"

namespace zv::test {

// n complex values with both parts uniform in [-1, 1), reproducible by seed.
inline std::vector<SComplex> randomSignalOfLength(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
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
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    std::vector<float> x(std::size_t{1} << order);
    for (float& v : x) v = value(rng);
    return x;
}

// Same length and the same bits in every element (NaNs and signed zeros
// included, which == would not tell apart).
template <typename T>
bool sameBits(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

}  // namespace zv::test
