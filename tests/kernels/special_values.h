// SPDX-License-Identifier: MIT
// Data full of the values that show what a kernel does beyond arithmetic,
// for the kernel tests that compare two implementations bit for bit.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <random>
#include <vector>

#include "tests/support/uniform_float.h"
#include "zentavol.h"

namespace zv::test {

// n values whose floats are, one in `every`, a special one: quiet and
// signalling NaNs of both signs with payloads, infinities, zeros of both
// signs, subnormals, the largest float; the others random over 2^-20..2^20.
// NaNs meeting NaNs show the operand order of every sum, the moves show in
// payloads and signalling bits.
inline std::vector<SComplex> specialSignal(std::size_t n, unsigned seed, unsigned every) {
    static constexpr std::uint32_t kSpecials[] = {0x7FC00000u, 0xFFC00000u, 0x7FC12345u, 0xFFD54321u, 0x7F800001u,
                                                  0xFFA00007u, 0x7F800000u, 0xFF800000u, 0x00000000u, 0x80000000u,
                                                  0x00000001u, 0x807FFFFFu, 0x00400000u, 0x7F7FFFFFu};
    std::mt19937 rng(seed);
    zv::test::UniformFloat value(-1.0f, 1.0f);
    std::uniform_int_distribution<int> exponent(-20, 20);
    std::vector<SComplex> x(n);
    float* f = &x.data()->re;
    for (std::size_t i = 0; i < 2 * n; ++i) {
        if (rng() % every == 0) {
            std::memcpy(f + i, &kSpecials[rng() % std::size(kSpecials)], 4);
        } else {
            f[i] = std::ldexp(value(rng), exponent(rng));
        }
    }
    return x;
}

}  // namespace zv::test
