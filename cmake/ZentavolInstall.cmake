# SPDX-License-Identifier: MIT
# Installation and packages: the header, the front library and the variant
# libraries, qelspectrum, zentavol-which, a pkg-config file and a CMake package.
# Every file belongs to one of four components, which CPack makes into the
# four Debian packages, split as Debian splits a library:
#   runtime      libzentavol0: the front library and the six variants
#   development  libzentavol-dev: the headers, the link-time name of the front
#                library, the pkg-config file and the CMake package
#   tools        zentavol-tools: qelspectrum, zentavol-which, manual pages
#   python       python3-zentavol: the Python module (python/CMakeLists.txt)
# The tar archive on Linux and the zip on Windows hold all of them.
include(CMakePackageConfigHelpers)

set(ZV_INSTALLED_LIBRARIES "")
foreach(code IN LISTS ZV_VARIANTS)
  list(APPEND ZV_INSTALLED_LIBRARIES zentavol_${code})
endforeach()
if(TARGET zentavol_front)
  list(APPEND ZV_INSTALLED_LIBRARIES zentavol_front)
endif()

if(NOT WIN32)
  # ELF libraries carry a SONAME with the major version, and the front
  # library loads a variant by that name (libZentavol<code>.so.N): the
  # variants need no unversioned link at all, the front library's is the
  # development package's.
  set_target_properties(${ZV_INSTALLED_LIBRARIES} PROPERTIES
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR})
endif()

install(FILES "${PROJECT_SOURCE_DIR}/include/zentavol.h" "${PROJECT_SOURCE_DIR}/include/zentavol.hpp"
  DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}" COMPONENT development)
# Applications link the front library only: on Windows its import library
# is installed, the variants' are not (the front library loads them by name).
set(ZV_INSTALLED_VARIANTS ${ZV_INSTALLED_LIBRARIES})
list(REMOVE_ITEM ZV_INSTALLED_VARIANTS zentavol_front)
install(TARGETS ${ZV_INSTALLED_VARIANTS}
  LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT runtime NAMELINK_SKIP
  RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT runtime
  ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT VariantImportLibraries EXCLUDE_FROM_ALL)
if(TARGET zentavol_front)
  install(TARGETS zentavol_front
    LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT runtime NAMELINK_COMPONENT development
    RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT runtime
    ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT development)
endif()
if(TARGET qelspectrum)
  install(TARGETS qelspectrum RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT tools)
endif()
if(TARGET zentavol_which)
  install(TARGETS zentavol_which RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT tools)
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
    DESTINATION "${ZV_CMAKE_DIR}" COMPONENT development)

  set(ZV_PKGCONFIG_DIR "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
  file(RELATIVE_PATH ZV_PKGCONFIG_TO_PREFIX "/root/${ZV_PKGCONFIG_DIR}" "/root")
  configure_file("${PROJECT_SOURCE_DIR}/cmake/zentavol.pc.in" "${PROJECT_BINARY_DIR}/package/zentavol.pc" @ONLY)
  install(FILES "${PROJECT_BINARY_DIR}/package/zentavol.pc" DESTINATION "${ZV_PKGCONFIG_DIR}"
    COMPONENT development)
endif()

# The Debian packages, by component (see the top of this file).
set(ZV_DEBIAN_NAME_runtime "libzentavol${PROJECT_VERSION_MAJOR}")
set(ZV_DEBIAN_NAME_development "libzentavol-dev")
set(ZV_DEBIAN_NAME_tools "zentavol-tools")
set(ZV_DEBIAN_NAME_python "python3-zentavol")
set(ZV_COMPONENTS runtime development)
if(TARGET qelspectrum OR TARGET zentavol_which)
  list(APPEND ZV_COMPONENTS tools)
endif()
if(TARGET zentavol_python)
  list(APPEND ZV_COMPONENTS python)
endif()

# The licence goes into every package: the text beside the files of the
# Windows zip; on Linux the Debian copyright file (with the licence under its
# Debian name) and the changelog in each package's documentation folder,
# and the manual pages, compressed as Debian installs them.
set(ZV_MAINTAINER "Zentavol developers <developers@zentavol.org>")
if(WIN32)
  install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION . COMPONENT runtime)
