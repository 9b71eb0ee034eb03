# SPDX-License-Identifier: MIT
# Installation and packages: the header, the front library and the variant
# libraries, qelspectrum, zentavol-which, a pkg-config file and a CMake package; CPack makes
# a Debian package and a tar archive on Linux, a zip on Windows.
include(CMakePackageConfigHelpers)

set(ZV_INSTALLED_LIBRARIES "")
foreach(code IN LISTS ZV_VARIANTS)
  list(APPEND ZV_INSTALLED_LIBRARIES zentavol_${code})
endforeach()
if(TARGET zentavol_front)
  list(APPEND ZV_INSTALLED_LIBRARIES zentavol_front)
endif()

if(NOT WIN32)
  # ELF libraries carry a SONAME with the major version. The front library
  # loads a variant by the plain name libZentavol<code>.so, so that link is
  # part of the run-time install for the variants, not a development file.
  set_target_properties(${ZV_INSTALLED_LIBRARIES} PROPERTIES
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR})
endif()

install(FILES "${PROJECT_SOURCE_DIR}/include/zentavol.h" DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}")
# Applications link the front library only: on Windows its import library
# is installed, the variants' are not (the front library loads them by name).
set(ZV_INSTALLED_VARIANTS ${ZV_INSTALLED_LIBRARIES})
list(REMOVE_ITEM ZV_INSTALLED_VARIANTS zentavol_front)
install(TARGETS ${ZV_INSTALLED_VARIANTS}
  LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}"
  RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}"
  ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT VariantImportLibraries EXCLUDE_FROM_ALL)
if(TARGET zentavol_front)
  install(TARGETS zentavol_front
    LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}"
    RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}"
    ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}")
