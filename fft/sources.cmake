# SPDX-License-Identifier: MIT
# Shared sources of the FFT engine, compiled into every variant. A build's
# rows name its kernels, its table fills and the DIF driver (fft/dif.cpp)
# when it has a DIF kernel.
set(ZV_FFT_SOURCES
  fft/bitrev_table.cpp
  fft/combine_doubles.cpp
  fft/dit.cpp
  fft/qelffts.cpp
  fft/twiddles.cpp)
