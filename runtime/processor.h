// SPDX-License-Identifier: MIT
// What the processor offers the 64-bit libraries' 256-bit kernels, and the
// one rule that picks them; header-only, so that zentavol-which, which links
// no variant, applies the same rule to the same probe.
#pragma once

#include "runtime/diagnostics.h"

#if QEL_WIDE_PATHS
#include <cpuid.h>
#endif

namespace qel {

struct VectorUnits {
    bool avx = false;     // AVX, and the system saves the 256-bit registers
    bool avx2 = false;    // and AVX2 as well
    bool avx512 = false;  // and AVX-512 F, the system saving its mask and 512-bit registers
};

inline VectorUnits probeVectorUnits() {
    VectorUnits units;
#if QEL_WIDE_PATHS
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) && (c & bit_OSXSAVE) != 0 && (c & bit_AVX) != 0) {
        unsigned lo = 0, hi = 0;
        asm volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
        // XCR0 bits 1 and 2: the system saves the SSE and the AVX state;
        // bits 5 to 7 the AVX-512 mask registers and the 512-bit ones.
        if ((lo & 6u) == 6u) {
            units.avx = true;
            if (__get_cpuid_count(7, 0, &a, &b, &c, &d)) {
                units.avx2 = (b & bit_AVX2) != 0;
                units.avx512 = units.avx2 && (b & bit_AVX512F) != 0 && (lo & 0xE0u) == 0xE0u;
            }
        }
    }
#endif
    return units;
}

// The value of ZENTAVOL_REFERENCE_PATHS (its first two characters, when
// set) switches the reference paths on unless it is "0".
inline bool referenceSwitchValue(bool set, const char* value) {
    return set && !(value[0] == '0' && value[1] == '\0');
}

// The butterflies the 64-bit libraries' combining stages take at a time in
// double precision: 8 with AVX-512 F, 4 with AVX2, else 0, the x87 loop
// (which a call also takes under the reference switch or floating-point
// modes other than the default).
inline int doubleCombineWidthFor(const VectorUnits& units) {
    if (!kWidePaths) return 0;
    return units.avx512 ? 8 : units.avx2 ? 4 : 0;
}

// The streaming builds' block kernels and real recombination take their
// 256-bit forms on x86-64 with AVX, unless the reference switch is on.
inline bool wideBlockKernelsFor(const VectorUnits& units, bool referenceSwitch) {
    return kWidePaths && units.avx && !referenceSwitch;
}

}  // namespace qel
