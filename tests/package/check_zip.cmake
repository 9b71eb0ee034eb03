# SPDX-License-Identifier: MIT
# The Windows zip as a user takes it: CPack makes it, it is unpacked into a
# scratch folder, a small C application is compiled against its header and
# import library with the mingw compiler, put beside the DLLs and run there
# under Wine. It must compute a spectrum and name the variant it runs on.
# The x64 zip (SYSTEM win64) must also find the peak that the same
# application finds with the 64-bit Linux build in LINUX_BUILD.
#   cmake -DBUILD=... -DSCRATCH=... -DCC=... -DEMULATOR=... -DAPP=spectrum_app.c
#         -DSYSTEM=win32|win64 [-DLINUX_BUILD=...] -P check_zip.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}/unpacked")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

run(cpack -G ZIP -B "${SCRATCH}/packages" WORKING_DIRECTORY "${BUILD}")
file(GLOB zip "${SCRATCH}/packages/*-${SYSTEM}.zip")
list(LENGTH zip count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one zip, found: ${zip}")
endif()
run(${CMAKE_COMMAND} -E chdir "${SCRATCH}/unpacked" ${CMAKE_COMMAND} -E tar xf "${zip}")
file(GLOB top LIST_DIRECTORIES true "${SCRATCH}/unpacked/*")
foreach(needed LICENSE include/zentavol.h lib/libZentavol.dll.a bin/Zentavol.dll)
  if(NOT EXISTS "${top}/${needed}")
    message(FATAL_ERROR "the zip lacks ${needed}")
  endif()
endforeach()

# Built as a Windows user builds it: the header and the import library of
# the front DLL only.
run("${CC}" -std=c11 -Wall -Werror -O2 "${APP}" -I "${top}/include" -L "${top}/lib" -lZentavol
  -o "${top}/bin/spectrum_app.exe")
run(${CMAKE_COMMAND} -E chdir "${top}/bin" "${EMULATOR}" "${top}/bin/spectrum_app.exe")
string(REGEX MATCH "spectrum_app: variant ([a-z][0-9])" line "${out}")
if(NOT out MATCHES "spectrum_app: ok" OR NOT line)
  message(FATAL_ERROR "unexpected output:\n${out}")
endif()
message(STATUS "${line}")

if(SYSTEM STREQUAL "win64")
  if(NOT EXISTS "${LINUX_BUILD}/lib/libZentavol.so")
    message(FATAL_ERROR "no Linux build to compare with in ${LINUX_BUILD} (build the default preset)")
  endif()
  string(REGEX MATCH "spectrum_app: peak [0-9a-f]+ at bin [0-9]+" peak "${out}")
  run(cc -std=c11 -O2 "${APP}" -I "${top}/include" -L "${LINUX_BUILD}/lib" -lZentavol -lm
    "-Wl,-rpath,${LINUX_BUILD}/lib" -o "${SCRATCH}/spectrum_app_linux")
  run("${SCRATCH}/spectrum_app_linux")
  string(REGEX MATCH "spectrum_app: peak [0-9a-f]+ at bin [0-9]+" linux_peak "${out}")
  if(NOT peak OR NOT peak STREQUAL linux_peak)
    message(FATAL_ERROR "x64: '${peak}', Linux: '${linux_peak}'")
  endif()
  message(STATUS "${peak}, as on Linux")
endif()