endif()
if(TARGET qelspectrum)
  install(TARGETS qelspectrum RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
endif()
if(TARGET zentavol_which)
  install(TARGETS zentavol_which RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
endif()

if(TARGET zentavol_front)
  # What applications link: the front library. Its file names as the
  # platform writes them; the config file and the .pc file find them
  # relative to their own place, so the install tree can be moved.
  if(WIN32)
    set(ZV_FRONT_RUNTIME "${CMAKE_INSTALL_BINDIR}/${ZV_LIBRARY_PREFIX}Zentavol${CMAKE_SHARED_LIBRARY_SUFFIX}")
    set(ZV_FRONT_LINK "${CMAKE_INSTALL_LIBDIR}/${CMAKE_IMPORT_LIBRARY_PREFIX}Zentavol${CMAKE_IMPORT_LIBRARY_SUFFIX}")
    set(ZV_FRONT_SONAME "")
  else()
    set(ZV_FRONT_RUNTIME "${CMAKE_INSTALL_LIBDIR}/libZentavol.so.${PROJECT_VERSION}")
    set(ZV_FRONT_LINK "${ZV_FRONT_RUNTIME}")
    set(ZV_FRONT_SONAME "libZentavol.so.${PROJECT_VERSION_MAJOR}")
  endif()

  set(ZV_CMAKE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/Zentavol")
  file(RELATIVE_PATH ZV_CMAKE_TO_PREFIX "/root/${ZV_CMAKE_DIR}" "/root")
  configure_file("${PROJECT_SOURCE_DIR}/cmake/ZentavolConfig.cmake.in"
    "${PROJECT_BINARY_DIR}/package/ZentavolConfig.cmake" @ONLY)
  write_basic_package_version_file("${PROJECT_BINARY_DIR}/package/ZentavolConfigVersion.cmake"
    VERSION ${PROJECT_VERSION}
    COMPATIBILITY SameMajorVersion)
  install(FILES
    "${PROJECT_BINARY_DIR}/package/ZentavolConfig.cmake"
    "${PROJECT_BINARY_DIR}/package/ZentavolConfigVersion.cmake"
    DESTINATION "${ZV_CMAKE_DIR}")

  set(ZV_PKGCONFIG_DIR "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
  file(RELATIVE_PATH ZV_PKGCONFIG_TO_PREFIX "/root/${ZV_PKGCONFIG_DIR}" "/root")
  configure_file("${PROJECT_SOURCE_DIR}/cmake/zentavol.pc.in" "${PROJECT_BINARY_DIR}/package/zentavol.pc" @ONLY)
  install(FILES "${PROJECT_BINARY_DIR}/package/zentavol.pc" DESTINATION "${ZV_PKGCONFIG_DIR}")
endif()

# The licence goes into every package: the text beside the files of the
# Windows zip; on Linux the Debian copyright file (with the licence under its
# Debian name), the changelog a Debian package keeps, and the manual pages,
# compressed as Debian installs them.
set(ZV_MAINTAINER "Zentavol developers <developers@zentavol.org>")
if(WIN32)
  install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION .)
else()
  find_program(ZV_GZIP gzip REQUIRED)
  set(ZV_DOC_DIR "${CMAKE_INSTALL_DATAROOTDIR}/doc/zentavol")
  configure_file("${PROJECT_SOURCE_DIR}/cmake/debian/copyright.in" "${PROJECT_BINARY_DIR}/package/copyright" @ONLY)
  configure_file("${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in" "${PROJECT_BINARY_DIR}/package/changelog" @ONLY)
  set(compressed "${PROJECT_BINARY_DIR}/package/changelog.gz")
  add_custom_command(OUTPUT "${compressed}"
    COMMAND "${ZV_GZIP}" -9nc "${PROJECT_BINARY_DIR}/package/changelog" > "${compressed}"
    DEPENDS "${PROJECT_BINARY_DIR}/package/changelog" VERBATIM)
  set(ZV_MANUAL_PAGES "")
  if(TARGET qelspectrum)
    list(APPEND ZV_MANUAL_PAGES qelspectrum.1)
  endif()
  if(TARGET zentavol_which)
    list(APPEND ZV_MANUAL_PAGES zentavol-which.1)
  endif()
  set(ZV_MANUAL_FILES "")
  foreach(page IN LISTS ZV_MANUAL_PAGES)
    set(out "${PROJECT_BINARY_DIR}/package/man/${page}.gz")
    add_custom_command(OUTPUT "${out}"
      COMMAND "${CMAKE_COMMAND}" -E make_directory "${PROJECT_BINARY_DIR}/package/man"
      COMMAND "${ZV_GZIP}" -9nc "${PROJECT_SOURCE_DIR}/docs/man/${page}" > "${out}"
      DEPENDS "${PROJECT_SOURCE_DIR}/docs/man/${page}" VERBATIM)
    list(APPEND ZV_MANUAL_FILES "${out}")
  endforeach()
  add_custom_target(zv_package_documents ALL DEPENDS "${compressed}" ${ZV_MANUAL_FILES})
  install(FILES "${PROJECT_BINARY_DIR}/package/copyright" "${compressed}" DESTINATION "${ZV_DOC_DIR}")
  if(ZV_MANUAL_FILES)
    install(FILES ${ZV_MANUAL_FILES} DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
  endif()
endif()

# Packages. Linux: one Debian package holding everything (the libraries are
# small and the header is needed by every user of them) and a tar archive.
# Windows: a zip of the DLLs, the import library and the header; the Windows
# build sets ZV_WINDOWS_PACKAGE_FILES to anything else it must carry (for
# example the compiler's run-time DLLs) before this file is included.
set(CPACK_PACKAGE_NAME "zentavol")
set(CPACK_PACKAGE_VENDOR "Zentavol developers")
set(CPACK_PACKAGE_CONTACT "${ZV_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "single-precision signal processing with a C interface")
set(CPACK_PACKAGE_DESCRIPTION
  "Aligned memory, complex and real FFTs of power-of-two sizes, element-wise\nfloat arithmetic, complex magnitudes, extremes and conversions; a front\nlibrary picks the best of six builds for the processor. Includes\nqelspectrum, a command-line spectrum analyser, and zentavol-which, which\nsays which build this machine gets and why.")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_RESOURCE_FILE_README "${PROJECT_SOURCE_DIR}/README.md")
set(CPACK_STRIP_FILES OFF)
if(WIN32)
  set(CPACK_GENERATOR "ZIP")
  # zentavol-<version>-win32.zip or -win64.zip: a program needs the zip of
  # its own pointer size (CPack would call both win32).
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME win64)
  else()
    set(CPACK_SYSTEM_NAME win32)
  endif()
  if(ZV_WINDOWS_PACKAGE_FILES)
    install(FILES ${ZV_WINDOWS_PACKAGE_FILES} DESTINATION "${CMAKE_INSTALL_BINDIR}")
  endif()
else()
  set(CPACK_GENERATOR "DEB;TGZ")
  # The Debian package installs under /usr; the tar archive holds bin/,
  # include/ and lib/ under its top folder, to be unpacked anywhere.
  set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_BINARY_DIR}/package/CPackPerGenerator.cmake")
  # Debian installs stripped binaries.
  file(WRITE "${CPACK_PROJECT_CONFIG_FILE}"
    "if(CPACK_GENERATOR STREQUAL \"DEB\")\n"
    "  set(CPACK_PACKAGING_INSTALL_PREFIX \"/usr\")\n"
    "  set(CPACK_STRIP_FILES ON)\n"
    "endif()\n")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION "libs")
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # qelspectrum needs libZentavol.so.0 from this same package
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${PROJECT_BINARY_DIR}/lib")
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  # The loader's cache is refreshed by dpkg's trigger once per run.
  file(WRITE "${PROJECT_BINARY_DIR}/package/triggers" "activate-noawait ldconfig\n")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${PROJECT_BINARY_DIR}/package/triggers")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  if(ZV_PYTHON_DEBIAN_DEPENDS)
    # the Python module (the libraries' own dependencies come from shlibdeps)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "${ZV_PYTHON_DEBIAN_DEPENDS}")
  endif()
endif()
include(CPack)
