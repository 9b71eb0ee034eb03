// SPDX-License-Identifier: MIT
// The record of the build this unit program links; compiled per program with
// that build's include path (the only test file that sees variant.h).
#include "tests/support/unit_build.h"

#include "fft/driver.h"
#include "fft/tables.h"
#include "variant.h"

namespace zv::unit {

namespace {

// The DIF functions exist only in a build with a DIF kernel: named in a
// discarded branch otherwise, so that no reference reaches the linker.
Build make() {
    namespace v = qel::variant;
    namespace l = qel::line;
    Build b{ZV_VARIANT_LIBRARY_NAME,
            v::kFftBlockOrder,
            v::kFftSuperblockLength,
            v::kFftScratchLength,
            v::kFftCombineChunk,
            v::kFftHasDif,
            v::kDifBlockOrder,
            {l::qelcbConjExtend1, l::qelsbFloatToIntElement, l::qelsbSqrt2, l::qelsbSqrt2Negative, l::qelsMax,
             l::qelsMin},
            v::setBits,
            v::addConst,
            v::mpyConst,
            v::addVec,
            v::mpyVec,
            v::conjExtend,
            v::realParts,
            v::sqrtLoop,
            v::realFftRecombine,
            v::bitRevPermute,
            v::bitRevCopyReal,
            v::ditTableBytes,
            nullptr,
            nullptr,
            nullptr,
            nullptr};
    if constexpr (v::kFftHasDif) {
        b.cFftDif = qel::fft::cFftDif;
        b.cFftDifSplit = qel::fft::cFftDifSplit;
        b.getDifTwiddles = qel::fft::getDifTwiddles;
        b.releaseDifTwiddles = qel::fft::releaseDifTwiddles;
    }
    return b;
}

}  // namespace

const Build& build() {
    static const Build b = make();
    return b;
}

}  // namespace zv::unit
