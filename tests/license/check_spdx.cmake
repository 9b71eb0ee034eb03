# SPDX-License-Identifier: MIT
# cmake -DSOURCE_DIR=... -P check_spdx.cmake
# Every tracked source, script and build file names its licence in an SPDX
# line among its first three lines. Left out: the licence itself, the Debian
# changelog and copyright templates (their formats have no comments), JSON,
# Markdown and the fuzz corpus (data).
cmake_minimum_required(VERSION 3.25)
find_program(GIT git)
if(NOT GIT OR NOT EXISTS "${SOURCE_DIR}/.git")
  message(STATUS "not a git checkout: nothing to check")
  return()
endif()
execute_process(COMMAND "${GIT}" ls-files WORKING_DIRECTORY "${SOURCE_DIR}"
  OUTPUT_VARIABLE files RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "git ls-files failed")
endif()
string(REPLACE "\n" ";" files "${files}")
set(missing "")
set(checked 0)
foreach(file IN LISTS files)
  if(file STREQUAL "" OR file MATCHES "^tests/fuzz/corpus/" OR file MATCHES "\\.(md|json)$"
     OR file MATCHES "^(LICENSE|cmake/debian/changelog\\.in|cmake/debian/copyright\\.in)$")
    continue()
  endif()
  file(STRINGS "${SOURCE_DIR}/${file}" head LIMIT_COUNT 3)
  math(EXPR checked "${checked} + 1")
  if(NOT head MATCHES "SPDX-License-Identifier: MIT")
    list(APPEND missing "${file}")
  endif()
endforeach()
if(missing)
  list(JOIN missing "\n  " missing)
  message(FATAL_ERROR "no SPDX line in:\n  ${missing}")
endif()
message(STATUS "${checked} files carry the SPDX line")
