# SPDX-License-Identifier: MIT
# cmake -DOBJDUMP=... -DOBJECT=a.obj "-DEXPECT=prefetcht0;prefetchnta" -P check_prefetch.cmake
# The object issues every prefetch kind in EXPECT and no other kind: the
# builds differ in their prefetches, and a compiler may drop one silently.
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND "${OBJDUMP}" -d --no-show-raw-insn "${OBJECT}"
  OUTPUT_VARIABLE text RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR text STREQUAL "")
  message(FATAL_ERROR "objdump failed on '${OBJECT}'")
endif()
set(report "")
set(wrong "")
foreach(kind prefetcht0 prefetcht1 prefetcht2 prefetchnta prefetchw)
  string(REGEX MATCHALL "${kind}[ \t]" hits "${text}")
  list(LENGTH hits count)
  string(APPEND report " ${count} ${kind}")
  list(FIND EXPECT ${kind} wanted)
  if((wanted EQUAL -1 AND count GREATER 0) OR (wanted GREATER -1 AND count EQUAL 0))
    list(APPEND wrong ${kind})
  endif()
endforeach()
if(wrong)
  message(FATAL_ERROR "expected only ${EXPECT}; wrong count of ${wrong}:${report}")
endif()
message(STATUS "ok:${report}")
