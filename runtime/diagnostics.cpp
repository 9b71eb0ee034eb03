// SPDX-License-Identifier: MIT
// The reference-path switch.
#include "runtime/diagnostics.h"

#include <cstdint>

#include "platform/fp_env.h"
#include "platform/platform.h"
#include "runtime/processor.h"

namespace qel {

namespace {
bool referenceOnly = false;
VectorUnits units;
bool avx512LoopsUnwanted = false;  // tests only
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
bool avx512Loops() { return units.avx512 && !avx512LoopsUnwanted; }
bool useAvx512Loops(bool wanted) {
    avx512LoopsUnwanted = !wanted;
    return avx512Loops();
}
int doubleCombineWidth() { return doubleCombineWidthFor(units); }

bool wideBlockKernels() { return wideBlockKernelsFor(units, referenceOnly); }

#if QEL_WIDE_PATHS
bool defaultFloatModes() {
    // x87: the six exception masks, precision 64 bits, rounding to nearest.
    // SSE: the six masks and nothing else above the status flags: rounding
    // to nearest, neither flush to zero nor denormals as zero.
    constexpr std::uint16_t kX87Fields = fp::kX87ExceptionMasks | fp::kX87PrecisionField | fp::kX87RoundingField;
    constexpr std::uint16_t kX87Default = fp::kX87ExceptionMasks | fp::kX87Precision64 | fp::kX87RoundNearest;
    constexpr unsigned kSseFields = fp::kSseFlushToZero | fp::kSseRoundingField | fp::kSseExceptionMasks |
                                    fp::kSseDenormalsAreZero;
    constexpr unsigned kSseDefault = fp::kSseExceptionMasks | fp::kSseRoundNearest;
    return (fp::x87ControlWord() & kX87Fields) == kX87Default && (fp::sseControl() & kSseFields) == kSseDefault;
}
#endif

}  // namespace qel
