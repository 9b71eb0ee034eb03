# SPDX-License-Identifier: MIT
# cmake -DBUILD_DIR=... -DPREFIX=... -DREADELF=... -P check_run_paths.cmake
# Reads the RUNPATH and RPATH of every ELF program and shared object of the
# build tree, installs the build into PREFIX and reads those of the install
# tree. Each entry must be absolute or start with $ORIGIN: the loader takes
# an empty entry for the current folder and a relative one as relative to it,
# so a program started elsewhere would load libraries from there. An
# installed file must not reach into the build tree either.

# The ELF programs and shared objects under `folder`, leaving out `skip`
# (folders whose path holds one of these names).
function(elf_files folder skip out)
  file(GLOB_RECURSE candidates LIST_DIRECTORIES false "${folder}/*")
  set(found "")
  foreach(file IN LISTS candidates)
    set(skipped FALSE)
    foreach(name IN LISTS skip)
      if(file MATCHES "/${name}/")
        set(skipped TRUE)
      endif()
    endforeach()
    if(skipped OR IS_SYMLINK "${file}" OR NOT EXISTS "${file}")
      continue()
    endif()
    file(READ "${file}" head LIMIT 18 HEX)
    # the magic, then e_type (little-endian) 2 or 3: a program or a shared object
    if(head MATCHES "^7f454c46" AND head MATCHES "0[23]00$")
      list(APPEND found "${file}")
    endif()
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

set(faults "")
set(checked 0)

# Checks every file; `forbidden` is a folder no entry may lie in, or empty.
function(check_run_paths files forbidden)
  set(faults_here "")
  foreach(file IN LISTS files)
    execute_process(COMMAND "${READELF}" -dW "${file}" OUTPUT_VARIABLE dynamic RESULT_VARIABLE rc ERROR_QUIET)
    if(NOT rc EQUAL 0)
      list(APPEND faults_here "${file}: readelf failed")
      continue()
    endif()
    string(REGEX MATCHALL "\\((RUNPATH|RPATH)\\)[^\n]*\\[[^]\n]*\\]" entries_lines "${dynamic}")
    foreach(line IN LISTS entries_lines)
      string(REGEX REPLACE "^.*\\[(.*)\\]$" "\\1" value "${line}")
      if(value STREQUAL "" OR value MATCHES "^:" OR value MATCHES "::" OR value MATCHES ":$")
        list(APPEND faults_here "${file}: empty entry in [${value}]")
      endif()
      string(REPLACE ":" ";" entries "${value}")
      foreach(entry IN LISTS entries)
        if(entry STREQUAL "")
          continue()
        endif()
        if(NOT entry MATCHES "^/" AND NOT entry MATCHES "^\\$(ORIGIN|{ORIGIN})(/|$)")
          list(APPEND faults_here "${file}: relative entry ${entry} in [${value}]")
        elseif(forbidden)
          string(FIND "${entry}/" "${forbidden}/" at)
          if(at EQUAL 0)
            list(APPEND faults_here "${file}: entry ${entry} in the build tree")
          endif()
        endif()
      endforeach()
    endforeach()
  endforeach()
  list(LENGTH files count)
  math(EXPR total "${checked} + ${count}")
  set(checked ${total} PARENT_SCOPE)
  set(faults ${faults} ${faults_here} PARENT_SCOPE)
endfunction()

# The scratch folders of tests hold copies and programs of their own; the
# CMake folders hold objects and the compiler checks.
get_filename_component(prefix_name "${PREFIX}" NAME)
elf_files("${BUILD_DIR}" "CMakeFiles;scratch;${prefix_name}" built)
check_run_paths("${built}" "")

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
  OUTPUT_QUIET RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install into ${PREFIX} failed")
endif()
elf_files("${PREFIX}" "" installed)
if(NOT installed)
  message(FATAL_ERROR "no ELF file installed into ${PREFIX}")
endif()
check_run_paths("${installed}" "${BUILD_DIR}")
file(REMOVE_RECURSE "${PREFIX}")

if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "run paths with an empty or relative entry:\n  ${text}")
endif()
message(STATUS "${checked} ELF files, every run path entry absolute or from $ORIGIN")
