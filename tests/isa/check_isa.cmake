# SPDX-License-Identifier: MIT
# cmake -DOBJDUMP=... "-DOBJECTS=a.obj|b.obj" "-DALLOWED=i386;x87"
#       ["-DINTEGER_FUNCTIONS=qelsbSet;..."] -P check_isa.cmake
# Disassembles 32-bit x86 object files and fails on any instruction outside
# the ALLOWED instruction sets, and on any floating-point or vector
# instruction in the body of an INTEGER_FUNCTIONS function. An instruction
# that no table below knows fails too, so a new one is classified on purpose.

cmake_minimum_required(VERSION 3.25)
include("${CMAKE_CURRENT_LIST_DIR}/isa_sets.cmake")

string(REPLACE "|" ";" objects "${OBJECTS}")
set(integer_functions ${INTEGER_FUNCTIONS})
set(errors "")
set(instructions 0)
foreach(object IN LISTS objects)
  execute_process(COMMAND "${OBJDUMP}" -d --no-show-raw-insn -M intel "${object}"
    OUTPUT_VARIABLE text RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "objdump failed on ${object}: ${err}")
  endif()
  # One list element per line; brackets and semicolons would confuse lists.
  string(REPLACE ";" "," text "${text}")
  string(REPLACE "[" "(" text "${text}")
  string(REPLACE "]" ")" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  get_filename_component(short "${object}" NAME)
  set(function "?")
  set(integer_only OFF)
  foreach(line IN LISTS lines)
    if(line MATCHES "^[0-9a-f]+ <([^>]+)>:")
      set(function "${CMAKE_MATCH_1}")
      string(REGEX REPLACE "^_" "" undecorated "${function}")
      if(undecorated IN_LIST integer_functions)
        set(integer_only ON)
      else()
        set(integer_only OFF)
      endif()
      continue()
    endif()
    if(NOT line MATCHES "^ *[0-9a-f]+:\t(.*)$")
      continue()
    endif()
    string(STRIP "${CMAKE_MATCH_1}" instruction)
    string(REGEX REPLACE " *#.*$" "" instruction "${instruction}")
    split_instruction("${instruction}" mnemonic operands)
    math(EXPR instructions "${instructions} + 1")
    classify("${mnemonic}" "${operands}" set)
    if(set STREQUAL "sse2load" AND "sse2" IN_LIST ALLOWED)
      set(set sse2)  # all of SSE2 allowed, its loads too
    endif()
    if(NOT set IN_LIST ALLOWED)
      string(APPEND errors "  forbidden: ${short} <${function}>: ${instruction}  (${set})\n")
    elseif(integer_only AND set MATCHES "^(x87|mmx|sse|sse2)$")
      string(APPEND errors "  forbidden: ${short} <${function}>: ${instruction}  (${set} in an integer-only function)\n")
    endif()
  endforeach()
endforeach()

if(errors)
  message(FATAL_ERROR "instructions outside ${ALLOWED}:\n${errors}")
endif()
list(LENGTH objects count)
message(STATUS "ok: ${instructions} instructions in ${count} objects, all in ${ALLOWED}")
