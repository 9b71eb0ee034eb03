// SPDX-License-Identifier: MIT
// What the unit suites need of the build they are linked with: its limits,
// the report lines where builds differ, and its kernels. The suites compile
// once for every build and ask this record at run time; unit_build.cpp, the
// one test file compiled with a build's variant.h, fills it.
#pragma once

#include <bit>
#include <cstdint>

#include "zentavol.h"

namespace zv::unit {

// The report line numbers of the check sites that differ between builds.
struct BuildLines {
    int qelcbConjExtend1;
    int qelsbFloatToIntElement;
    int qelsbSqrt2;
    int qelsbSqrt2Negative;
    int qelsMax;
    int qelsMin;
};

struct Build {
    const char* libraryName;  // "Zentavol<code>", as the traits of the black-box suites name it
    // FFT limits and tuning.
    int fftBlockOrder;
    int fftSuperblockLength;
    int fftScratchLength;
    int fftCombineChunk;
    bool fftHasDif;
    int difBlockOrder;
    BuildLines line;
    // The vector loops.
    void (*setBits)(std::uint32_t, float*, int);
    void (*addConst)(float, float*, int);
    void (*mpyConst)(float, float*, int);
    void (*addVec)(const float*, float*, int);
    void (*mpyVec)(const float*, float*, int);
    void (*conjExtend)(SComplex*, int);
    void (*realParts)(const SComplex*, float*, int);
    bool (*sqrtLoop)(const float*, float*, int);
    // The FFT kernels and table sizes.
    void (*realFftRecombine)(SComplex*, int, int, const SComplex*);
    void (*bitRevPermute)(SComplex*, int, const std::int32_t*);
    void (*bitRevCopyReal)(const SComplex*, SComplex*, int, const std::int32_t*);
    std::int64_t (*ditTableBytes)(int);
    // The DIF driver and its tables (fft/driver.h, fft/tables.h): null in a
    // build without a DIF kernel, which does not link them.
    void (*cFftDif)(SComplex*, int, int, const SComplex*);
    void (*cFftDifSplit)(SComplex*, int, int, const SComplex*, int, int, int);
    SComplex* (*getDifTwiddles)(int);
    void (*releaseDifTwiddles)(int);
};

const Build& build();

// The build's FFT block order and superblock, as the FFT suites use them.
inline const int kBlockOrder = build().fftBlockOrder;
inline const int kSuperblock = build().fftSuperblockLength;
inline const int kSuperblockOrder = std::countr_zero(static_cast<unsigned>(kSuperblock));

}  // namespace zv::unit
