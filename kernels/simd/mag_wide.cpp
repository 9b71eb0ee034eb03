// SPDX-License-Identifier: MIT
// The streaming-SIMD family's magnitude blocks in AVX2 for the 64-bit
// libraries. Empty where the wide paths do not exist.
#include "kernels/simd/mag_wide.h"

#include "runtime/diagnostics.h"

#if QEL_WIDE_PATHS

#include <immintrin.h>

#include "kernels/simd/roots_sse.h"
#include "vector/power_doubles.h"
#include "vector/power_x87.h"

namespace qel::sse::wide {

namespace {

// Why these are the bits of the two passes, the power spectrum into a block
// and sqrtLoop from it to the outputs.
//
// Powers: eight elements per step, as the shared AVX2 power spectrum takes
// them. A step whose eight double sums all pass the filter of
// power_doubles.h has the x87 unit's floats as their cvtpd2ps; any other
// step takes the x87 unit's powers for all eight.
// Roots: sqrtLoop groups a block's elements by four from its start, and a
// step's elements 0-3 and 4-7 are two such groups. The float of a sum that
// passes the filter is a positive normal number no larger than FLT_MAX, so
// both groups take roots4's estimate branch; here its operations (rsqrtps,
// mulps, subps on the same operands in the same order) run on 256-bit
// registers, lane for lane the four-lane results as long as the 256-bit
// estimate instruction gives each lane the 128-bit one's estimate (it does
// on the processors of one maker; a test compares them on every float
// significand). The steps with x87 powers call roots4 group by group.
// Order: the sums come out as elements 0, 2, 1, 3 in each 128-bit half;
// each root depends on its own lane only, so the roots are put in order
// after they are taken, and the halves are the groups either way.
// Report: only roots4 meets powers with their sign bit set (the estimate
// branch sees positive numbers), and it gathers them as in sqrtLoop.
// Stores: through the cache, as sqrtLoop's in the 64-bit libraries.

#define QEL_AVX2 __attribute__((target("avx2")))

QEL_AVX2 inline __m256 broadcast(const Lanes& l) { return _mm256_broadcast_ps(reinterpret_cast<const __m128*>(l.v)); }

// roots4's estimate branch on eight lanes.
QEL_AVX2 inline __m256 estimatedRoots(__m256 x) {
    const __m256 r = _mm256_rsqrt_ps(x);
    const __m256 xr = _mm256_mul_ps(x, r);
    const __m256 step = _mm256_sub_ps(broadcast(kThree), _mm256_mul_ps(xr, r));
    return _mm256_mul_ps(_mm256_mul_ps(broadcast(kHalf), xr), step);
}

namespace power = qel::wide::power;

QEL_AVX2 int block(const SComplex* src, float* mag) {
    const float* in = &src->re;
    int negative = 0;
    for (int i = 0; i < kMagnitudeBlock; i += 8) {
        const __m256d low = power::sumsOfPairs(in + 2 * i);       // elements 0, 2, 1, 3
        const __m256d high = power::sumsOfPairs(in + 2 * i + 8);  // 4, 6, 5, 7
        if (power::unsafe(low, high) != 0) {
            Lanes p[2];
            for (int k = 0; k < 4; ++k) {
                p[0].v[k] = powerX87(src[i + k]);
                p[1].v[k] = powerX87(src[i + 4 + k]);
            }
            _mm_storeu_ps(mag + i, roots4(_mm_load_ps(p[0].v), negative));
            _mm_storeu_ps(mag + i + 4, roots4(_mm_load_ps(p[1].v), negative));
            continue;
        }
        const __m256 x = _mm256_set_m128(_mm256_cvtpd_ps(high), _mm256_cvtpd_ps(low));
        _mm256_storeu_ps(mag + i, _mm256_permute_ps(estimatedRoots(x), _MM_SHUFFLE(3, 1, 2, 0)));
    }
    return negative;
}

}  // namespace

bool magnitudeBlock(const SComplex* src, float* mag) { return block(src, mag) != 0; }

}  // namespace qel::sse::wide

#endif
