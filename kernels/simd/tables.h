// SPDX-License-Identifier: MIT
// Sizes of the streaming-SIMD family's tables: the
// DIT table keeps the block size of the generic layout's rule for orders 0
// and 1, and 8n + 32 bytes from n = 4 on, room for every stage-vector
// section up to n with the sections' 32-byte alignment.
#pragma once

#include <cstdint>

namespace qel::simd {

constexpr std::int64_t ditTableBytes(int order) {
    const std::int64_t n = std::int64_t{1} << order;
    return n >= 4 ? 8 * n + 32 : (n / 4 + 1) * 24;
}

}  // namespace qel::simd
