# Shared sources of the FFT engine, compiled into every variant (the block
# kernels and bit-reversal moves are kernel files named in each variant's row).
set(ZV_FFT_SOURCES
  fft/bitrev_table.cpp
  fft/dif.cpp
  fft/dit.cpp
  fft/qelffts.cpp
  fft/twiddles.cpp)
