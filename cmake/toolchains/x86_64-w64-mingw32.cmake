# SPDX-License-Identifier: MIT
# Cross-build for 64-bit x86 Windows (x64) with Debian's mingw-w64 (package
# g++-mingw-w64-x86-64); programs run under 64-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(ZV_MINGW_TRIPLE x86_64-w64-mingw32)
set(ZV_MINGW_EMULATOR wine64-run.sh)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake")
