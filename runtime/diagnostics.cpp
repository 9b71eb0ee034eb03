// SPDX-License-Identifier: MIT
// The reference-path switch. Linked by every variant.
#include "runtime/diagnostics.h"

#include <cstdint>

#include "platform/platform.h"
#include "runtime/processor.h"

#if QEL_WIDE_PATHS
#include <xmmintrin.h>
#endif

namespace qel {

namespace {
bool referenceOnly = false;
VectorUnits units;
}  // namespace

bool referencePaths() { return referenceOnly; }

void setReferencePaths(bool on) { referenceOnly = on; }

void readReferenceSwitch() {
    // The first two characters tell "0" from every other non-empty value.
    char value[3];
    const bool set = platform::getEnvironmentVariable("ZENTAVOL_REFERENCE_PATHS", value, sizeof value);
    referenceOnly = referenceSwitchValue(set, value);
}

void probeProcessor() { units = probeVectorUnits(); }

bool hasAvx() { return units.avx; }
bool hasAvx2() { return units.avx2; }

bool wideBlockKernels() { return wideBlockKernelsFor(units, referenceOnly); }

#if QEL_WIDE_PATHS
bool defaultFloatModes() {
    std::uint16_t control = 0;
    asm volatile("fnstcw %0" : "=m"(control));
    // x87: the six exception masks, precision 64 bits (3 << 8), rounding to
    // nearest (0 << 10). SSE: the six masks (0x1F80) and nothing else above
    // the status flags: rounding to nearest, no FTZ (bit 15), no DAZ (bit 6).
    return (control & 0x0F3F) == 0x033F && (_mm_getcsr() & 0xFFC0u) == 0x1F80u;
}
#endif

}  // namespace qel
