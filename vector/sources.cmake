# SPDX-License-Identifier: MIT
# Shared sources of the vector functions, compiled into every variant (the
# per-build loops are kernel files named in each variant's row).
set(ZV_VECTOR_SOURCES
  vector/qelarith.cpp
  vector/qelcvrts.cpp
  vector/qelvec.cpp
  vector/power_wide.cpp
  vector/wide_paths.cpp
  vector/magnitude_wide.cpp)
