# SPDX-License-Identifier: MIT
# Sources of the runtime frame, compiled into every variant.
set(ZV_RUNTIME_SOURCES
  runtime/context.cpp
  runtime/diagnostics.cpp
  runtime/lifecycle.cpp
  runtime/memory.cpp
  runtime/status.cpp)
