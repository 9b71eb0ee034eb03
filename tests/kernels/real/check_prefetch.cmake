# cmake -DOBJDUMP=... -DOBJECT=a.obj -DPREFETCH=ON|OFF -P check_prefetch.cmake
# S1's recombination prefetches (prefetcht0 for the data, prefetchnta for
# the twiddles) and S2's does not; a compiler may drop prefetches silently.
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND "${OBJDUMP}" -d --no-show-raw-insn "${OBJECT}"
  OUTPUT_VARIABLE text RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${OBJECT}")
endif()
string(REGEX MATCHALL "prefetcht0" t0 "${text}")
string(REGEX MATCHALL "prefetchnta" nta "${text}")
list(LENGTH t0 t0)
list(LENGTH nta nta)
if(PREFETCH AND (t0 EQUAL 0 OR nta EQUAL 0))
  message(FATAL_ERROR "prefetches missing: ${t0} prefetcht0, ${nta} prefetchnta")
elseif(NOT PREFETCH AND (t0 GREATER 0 OR nta GREATER 0))
  message(FATAL_ERROR "unexpected prefetches: ${t0} prefetcht0, ${nta} prefetchnta")
endif()
message(STATUS "ok: ${t0} prefetcht0, ${nta} prefetchnta")
