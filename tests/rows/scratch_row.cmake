# SPDX-License-Identifier: MIT
# cmake -DSOURCE_DIR=<tree> -DWORK_DIR=<scratch> -DORIGINAL=<code> -DCODE=<new code>
#       -DGENERATOR=<generator> -DC_COMPILER=<cc> -DCXX_COMPILER=<c++>
#       [-DBUILD_TYPE=<type>] -P scratch_row.cmake
#
# That a row in variants/ is the whole definition of a build: copies the
# tracked files of the tree, adds one row there, a clone of ORIGINAL under
# CODE (its zv_add_variant call and its variant.h, and nothing outside
# variants/), configures the copy with the tests and checks that
#   - every suite registers as many tests for CODE as for ORIGINAL, after
#     building the unit programs of both (the black-box programs, which
#     iterate the same generated code list but need every library built,
#     stay unbuilt and count for neither);
#   - the front library loads the new library when ZENTAVOL_VARIANT names it
#     (zentavol-which, built there, reports it loaded with all its exports);
#   - the override's refusal lists the new code among those it accepts.
cmake_minimum_required(VERSION 3.24)
foreach(arg SOURCE_DIR WORK_DIR ORIGINAL CODE GENERATOR C_COMPILER CXX_COMPILER)
  if(NOT DEFINED ${arg})
    message(FATAL_ERROR "scratch_row.cmake: ${arg} missing")
  endif()
endforeach()
if(NOT CODE MATCHES "^[a-z][0-9]$" OR NOT ORIGINAL MATCHES "^[a-z][0-9]$")
  message(FATAL_ERROR "scratch_row.cmake: codes are a letter and a digit (ORIGINAL ${ORIGINAL}, CODE ${CODE})")
endif()

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${what} failed (${status}):\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

# The tracked files as they are in the working tree.
set(tree "${WORK_DIR}/tree")
set(build "${WORK_DIR}/build")
file(REMOVE_RECURSE "${WORK_DIR}")
run("git ls-files" git -C "${SOURCE_DIR}" ls-files)
string(REPLACE "\n" ";" files "${out}")
foreach(file IN LISTS files)
  if(file STREQUAL "" OR NOT EXISTS "${SOURCE_DIR}/${file}")
    continue()
  endif()
  get_filename_component(folder "${tree}/${file}" DIRECTORY)
  file(MAKE_DIRECTORY "${folder}")
  file(COPY_FILE "${SOURCE_DIR}/${file}" "${tree}/${file}")
endforeach()

# The new row: ORIGINAL's call under CODE, appended; its build definition.
file(READ "${tree}/variants/CMakeLists.txt" rows)
string(REGEX MATCH "zv_add_variant\\(${ORIGINAL}\n[^)]*\\)" call "${rows}")
if(call STREQUAL "")
  message(FATAL_ERROR "no row for ${ORIGINAL} in variants/CMakeLists.txt")
endif()
string(REPLACE "zv_add_variant(${ORIGINAL}\n" "zv_add_variant(${CODE}\n" clone "${call}")
file(APPEND "${tree}/variants/CMakeLists.txt" "\n# A clone of ${ORIGINAL}.\n${clone}\n")
file(MAKE_DIRECTORY "${tree}/variants/${CODE}")
file(COPY_FILE "${tree}/variants/${ORIGINAL}/variant.h" "${tree}/variants/${CODE}/variant.h")

set(type "")
if(BUILD_TYPE)
  set(type "-DCMAKE_BUILD_TYPE=${BUILD_TYPE}")
endif()
run("configuring the copy" "${CMAKE_COMMAND}" -S "${tree}" -B "${build}" -G "${GENERATOR}" ${type}
  "-DCMAKE_C_COMPILER=${C_COMPILER}" "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}" -DZV_BUILD_TESTS=ON -DZV_WERROR=ON)
run("building the copy" "${CMAKE_COMMAND}" --build "${build}" --target
  zentavol_${CODE} zentavol_front zentavol_which zv_unit_${CODE} zv_unit_${ORIGINAL})

# The same count of tests, suite by suite.
function(count_tests out label)
  execute_process(COMMAND "${CMAKE_CTEST_COMMAND}" -N -L "^${label}$" WORKING_DIRECTORY "${build}"
    RESULT_VARIABLE status OUTPUT_VARIABLE listing ERROR_VARIABLE err)
  if(NOT status EQUAL 0 OR NOT listing MATCHES "Total Tests: ([0-9]+)")
    message(FATAL_ERROR "ctest -N -L ${label} failed:\n${listing}\n${err}")
  endif()
  set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
  set(${out}_listing "${listing}" PARENT_SCOPE)
endfunction()
count_tests(new ${CODE})
count_tests(old ${ORIGINAL})
if(NOT new EQUAL old OR new EQUAL 0)
  message(FATAL_ERROR "${CODE} has ${new} tests, ${ORIGINAL} ${old}:\n${new_listing}\n${old_listing}")
endif()
message(STATUS "ok: ${new} tests for ${CODE}, as for ${ORIGINAL}")

# The override loads it.
file(GLOB which "${build}/bin/zentavol-which${CMAKE_EXECUTABLE_SUFFIX}")
if(NOT which)
  message(FATAL_ERROR "no zentavol-which in ${build}/bin")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E env ZENTAVOL_VARIANT=${CODE} "${which}"
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0 OR NOT err STREQUAL "" OR NOT out MATCHES "\nloaded: Zentavol${CODE} ")
  message(FATAL_ERROR "ZENTAVOL_VARIANT=${CODE} did not load Zentavol${CODE} (${status}):\n${out}\n${err}")
endif()
message(STATUS "ok: ZENTAVOL_VARIANT=${CODE} loads Zentavol${CODE}")

# And a refused value names it among the codes (zentavol-which reports the
# refusal on its "override:" line).
execute_process(COMMAND "${CMAKE_COMMAND}" -E env ZENTAVOL_VARIANT=q "${which}"
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT out MATCHES "\noverride: Zentavol: ZENTAVOL_VARIANT=q refused: not one of [a-z0-9, ]*, ${CODE}; the usual")
  message(FATAL_ERROR "the refusal does not list ${CODE}:\n${out}\n${err}")
endif()
message(STATUS "ok: the refusal lists ${CODE}")
file(REMOVE_RECURSE "${WORK_DIR}")
