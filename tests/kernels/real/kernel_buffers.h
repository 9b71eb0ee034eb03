// SPDX-License-Identifier: MIT
// Buffers for the kernel tests: SComplex arrays at a chosen distance from a
// 32-byte boundary with guard words on both sides, bit patterns of floats,
// and the real twiddle tables of both layouts.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "fft/tables.h"
#include "kernels/simd/real_recombine.h"
#include "tests/support/float_bits.h"
#include "zentavol.h"

namespace zv::test {

inline constexpr std::uint32_t kGuard = 0x7fa5a5a5u;  // a signalling NaN

// count SComplex values starting `offset` bytes (a multiple of 4) past a
// 32-byte boundary, with 8 guard words before and after.
class Placed {
public:
    Placed(std::size_t count, int offset)
        : count_(count),
          block_(static_cast<float*>(qelMalloc(static_cast<int>((2 * count + 32) * 4 + 32)))),
          data_(reinterpret_cast<SComplex*>(block_ + 8 + offset / 4)) {
        for (std::size_t i = 0; i < 2 * count_ + 32; ++i) block_[i] = fromBits(kGuard);
    }
    ~Placed() { qelFree(block_); }
    Placed(const Placed&) = delete;
    Placed& operator=(const Placed&) = delete;

    SComplex* data() { return data_; }
    SComplex& operator[](std::size_t i) { return data_[i]; }
    void assign(const std::vector<SComplex>& v) { std::memcpy(data_, v.data(), v.size() * 8); }
    std::vector<SComplex> values() const { return {data_, data_ + count_}; }
    // The guard words before data[0] and after data[count-1] are intact.
    bool guardsIntact() const {
        const float* first = &data_->re;
        for (const float* g = first - 8; g < first; ++g)
            if (bitsOf(*g) != kGuard) return false;
        for (const float* g = first + 2 * count_; g < first + 2 * count_ + 8; ++g)
            if (bitsOf(*g) != kGuard) return false;
        return true;
    }

private:
    std::size_t count_;
    float* block_;
    SComplex* data_;
};

// Random 32-bit patterns: every kind of float, signalling NaNs among them.
inline std::vector<SComplex> randomBits(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<SComplex> v(n);
    for (SComplex& x : v) x = {fromBits(rng()), fromBits(rng())};
    return v;
}

inline bool isSignalling(std::uint32_t b) {
    return (b & 0x7f800000u) == 0x7f800000u && (b & 0x007fffffu) != 0 && (b & 0x00400000u) == 0;
}

// What a float becomes after an x87 load and store: a signalling NaN quiet.
inline float quieted(float f) {
    const std::uint32_t b = bitsOf(f);
    return isSignalling(b) ? fromBits(b | 0x00400000u) : f;
}

// The paired-vector table of the order, 32-byte aligned.
class PairedTable {
public:
    explicit PairedTable(int order)
        : table_(static_cast<SComplex*>(qelMalloc((order <= 3 ? 2 : 1 << (order - 2)) * 8))) {
        float* s = qel::fft::makeQuarterSine(order);
        qel::simd::fillRealTwiddles(table_, s, order);
        qelFree(s);
    }
    ~PairedTable() { qelFree(table_); }
    PairedTable(const PairedTable&) = delete;
    PairedTable& operator=(const PairedTable&) = delete;
    const SComplex* get() const { return table_; }

private:
    SComplex* table_;
};

}  // namespace zv::test
