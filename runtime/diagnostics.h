// SPDX-License-Identifier: MIT
// The process-wide diagnostic switch of the accelerated paths. Set from the
// environment variable ZENTAVOL_REFERENCE_PATHS (anything but "" or "0")
// once, at process attach, before any thread can call into the library: so
// it is a plain flag, read without a lock. While it is on, every accelerated
// piece takes its reference path, whose results the accelerated one
// reproduces bit for bit.
#pragma once

// The accelerated paths exist in the 64-bit libraries only: x86-64 has SSE2
// in every processor, while the 32-bit libraries keep the instruction sets
// of their builds. This one test chooses them; code reaches them under
// `if constexpr (qel::kWidePaths)` or `#if QEL_WIDE_PATHS` for whole files.
#if defined(__x86_64__)
#define QEL_WIDE_PATHS 1
#else
#define QEL_WIDE_PATHS 0
#endif

namespace qel {

inline constexpr bool kWidePaths = QEL_WIDE_PATHS != 0;

// True when the x87 control word asks for 64-bit precision and rounding to
// nearest with every exception masked, and the SSE control register for
// rounding to nearest, every exception masked, no flush to zero and no
// denormals taken as zero: the modes the accelerated paths' proofs assume.
// A call made under other modes takes the reference paths. Defined where
// QEL_WIDE_PATHS is 1.
bool defaultFloatModes();

bool referencePaths();
// For tests, which compare the two paths within one process.
void setReferencePaths(bool on);
// Reads the environment variable; called at process attach.
void readReferenceSwitch();

// The processor's AVX and AVX2 (with the system's support), probed by
// probeProcessor (runtime/processor.h) at process attach; false on 32-bit
// x86. Its AVX-512 F shows in avx512Loops and doubleCombineWidth.
void probeProcessor();
bool hasAvx();
bool hasAvx2();
// The streaming builds' fill, add and multiply loops sixteen lanes wide:
// AVX-512 F present, unless a test has asked for the eight-lane ones
// (useAvx512Loops, which returns avx512Loops()).
bool avx512Loops();
bool useAvx512Loops(bool wanted);
// doubleCombineWidthFor of this processor.
int doubleCombineWidth();

// The 256-bit block kernels and real recombination of the streaming builds:
// AVX present and the reference switch off (wideBlockKernelsFor).
bool wideBlockKernels();

}  // namespace qel
