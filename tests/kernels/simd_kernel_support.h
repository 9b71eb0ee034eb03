// SPDX-License-Identifier: MIT
// Helpers of the SIMD kernel tests: the quarter sine table computed here
// (not the library's), aligned blocks with guard space, and the two kernel
// families side by side.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "kernels/simd/dit_block.h"

namespace zv::test {

// S[k] = sin(2*pi*k/n), k = 0..n/4, from the sine up to n/8 and the cosine
// of the complementary angle above, each in extended precision.
inline std::vector<float> quarterSine(int order) {
    const std::int32_t n = std::int32_t{1} << order;
    const std::int32_t q = n / 4;
    const double step = 6.283185307179586 / n;
    std::vector<float> s(static_cast<std::size_t>(q) + 1);
    for (std::int32_t k = 0; k <= q; ++k)
        s[static_cast<std::size_t>(k)] =
            k <= n / 8 ? static_cast<float>(std::sin(static_cast<long double>(k) * step))
                       : static_cast<float>(std::cos(static_cast<long double>(q - k) * step));
    return s;
}

// `count` SComplex values at a chosen byte offset from a 32-byte boundary,
// with guard values on either side that a test can check.
class Placed {
public:
    Placed(std::size_t count, std::size_t offsetBytes)
        : count_(count), storage_((count + 32) * sizeof(SComplex) + 64, kGuard) {
        const auto base = reinterpret_cast<std::uintptr_t>(storage_.data());
        start_ = ((base + 64 + 31) & ~std::uintptr_t{31}) - base + offsetBytes;
    }
    // Movable (the storage keeps its address), not copyable.
    Placed(Placed&&) = default;
    Placed(const Placed&) = delete;
    Placed& operator=(const Placed&) = delete;
    SComplex* data() { return reinterpret_cast<SComplex*>(storage_.data() + start_); }
    void set(const std::vector<SComplex>& values) {
        std::copy(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(count_), data());
    }
    std::vector<SComplex> get() const {
        const SComplex* begin = reinterpret_cast<const SComplex*>(storage_.data() + start_);
        return std::vector<SComplex>(begin, begin + count_);
    }
    // The guard bytes before and after the values are untouched.
    bool guardsIntact() const {
        const unsigned char* begin = storage_.data() + start_;
        const unsigned char* end = begin + count_ * sizeof(SComplex);
        for (const unsigned char* p = storage_.data(); p != begin; ++p)
            if (*p != kGuard) return false;
        for (const unsigned char* p = end; p != storage_.data() + storage_.size(); ++p)
            if (*p != kGuard) return false;
        return true;
    }

private:
    static constexpr unsigned char kGuard = 0xA5;
    std::size_t count_;
    std::vector<unsigned char> storage_;
    std::size_t start_;
};

// The stage-vector table of an order in its 8n+32-byte block.
inline Placed ditTable(int order) {
    const std::size_t n = std::size_t{1} << order;
    Placed table(n + 4, 0);
    const std::vector<float> s = quarterSine(order);
    qel::simd::fillDitTwiddles(table.data(), s.data(), order);
    return table;
}

using BlockKernel = void (*)(SComplex*, int, const SComplex*, SComplex*);

struct Family {
    const char* name;
    int limit;
    BlockKernel forward;
    BlockKernel inverse;
};

inline const Family kSse2 = {"sse2", qel::sse2::kDitBlockLimit, qel::sse2::cFftDitBlockFwd,
                             qel::sse2::cFftDitBlockInv};
inline const Family kSse = {"sse", qel::sse::kDitBlockLimit, qel::sse::cFftDitBlockFwd,
                            qel::sse::cFftDitBlockInv};

#if ZV_TEST_AVX_KERNELS
// The 256-bit kernels, from 32 points on.
inline const Family kAvx = {"avx", qel::sse2::kDitBlockLimit, qel::avx::cFftDitBlockFwd, qel::avx::cFftDitBlockInv};
#endif

}  // namespace zv::test
