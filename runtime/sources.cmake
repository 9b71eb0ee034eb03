# SPDX-License-Identifier: MIT
# Sources of the runtime frame, compiled into every variant.
set(ZV_RUNTIME_SOURCES
  runtime/context.cpp
  runtime/diagnostics.cpp
  runtime/lifecycle.cpp
  runtime/memory.cpp
  runtime/status.cpp)
# The library's entry shim: DllMain, or the constructor and destructor.
if(WIN32)
  list(APPEND ZV_RUNTIME_SOURCES runtime/entry_win32.cpp)
else()
  list(APPEND ZV_RUNTIME_SOURCES runtime/entry_posix.cpp)
endif()
