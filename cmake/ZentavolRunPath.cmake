# SPDX-License-Identifier: MIT
# Run paths of the installed ELF files. CMake links such a file for the
# build tree and edits its run path at install; to leave room for the edit it
# pads the build tree's run path with separators, and each empty entry they
# make is the current folder to the dynamic loader. So these files are
# linked once with the run path they keep when installed, found from their
# own place ($ORIGIN), which holds in the build tree too.

# zv_run_path(<target> BUILD <folder> INSTALL <folder>): the target, built
# into the absolute BUILD folder and installed into the INSTALL folder
# (relative to the prefix), finds the libraries through $ORIGIN: in the
# library folder of the install tree, and when the build tree's layout
# differs from it, in the build tree's library folder after that.
function(zv_run_path target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "BUILD;INSTALL" "")
  if(WIN32)
    return()
  endif()
  file(RELATIVE_PATH installed "/prefix/${ARG_INSTALL}" "/prefix/${CMAKE_INSTALL_LIBDIR}")
  file(RELATIVE_PATH built "${ARG_BUILD}" "${CMAKE_LIBRARY_OUTPUT_DIRECTORY}")
  string(REGEX REPLACE "/$" "" installed "${installed}")
  string(REGEX REPLACE "/$" "" built "${built}")
  set(entries "$ORIGIN")
  if(installed)
    set(entries "$ORIGIN/${installed}")
  endif()
  if(NOT built STREQUAL installed)
    list(APPEND entries "$ORIGIN/${built}")
  endif()
  list(JOIN entries ":" run_path)
  set_target_properties(${target} PROPERTIES
    BUILD_WITH_INSTALL_RPATH ON
    INSTALL_RPATH "${run_path}")
  # DT_RUNPATH, which LD_LIBRARY_PATH comes before, as for any library.
  target_link_options(${target} PRIVATE "LINKER:--enable-new-dtags")
endfunction()