else()
  find_program(ZV_GZIP gzip REQUIRED)
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
  foreach(component IN LISTS ZV_COMPONENTS)
    install(FILES "${PROJECT_BINARY_DIR}/package/copyright" "${compressed}"
      DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/doc/${ZV_DEBIAN_NAME_${component}}" COMPONENT ${component})
  endforeach()
  if(ZV_MANUAL_FILES)
    install(FILES ${ZV_MANUAL_FILES} DESTINATION "${CMAKE_INSTALL_MANDIR}/man1" COMPONENT tools)
  endif()
endif()

# Packages. Linux: the four Debian packages and one tar archive of
# everything. Windows: a zip of the DLLs, the import library and the header;
# the Windows build sets ZV_WINDOWS_PACKAGE_FILES to anything else it must
# carry (for example the compiler's run-time DLLs) before this file is
# included.
set(CPACK_PACKAGE_NAME "zentavol")
set(CPACK_PACKAGE_VENDOR "Zentavol developers")
set(CPACK_PACKAGE_CONTACT "${ZV_MAINTAINER}")
set(ZV_SUMMARY "single-precision signal processing with a C interface")
if(WIN32)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${ZV_SUMMARY}")
endif()
set(ZV_DESCRIPTION_BODY
  "Aligned memory, complex and real FFTs of power-of-two sizes, element-wise\nfloat arithmetic, complex magnitudes, extremes and conversions; a front\nlibrary picks the best of six builds for the processor.")
set(CPACK_PACKAGE_DESCRIPTION "${ZV_DESCRIPTION_BODY}")
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
    install(FILES ${ZV_WINDOWS_PACKAGE_FILES} DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT runtime)
  endif()
else()
  set(CPACK_GENERATOR "DEB;TGZ")
  # The Debian packages install under /usr; the tar archive holds bin/,
  # include/ and lib/ under its top folder, to be unpacked anywhere.
  set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_BINARY_DIR}/package/CPackPerGenerator.cmake")
  # Debian installs stripped binaries.
  file(WRITE "${CPACK_PROJECT_CONFIG_FILE}"
    "if(CPACK_GENERATOR STREQUAL \"DEB\")\n"
    "  set(CPACK_PACKAGING_INSTALL_PREFIX \"/usr\")\n"
    "  set(CPACK_STRIP_FILES ON)\n"
    "endif()\n")
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL ${ZV_COMPONENTS})
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  # What each package needs from other packages of the system, dpkg-shlibdeps
  # computes from its ELF files; what it needs from its sister packages is
  # written here, the exact version, as they are built together.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${PROJECT_BINARY_DIR}/lib")
  set(zv_same "(= ${PROJECT_VERSION})")
  foreach(component IN LISTS ZV_COMPONENTS)
    string(TOUPPER ${component} upper)
    set(CPACK_DEBIAN_${upper}_PACKAGE_NAME "${ZV_DEBIAN_NAME_${component}}")
  endforeach()

  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION "libs")
  set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
    "${ZV_SUMMARY}\n${ZV_DESCRIPTION_BODY}\n.\nThis package holds the front library, which applications link, and the\nsix builds it chooses from.")
  # The runtime package's shlibs file names it for libZentavol.so.N, and the
  # loader's cache is refreshed by dpkg's trigger once per run.
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
  file(WRITE "${PROJECT_BINARY_DIR}/package/triggers" "activate-noawait ldconfig\n")
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA "${PROJECT_BINARY_DIR}/package/triggers")
  # CPack also writes postinst and postrm scripts that call ldconfig, which
  # the trigger makes redundant; they are taken out of the finished package.
  set(CPACK_POST_BUILD_SCRIPTS "${PROJECT_SOURCE_DIR}/cmake/debian/DropLdconfigScripts.cmake")

  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION "libdevel")
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "${ZV_DEBIAN_NAME_runtime} ${zv_same}")
  set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
    "${ZV_SUMMARY} (development files)\n${ZV_DESCRIPTION_BODY}\n.\nThis package holds the C header, the link to the front library, the\npkg-config file and the CMake package.")

  set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION "sound")
  set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "${ZV_DEBIAN_NAME_runtime} ${zv_same}")
  set(CPACK_DEBIAN_TOOLS_DESCRIPTION
    "spectrum analyser and build report of the Zentavol library\nqelspectrum analyses a sound file's spectrum and draws it; zentavol-which\nsays which of the library's six builds this machine gets, and why.")

  if(ZV_PYTHON_DEBIAN_DEPENDS)
    set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION "python")
    # the interpreter the module is built for and NumPy, besides the library
    set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "${ZV_DEBIAN_NAME_runtime} ${zv_same}, ${ZV_PYTHON_DEBIAN_DEPENDS}")
    set(CPACK_DEBIAN_PYTHON_DESCRIPTION
      "Python interface to the Zentavol signal-processing library\nThe transforms, magnitudes and vector functions of the library on NumPy\narrays.")
  endif()
endif()
include(CPack)
