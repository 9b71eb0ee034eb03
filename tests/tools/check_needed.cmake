# SPDX-License-Identifier: MIT
# Fails unless PROGRAM needs libZentavol.so and no variant library directly:
# the variant is the front library's choice at run time.
execute_process(COMMAND "${READELF}" -d "${PROGRAM}" OUTPUT_VARIABLE dynamic RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "readelf failed on ${PROGRAM}")
endif()
string(REGEX MATCHALL "Shared library: \\[libZentavol[^]]*\\]" needed "${dynamic}")
if(NOT needed MATCHES "libZentavol\\.so")
  message(FATAL_ERROR "${PROGRAM} does not need the front library: ${needed}")
endif()
list(LENGTH needed count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "${PROGRAM} needs more than the front library: ${needed}")
endif()
