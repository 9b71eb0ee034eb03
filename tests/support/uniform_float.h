// SPDX-License-Identifier: MIT
// Floats uniform in [a, b) from a 32-bit engine: the values
// std::uniform_real_distribution<float>(a, b) draws with the GNU C++
// library, without the two long double logarithms it computes for every
// value, which clang does not fold. Those were the largest cost of making
// the long suites' signals under the sanitizers.
#pragma once

#include <cmath>

namespace zv::test {

class UniformFloat {
public:
    UniformFloat(float a, float b) : a_(a), b_(b) {}

    template <typename Engine>
    float operator()(Engine& rng) {
        static_assert(Engine::min() == 0 && Engine::max() == 0xFFFFFFFFu, "a 32-bit engine");
        // The draw rounded to a float, scaled by 2^-32 (exactly), kept below 1.
        float unit = static_cast<float>(rng()) * 0x1p-32f;
        if (unit >= 1.0f) unit = std::nextafter(1.0f, 0.0f);
        return unit * (b_ - a_) + a_;
    }

private:
    float a_;
    float b_;
};

}  // namespace zv::test
