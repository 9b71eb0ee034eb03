# SPDX-License-Identifier: MIT
# Run by CPack after it made the packages: takes the postinst and postrm
# scripts out of each Debian package whose only work is calling ldconfig (the
# package's ldconfig trigger does that once per dpkg run), and builds the
# package again from the same tree with dpkg-deb.
find_program(ZV_DPKG_DEB dpkg-deb REQUIRED)
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.deb$")
    continue()
  endif()
  set(tree "${package}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND "${ZV_DPKG_DEB}" --raw-extract "${package}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
  set(changed OFF)
  foreach(script postinst postrm)
    set(file "${tree}/DEBIAN/${script}")
    if(EXISTS "${file}")
      file(STRINGS "${file}" lines)
      list(FILTER lines EXCLUDE REGEX "^(#!/bin/sh|set -e|if \\[ \"\\$1\" = \"(configure|remove)\" \\]; then|\tldconfig|fi|)$")
      if(lines STREQUAL "")
        file(REMOVE "${file}")
        set(changed ON)
      else()
        message(FATAL_ERROR "${package}: ${script} does more than call ldconfig: ${lines}")
      endif()
    endif()
  endforeach()
  if(changed)
    execute_process(COMMAND "${ZV_DPKG_DEB}" --root-owner-group -Zxz --build "${tree}" "${package}"
      OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  endif()
  file(REMOVE_RECURSE "${tree}")
endforeach()
