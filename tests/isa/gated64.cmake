# SPDX-License-Identifier: MIT
# The functions of the 64-bit libraries that may use instructions beyond the
# x86-64 baseline, as regular expressions over their demangled names: each
# runs only after a run-time check has found what it uses.
#  - the FFTs' combining stages in AVX2 doubles and their twiddles, chosen
#    when CPUID reports AVX2 and XGETBV that the system saves the AVX
#    registers, and in AVX-512 doubles, when CPUID reports AVX-512 F as well
#    and XGETBV that the system saves the mask and 512-bit registers too;
#  - the power spectrum of the magnitudes and the conversions of the
#    streaming builds in AVX2, the magnitudes outside the blocks (every
#    build) and the streaming builds' one-pass blocks, chosen by the same
#    check;
#  - the streaming builds' 256-bit block kernels, real recombination,
#    bit-reversal moves, fill, add and multiply loops, conjugate extension
#    and real parts (namespace qel::avx, and the block kernel's body
#    instantiated on its policy), chosen when CPUID and XGETBV report AVX,
#    the fill, add and multiply loops' 512-bit forms when they report
#    AVX-512 F and its registers as well;
#  - the checks themselves, which read XGETBV only after CPUID reports
#    OSXSAVE.
set(zv_gated64
  "^([a-z]+ )?qel::avx::"
  "^([a-z]+ )?qel::simd::[A-Za-z]+<qel::avx::"
  "^qel::probeProcessor[(]"
  "qel::fft::.*::(quads|eights|prepare|prepare512)<"
  "qel::wide::.*::powerSpectrumAvx2[(]"
  "qel::wide::.*::magnitudesAvx2[(]"
  "qel::sse::wide::.*::block[(]"
  "qel::sse::wide::.*::(float|int)KernelAvx2<"
  "qel::fft::chooseDoubleKernels[(]"
  "qel::fft::useDoubleKernels[(]")
