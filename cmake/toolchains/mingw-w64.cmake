# SPDX-License-Identifier: MIT
# What the two Windows cross-builds share, included by each after it sets
# ZV_MINGW_TRIPLE, CMAKE_SYSTEM_PROCESSOR and ZV_MINGW_EMULATOR: Debian's
# mingw-w64 compilers of the POSIX thread model (the test programs need
# std::thread and std::mutex; the libraries themselves use no pthread, the
# variants' one lock is a Win32 critical section), the target's binutils, the
# target's root for find_*, and Wine to run what is built (ctest and test
# discovery go through CMAKE_CROSSCOMPILING_EMULATOR).
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${ZV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZV_MINGW_TRIPLE}-windres)
# The binutils of the target, named outright: the compilers' "-posix" suffix
# hides the prefix from CMake's own search.
foreach(_tool AR RANLIB NM OBJDUMP STRIP)
  string(TOLOWER ${_tool} _name)
  set(CMAKE_${_tool} ${ZV_MINGW_TRIPLE}-${_name} CACHE FILEPATH "${_name} of the target")
endforeach()

set(CMAKE_FIND_ROOT_PATH /usr/${ZV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/${ZV_MINGW_EMULATOR}")
