# SPDX-License-Identifier: MIT
# Included by ctest (a folder's TEST_INCLUDE_FILES, through a small file that
# zv_discover_tests generates): registers a GoogleTest program's tests in
# groups, one process per group, where starting a process is dear (under
# Wine each start takes a few tenths of a second, under the sanitizers about
# a tenth with the leak check at the end: more than most tests).
# A group is the tests of one variant code (the "/<code>" that ends a
# parameterised name), or those without one, split again by "Long" in the
# name; it is named after the program, "/code" and ".long", and labelled as
# its tests are when registered one by one. The output of a failing group
# names the failing tests.
#
# The listing is kept beside the generated file and taken again when the
# program is newer than it.
#
# With ZV_NO_EMULATED_PROGRAMS set in the environment nothing is listed or
# registered: for a run of the checks that need no Windows program to start
# (tools/setup.sh, on a machine whose kernel runs no 32-bit programs).
function(zv_add_test_groups)
  cmake_parse_arguments(G "PER_VARIANT" "TARGET;PROGRAM;EMULATOR;WORKING_DIRECTORY;LIST_FILE;TIMEOUT" "LABELS" ${ARGN})
  if(DEFINED ENV{ZV_NO_EMULATED_PROGRAMS})
    return()
  endif()
  if(NOT EXISTS "${G_LIST_FILE}" OR "${G_PROGRAM}" IS_NEWER_THAN "${G_LIST_FILE}")
    # A second attempt: Wine now and then ends a program before it starts
    # (no output, failure status), and a listing that fails ends the whole
    # ctest run.
    foreach(attempt 1 2)
      execute_process(COMMAND ${G_EMULATOR} "${G_PROGRAM}" --gtest_list_tests
        WORKING_DIRECTORY "${G_WORKING_DIRECTORY}" TIMEOUT ${G_TIMEOUT}
        RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
      if(status EQUAL 0)
        break()
      endif()
    endforeach()
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "${G_PROGRAM} --gtest_list_tests failed (${status}):\n${out}\n${err}")
    endif()
    string(REPLACE "\r" "" out "${out}")
    string(REPLACE "\n" ";" lines "${out}")
    set(names "")
    set(suite "")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE " *#.*$" "" line "${line}")
      if(line MATCHES "^  +([^ ]+)$")
        list(APPEND names "${suite}${CMAKE_MATCH_1}")
      elseif(line MATCHES "^([^ ]+\\.)$")
        set(suite "${CMAKE_MATCH_1}")
      endif()
    endforeach()
    if(names STREQUAL "")
      message(FATAL_ERROR "${G_PROGRAM} lists no tests:\n${out}")
    endif()
    file(WRITE "${G_LIST_FILE}" "${names}")
  endif()
  file(READ "${G_LIST_FILE}" names)

  set(codes "")
  set(keys "")
  foreach(name IN LISTS names)
    set(code "")
    if(G_PER_VARIANT AND name MATCHES "/([a-z][0-9])$")
      set(code "${CMAKE_MATCH_1}")
      list(APPEND codes "${code}")
    endif()
    set(long "")
    if(name MATCHES "Long")
      set(long "long")
    endif()
    list(APPEND keys "${code}:${long}")
  endforeach()
  list(REMOVE_DUPLICATES codes)
  list(REMOVE_DUPLICATES keys)
  # Patterns of GoogleTest's filter: "*/<code>" ends in the code.
  set(others "")
  foreach(code IN LISTS codes)
    list(APPEND others "*/${code}")
  endforeach()

  foreach(key IN LISTS keys)
    string(REGEX MATCH "^([^:]*):(.*)$" key "${key}")
    set(code "${CMAKE_MATCH_1}")
    set(long "${CMAKE_MATCH_2}")
    set(test "${G_TARGET}")
    set(labels ${G_LABELS})
    set(excluded "")
    if(code STREQUAL "")
      set(included "*")
      set(excluded ${others})
    else()
      set(included "*/${code}")
      string(APPEND test "/${code}")
      list(APPEND labels "${code}")
    endif()
    if(long STREQUAL "")
      list(APPEND excluded "*Long*")
    else()
      # "Long" stands in a name before the code that ends it.
      string(PREPEND included "*Long")
      string(APPEND test ".long")
      list(APPEND labels long)
    endif()
    set(filter "${included}")
    if(excluded)
      list(JOIN excluded ":" excluded)
      string(APPEND filter "-${excluded}")
    endif()
    add_test("${test}" ${G_EMULATOR} "${G_PROGRAM}" "--gtest_filter=${filter}")
    set_tests_properties("${test}" PROPERTIES LABELS "${labels}"
      WORKING_DIRECTORY "${G_WORKING_DIRECTORY}")
  endforeach()
endfunction()
