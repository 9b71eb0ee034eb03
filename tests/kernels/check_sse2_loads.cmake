# SPDX-License-Identifier: MIT
# cmake -DOBJDUMP=... "-DOBJECTS=a.obj|b.obj" -P check_sse2_loads.cmake
# The SSE2 instructions of the SSE2 family's wide kernel objects (block kernels,
# real recombination) are 8-byte loads into vector registers and nothing
# else: every instruction naming an xmm register is an SSE one, or a
# movsd/movq from memory into the register (the scalar-double load, which one
# compiler encodes as movq).
cmake_minimum_required(VERSION 3.25)

set(sse_re "^(addps|addss|andnps|andps|cmp[a-z]*ps|cmp[a-z]*ss|comiss|cvtsi2ss|cvtss2si|cvttss2si|divps|divss|maxps|maxss|minps|minss|movaps|movhlps|movhps|movlhps|movlps|movmskps|movntps|movss|movups|mulps|mulss|orps|rcpps|rcpss|rsqrtps|rsqrtss|shufps|sqrtps|sqrtss|subps|subss|ucomiss|unpckhps|unpcklps|xorps)$")

string(REPLACE "|" ";" objects "${OBJECTS}")
set(errors "")
set(loads 0)
foreach(object IN LISTS objects)
  execute_process(COMMAND "${OBJDUMP}" -d --no-show-raw-insn -M intel "${object}"
    OUTPUT_VARIABLE text RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "objdump failed on ${object}")
  endif()
  string(REPLACE ";" "," text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "^ *[0-9a-f]+:\t([a-z0-9]+) +(.*)$")
      continue()
    endif()
    set(mnemonic "${CMAKE_MATCH_1}")
    set(operands "${CMAKE_MATCH_2}")
    if(NOT operands MATCHES "xmm[0-7]")
      continue()
    endif()
    if(mnemonic MATCHES "${sse_re}")
      continue()
    endif()
    if(mnemonic MATCHES "^(movsd|movq)$" AND operands MATCHES "^xmm[0-7],QWORD PTR ")
      math(EXPR loads "${loads} + 1")
      continue()
    endif()
    string(APPEND errors "  ${object}: ${mnemonic} ${operands}\n")
  endforeach()
endforeach()
if(errors)
  message(FATAL_ERROR "SSE2 beyond the 8-byte loads:\n${errors}")
endif()
if(loads EQUAL 0)
  message(FATAL_ERROR "no 8-byte SSE2 load found: the objects are not the SSE2 wide kernels")
endif()
message(STATUS "ok: ${loads} SSE2 8-byte loads, no other SSE2 instruction")
