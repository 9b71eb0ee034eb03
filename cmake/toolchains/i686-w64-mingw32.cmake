# SPDX-License-Identifier: MIT
# Cross-build for 32-bit x86 Windows with Debian's mingw-w64 (package
# g++-mingw-w64-i686); programs run under Wine.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ZV_MINGW_TRIPLE i686-w64-mingw32)
set(ZV_MINGW_EMULATOR wine-run.sh)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake")
