# SPDX-License-Identifier: MIT
# cmake -DLIBRARY=... -DEXPECTED="a;b" -DNM=... -DREADELF=... -P check_exports.cmake
# Fails unless the library's defined dynamic symbols are exactly EXPECTED and
# no dynamic relocation refers to one of them (calls between the exports are
# bound inside the library).
execute_process(COMMAND "${NM}" -D --defined-only "${LIBRARY}"
  OUTPUT_VARIABLE nm_out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${nm_out}")
set(found "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^[0-9a-fA-F]* *[A-Za-z] +" "" name "${line}")
  list(APPEND found "${name}")
endforeach()
list(SORT found)
set(expected ${EXPECTED})
list(SORT expected)
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "${LIBRARY} exports\n  ${found}\nexpected\n  ${expected}")
endif()

execute_process(COMMAND "${READELF}" -rW "${LIBRARY}" OUTPUT_VARIABLE relocs)
foreach(name IN LISTS expected)
  if(relocs MATCHES "[ \t]${name}[ @+\n]")
    message(FATAL_ERROR "${LIBRARY} has a dynamic relocation against ${name}")
  endif()
endforeach()
message(STATUS "${LIBRARY}: exports ${found}")
