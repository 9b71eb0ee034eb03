# SPDX-License-Identifier: MIT
# cmake -DOBJDUMP=... -DLIBRARY=Zentavols2.dll "-DGATED=<name regex>;..." -P check_isa64.cmake
# The instruction sets of a 64-bit DLL: every function in it, and so
# everything an export reaches, the C runtime's code linked in included,
# stays within the x86-64 baseline (integer, x87, MMX, SSE, SSE2) unless it is
# one of the GATED functions, which run only after a run-time check of the
# processor (and system) has found what they use. An export may not be
# gated itself. Passes with "ok: <n> functions, <m> gated"; a failure names
# the function and its first instruction beyond the baseline.
cmake_minimum_required(VERSION 3.25)

# Beyond the baseline: any VEX or EVEX form (a "v" mnemonic on vector
# registers, or a ymm, zmm or mask register), and the later sets' legacy
# encodings. tzcnt is left out: compilers write BSF as "rep bsf", which
# disassembles as tzcnt and runs as BSF on processors without BMI1 (same
# result for the non-zero operands it is used on); lzcnt has no such reading.
set(beyond_re "^(addsubp[sd]|hadd[a-z]+|hsub[a-z]+|movddup|movshdup|movsldup|lddqu|fisttp|monitor|mwait|pabs[bwd]|palignr|phadd[a-z]*|phsub[a-z]*|pmaddubsw|pmulhrsw|pshufb|psign[bwd]|blend[a-z]*|pblend[a-z]*|dpp[sd]|extractps|insertps|mpsadbw|packusdw|pcmpeqq|pcmpgtq|pcmp[ei]str[im]|pextr[bdq]|pinsr[bdq]|pmaxs[bd]|pmaxu[wd]|pmins[bd]|pminu[wd]|pmovsx[a-z]+|pmovzx[a-z]+|pmuldq|pmulld|ptest|round[ps][sd]|movntdqa|phminposuw|crc32|popcnt|lzcnt|andn|bextr|blsi|blsmsk|blsr|bzhi|mulx|pdep|pext|rorx|sarx|shlx|shrx|movbe|adcx|adox|xgetbv|xsave[a-z]*|xrstor[a-z]*|aes[a-z]+|pclmulqdq|sha[0-9a-z]+|rdrand|rdseed|kmov[a-z]+)$")

execute_process(COMMAND "${OBJDUMP}" -d -C --no-show-raw-insn -M intel "${LIBRARY}"
  OUTPUT_VARIABLE text RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${LIBRARY}: ${err}")
endif()
execute_process(COMMAND "${OBJDUMP}" -p "${LIBRARY}" OUTPUT_VARIABLE headers)
string(REGEX MATCHALL "\n\t\\[ *[0-9]+\\] [A-Za-z_][A-Za-z0-9_]*" exports "${headers}")
list(TRANSFORM exports REPLACE "^\n\t\\[ *[0-9]+\\] " "")

string(REPLACE ";" "," text "${text}")
string(REPLACE "[" "(" text "${text}")
string(REPLACE "]" ")" text "${text}")
string(REPLACE "\n" ";" lines "${text}")
set(name "")
set(functions 0)
set(gated_seen "")
set(errors "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-f]+ <(.*)>:$")
    set(name "${CMAKE_MATCH_1}")
    set(reported OFF)
    math(EXPR functions "${functions} + 1")
    continue()
  endif()
  if(reported OR name STREQUAL "" OR NOT line MATCHES "^ *[0-9a-f]+:\t(.*)$")
    continue()
  endif()
  string(STRIP "${CMAKE_MATCH_1}" instruction)
  string(REGEX REPLACE " *#.*$" "" instruction "${instruction}")
  string(REGEX REPLACE "<[^>]*>" "" instruction "${instruction}")
  string(REGEX REPLACE "^((rep[a-z]*|lock|data16|addr32|notrack|bnd|(cs|ds|es|ss|fs|gs)) +)+" "" instruction "${instruction}")
  if(NOT instruction MATCHES "^([a-z0-9]+) *(.*)$")
    continue()
  endif()
  set(mnemonic "${CMAKE_MATCH_1}")
  set(operands "${CMAKE_MATCH_2}")
  if(mnemonic MATCHES "${beyond_re}" OR operands MATCHES "(^|[^a-z])([yz]mm[0-9]|k[0-7]($|[^a-z0-9]))"
     OR (mnemonic MATCHES "^v" AND operands MATCHES "xmm"))
    set(is_gated OFF)
    foreach(gate IN LISTS GATED)
      if(name MATCHES "${gate}")
        set(is_gated ON)
      endif()
    endforeach()
    string(REGEX REPLACE "[(].*$" "" bare "${name}")
    if(bare IN_LIST exports)
      string(APPEND errors "  export ${name}: ${instruction}\n")
    elseif(NOT is_gated)
      string(APPEND errors "  forbidden: ${name}: ${instruction}\n")
    else()
      list(APPEND gated_seen "${name}")
    endif()
    set(reported ON)
  endif()
endforeach()

if(errors)
  message(FATAL_ERROR "${LIBRARY}: instructions beyond the x86-64 baseline outside the gated functions:\n${errors}")
endif()
list(LENGTH gated_seen gated)
list(LENGTH exports export_count)
if(export_count EQUAL 0)
  message(FATAL_ERROR "no exports read from ${LIBRARY}")
endif()
message(STATUS "ok: ${functions} functions, ${gated} gated, ${export_count} exports within the baseline")
