# zv_add_variant(<code> FLAGS <compile flags> KERNELS <kernel sources>)
#
# Defines one variant library from the shared sources of subsystems 2 to 4,
# its own kernel files and its build definition variants/<code>/variant.h:
#   zentavol_<code>_core  its static library, linked whole (unit tests link it)
#   zentavol_<code>       the shared library libZentavol<code>.so / Zentavol<code>.dll
# The shared sources are compiled once per variant on purpose, with that
# variant's instruction-set flags.
# Each subsystem lists its shared sources in its own sources.cmake.
include("${PROJECT_SOURCE_DIR}/runtime/sources.cmake")
include("${PROJECT_SOURCE_DIR}/vector/sources.cmake")
include("${PROJECT_SOURCE_DIR}/fft/sources.cmake" OPTIONAL)
set(ZV_SHARED_SOURCES ${ZV_RUNTIME_SOURCES} ${ZV_FFT_SOURCES} ${ZV_VECTOR_SOURCES})
if(WIN32)
  set(ZV_PLATFORM_SOURCES platform/win32/platform.cpp platform/win32/variant_entry.cpp)
else()
  set(ZV_PLATFORM_SOURCES platform/posix/platform.cpp platform/posix/variant_entry.cpp)
endif()

set(ZV_VARIANTS "" CACHE INTERNAL "variant codes defined so far")

function(zv_add_variant code)
  cmake_parse_arguments(PARSE_ARGV 1 V "" "" "FLAGS;KERNELS")
  set(core zentavol_${code}_core)
  list(TRANSFORM V_KERNELS PREPEND "${PROJECT_SOURCE_DIR}/")
  set(shared ${ZV_SHARED_SOURCES} ${ZV_PLATFORM_SOURCES})
  list(TRANSFORM shared PREPEND "${PROJECT_SOURCE_DIR}/")

  # One set of objects feeds both the static core and the shared library.
  add_library(${core}_objects OBJECT ${shared} ${V_KERNELS})
  target_include_directories(${core}_objects PUBLIC
    "${PROJECT_SOURCE_DIR}/include"
    "${PROJECT_SOURCE_DIR}"
    "${PROJECT_SOURCE_DIR}/variants/${code}")
  target_compile_options(${core}_objects PRIVATE ${V_FLAGS})
  target_link_libraries(${core}_objects PUBLIC zv_build_flags)
  set_target_properties(${core}_objects PROPERTIES
    POSITION_INDEPENDENT_CODE ON
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  if(NOT WIN32)
    target_link_libraries(${core}_objects PUBLIC Threads::Threads)
  endif()

  # Whole archive: the load and unload handling is reached by no call, only
  # by the platform, and must come along into every program that links it.
  add_library(${core}_archive STATIC $<TARGET_OBJECTS:${core}_objects>)
  add_library(${core} INTERFACE)
  target_link_libraries(${core} INTERFACE
    "$<LINK_LIBRARY:WHOLE_ARCHIVE,${core}_archive>" ${core}_objects)

  add_library(zentavol_${code} SHARED $<TARGET_OBJECTS:${core}_objects>)
  target_link_libraries(zentavol_${code} PRIVATE zv_build_flags)
  if(NOT WIN32)
    target_link_libraries(zentavol_${code} PRIVATE Threads::Threads)
  endif()
  set_target_properties(zentavol_${code} PROPERTIES
    OUTPUT_NAME "Zentavol${code}"
    PREFIX "${ZV_LIBRARY_PREFIX}")
  if(WIN32)
    target_sources(zentavol_${code} PRIVATE "${ZV_DEF_FILE}")
  else()
    # Exactly the sixteen names are exported, and calls between them bind
    # inside the library, never to a same-named symbol loaded earlier.
    target_link_options(zentavol_${code} PRIVATE
      "LINKER:--version-script=${ZV_VERSION_SCRIPT}"
      "LINKER:-Bsymbolic"
      "LINKER:--no-undefined")
    set_property(TARGET zentavol_${code} APPEND PROPERTY LINK_DEPENDS "${ZV_VERSION_SCRIPT}")
  endif()

  set(ZV_VARIANTS ${ZV_VARIANTS} ${code} CACHE INTERNAL "variant codes defined so far")
endfunction()
