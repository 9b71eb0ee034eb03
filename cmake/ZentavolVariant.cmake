# SPDX-License-Identifier: MIT
# zv_add_variant(<code> [FLAGS <compile flags>] [FLAGS_I686 <compile flags>]
#                ISA <instruction sets> KERNELS <kernel sources>
#                [WIDE_KERNELS <kernel sources> WIDE_FLAGS_I686 <flags> WIDE_ISA <sets>]
#                [DYNAMIC_ROUNDING <kernel sources>] [AVX_KERNELS <kernel sources>]
#                [NEEDS <features>] [NEEDS_FAMILY <family>] [NEEDS_SSE_STATE]
#                [EXPORT_SETS "<sets>: <exports>"...]
#                [TRAITS <traits>] [SAME_FFT_BITS <code> <highest order> finite|any])
#
# Defines one variant library from the shared sources of subsystems 2 to 4,
# its own kernel files and its build definition variants/<code>/variant.h:
#   zentavol_<code>_core  its static library, linked whole (unit tests link it)
#   zentavol_<code>       the shared library libZentavol<code>.so / Zentavol<code>.dll
# The code is a lower-case letter and a digit; the library's name is
# Zentavol<code>, which code built on its core (the unit tests) sees as
# ZV_VARIANT_LIBRARY_NAME.
#
# What the front library checks before it loads the build: NEEDS, the leaf-1
# EDX feature bits its instructions need (fpu cmov mmx sse sse2),
# NEEDS_FAMILY, the lowest 4-bit family field (for instructions without a
# feature bit of their own), and NEEDS_SSE_STATE, a system that saves the SSE
# registers. The front library's table of builds is generated from the rows
# (zv_write_build_tables).
#
# What the black-box tests may expect of the build where builds differ:
# TRAITS, words from the list in tests/support/variant_traits.h (some with a
# value: fft_scratch=<elements>), and SAME_FFT_BITS, another build whose
# transforms give the same bits up to an order, on finite data or any.
# The shared sources are compiled once per variant on purpose, with that
# variant's instruction-set flags: FLAGS on every target, FLAGS_I686 on
# 32-bit x86 only (the Windows build; they name processors that a 64-bit
# target does not have). ISA lists the instruction sets the build may use
# (i386 i486 i586 x87 cmov mmx sse sse2, and sse2load: SSE2's 8-byte load
# into a vector register alone), which the instruction-set test of the
# 32-bit build holds its object files to. WIDE_KERNELS are kernel files that
# may use more than the rest of the build: compiled with WIDE_FLAGS_I686 on
# top of the row's flags and held to WIDE_ISA instead of ISA.
# AVX_KERNELS are kernel files of the 64-bit x86 builds only, compiled with
# -mavx (their code runs only where the processor has AVX).
# EXPORT_SETS says what each export, with all it calls, may execute beyond
# the row's integer sets: strings of the floating-point and vector sets
# (x87 mmx sse sse2 sse2load, with the prefetches prefetcht0, prefetchnta and
# the non-temporal stores ntstore named apart from sse), a colon and the
# exports they hold for; an export not named runs on integer instructions
# alone. The 32-bit DLLs are held to them (tests/isa/check_exports.cmake).
# DYNAMIC_ROUNDING names those of the KERNELS whose results follow the
# caller's rounding mode, or that set one: they are compiled with
# -frounding-math. Without it a compiler may assume rounding to nearest, and
# does: one turns an unsigned 32-bit integer into a float by subtracting and
# adding a power of two, which gives -0 for 0 when rounding down. Only these
# files, because the option costs the others their optimisation.
# Each subsystem lists its shared sources in its own sources.cmake.
include("${PROJECT_SOURCE_DIR}/runtime/sources.cmake")
include("${PROJECT_SOURCE_DIR}/vector/sources.cmake")
include("${PROJECT_SOURCE_DIR}/fft/sources.cmake")
set(ZV_SHARED_SOURCES ${ZV_RUNTIME_SOURCES} ${ZV_FFT_SOURCES} ${ZV_VECTOR_SOURCES} variants/contract.cpp)
if(WIN32)
  set(ZV_PLATFORM_SOURCES platform/win32/platform.cpp)
else()
  set(ZV_PLATFORM_SOURCES platform/posix/platform.cpp)
endif()

set(ZV_VARIANTS "" CACHE INTERNAL "variant codes defined so far")

if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86|i[3-6]86)$")
  set(ZV_TARGET_I686 ON)
else()
  set(ZV_TARGET_I686 OFF)
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 8 AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(ZV_TARGET_X86_64 ON)
else()
  set(ZV_TARGET_X86_64 OFF)
endif()

set(ZV_CPU_FEATURE_BITS fpu=0 cmov=15 mmx=23 sse=25 sse2=26)

function(zv_add_variant code)
  set(lists FLAGS FLAGS_I686 ISA KERNELS WIDE_KERNELS WIDE_FLAGS_I686 WIDE_ISA DYNAMIC_ROUNDING
    AVX_KERNELS NEEDS TRAITS SAME_FFT_BITS EXPORT_SETS)
  cmake_parse_arguments(PARSE_ARGV 1 V "NEEDS_SSE_STATE" "NEEDS_FAMILY" "${lists}")
  if(V_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "zv_add_variant(${code}): unknown arguments ${V_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT code MATCHES "^[a-z][0-9]$")
    message(FATAL_ERROR "zv_add_variant(${code}): a code is a lower-case letter and a digit")
  endif()
  if(code IN_LIST ZV_VARIANTS)
    message(FATAL_ERROR "zv_add_variant(${code}): a second row with this code")
  endif()
  if(NOT EXISTS "${PROJECT_SOURCE_DIR}/variants/${code}/variant.h")
    message(FATAL_ERROR "zv_add_variant(${code}): no variants/${code}/variant.h")
  endif()
  if(NOT V_ISA)
    message(FATAL_ERROR "zv_add_variant(${code}): the row names no instruction sets (ISA)")
  endif()
  set(feature_mask 0)
  foreach(need IN LISTS V_NEEDS)
    set(known ${ZV_CPU_FEATURE_BITS})
    list(FILTER known INCLUDE REGEX "^${need}=")
    if(NOT known)
      message(FATAL_ERROR "zv_add_variant(${code}): NEEDS ${need} is none of fpu cmov mmx sse sse2")
    endif()
    string(REGEX REPLACE "^.*=" "" bit "${known}")
    math(EXPR feature_mask "${feature_mask} | (1 << ${bit})" OUTPUT_FORMAT HEXADECIMAL)
  endforeach()
  if(NOT V_NEEDS_FAMILY)
    set(V_NEEDS_FAMILY 0)
  elseif(NOT V_NEEDS_FAMILY MATCHES "^([0-9]|1[0-5])$")
    message(FATAL_ERROR "zv_add_variant(${code}): NEEDS_FAMILY ${V_NEEDS_FAMILY} is no 4-bit family")
  endif()
  if(V_SAME_FFT_BITS)
    list(LENGTH V_SAME_FFT_BITS count)
    list(GET V_SAME_FFT_BITS -1 data)
    if(NOT count EQUAL 3 OR NOT data MATCHES "^(finite|any)$")
      message(FATAL_ERROR "zv_add_variant(${code}): SAME_FFT_BITS takes <code> <highest order> finite|any")
    endif()
  endif()
  set(exports_named "")
  foreach(cell IN LISTS V_EXPORT_SETS)
    if(NOT cell MATCHES "^([a-z0-9 ]+): *([A-Za-z0-9 ]+)$")
      message(FATAL_ERROR "zv_add_variant(${code}): EXPORT_SETS \"${cell}\" is no \"<sets>: <exports>\"")
    endif()
    separate_arguments(sets UNIX_COMMAND "${CMAKE_MATCH_1}")
    separate_arguments(names UNIX_COMMAND "${CMAKE_MATCH_2}")
    foreach(set IN LISTS sets)
      if(NOT set MATCHES "^(x87|mmx|sse|sse2|sse2load|prefetcht0|prefetchnta|ntstore)$")
        message(FATAL_ERROR "zv_add_variant(${code}): EXPORT_SETS names no set ${set}")
      endif()
    endforeach()
    foreach(name IN LISTS names)
      if(NOT name IN_LIST ZV_EXPORT_NAMES OR name IN_LIST exports_named)
        message(FATAL_ERROR "zv_add_variant(${code}): EXPORT_SETS: ${name} is no export or named twice")
      endif()
      list(APPEND exports_named ${name})
    endforeach()
  endforeach()
  foreach(file IN LISTS V_DYNAMIC_ROUNDING)
    if(NOT file IN_LIST V_KERNELS)
      message(FATAL_ERROR "zv_add_variant(${code}): ${file} (DYNAMIC_ROUNDING) is none of its KERNELS")
    endif()
  endforeach()
  if(ZV_TARGET_I686)
    list(APPEND V_FLAGS ${V_FLAGS_I686})
  endif()
  set(core zentavol_${code}_core)
  set(kernel_files ${V_KERNELS} ${V_WIDE_KERNELS} ${V_AVX_KERNELS})
  set(wide_files ${V_WIDE_KERNELS})
  set(avx_files ${V_AVX_KERNELS})
  list(TRANSFORM V_KERNELS PREPEND "${PROJECT_SOURCE_DIR}/")
  list(TRANSFORM V_DYNAMIC_ROUNDING PREPEND "${PROJECT_SOURCE_DIR}/")
  set(shared ${ZV_SHARED_SOURCES} ${ZV_PLATFORM_SOURCES})
  list(TRANSFORM shared PREPEND "${PROJECT_SOURCE_DIR}/")

  # One set of objects feeds both the static core and the shared library;
  # the wide kernels are a set of their own, with their own flags.
  set(object_sets ${core}_objects)
  add_library(${core}_objects OBJECT ${shared} ${V_KERNELS})
  if(V_WIDE_KERNELS)
    list(TRANSFORM V_WIDE_KERNELS PREPEND "${PROJECT_SOURCE_DIR}/")
    add_library(${core}_wide_objects OBJECT ${V_WIDE_KERNELS})
    list(APPEND object_sets ${core}_wide_objects)
    if(ZV_TARGET_I686)
      target_compile_options(${core}_wide_objects PRIVATE ${V_FLAGS} ${V_WIDE_FLAGS_I686})
    else()
      target_compile_options(${core}_wide_objects PRIVATE ${V_FLAGS})
    endif()
  endif()
  if(V_AVX_KERNELS AND ZV_TARGET_X86_64)
    list(TRANSFORM V_AVX_KERNELS PREPEND "${PROJECT_SOURCE_DIR}/")
    add_library(${core}_avx_objects OBJECT ${V_AVX_KERNELS})
    list(APPEND object_sets ${core}_avx_objects)
    target_compile_options(${core}_avx_objects PRIVATE ${V_FLAGS} -mavx)
  endif()
  if(V_DYNAMIC_ROUNDING)
    set_property(SOURCE ${V_DYNAMIC_ROUNDING} TARGET_DIRECTORY ${core}_objects
      APPEND PROPERTY COMPILE_OPTIONS -frounding-math)
  endif()
  target_compile_options(${core}_objects PRIVATE ${V_FLAGS})
  set(all_objects "")
  foreach(set IN LISTS object_sets)
    # A C interface that throws nothing: without unwinding landing pads no
    # object asks for the C++ runtime's exception support, which would bring
    # its thread layer (a DLL of its own with mingw's POSIX threads) along.
    target_compile_options(${set} PRIVATE -fno-exceptions)
    target_include_directories(${set} PUBLIC
      "${PROJECT_SOURCE_DIR}/include"
      "${PROJECT_SOURCE_DIR}"
      "${PROJECT_SOURCE_DIR}/variants/${code}")
    target_link_libraries(${set} PUBLIC zv_build_flags)
    set_target_properties(${set} PROPERTIES
      POSITION_INDEPENDENT_CODE ON
      CXX_VISIBILITY_PRESET hidden
      VISIBILITY_INLINES_HIDDEN ON)
    if(NOT WIN32)
      target_link_libraries(${set} PUBLIC Threads::Threads)
    endif()
    list(APPEND all_objects $<TARGET_OBJECTS:${set}>)
  endforeach()

  # Whole archive: the load and unload handling is reached by no call, only
  # by the platform, and must come along into every program that links it.
  add_library(${core}_archive STATIC ${all_objects})
  add_library(${core} INTERFACE)
  target_link_libraries(${core} INTERFACE
    "$<LINK_LIBRARY:WHOLE_ARCHIVE,${core}_archive>" ${core}_objects)
  # The library's name, for code built on the core (the library itself needs
  # none).
  target_compile_definitions(${core} INTERFACE ZV_VARIANT_LIBRARY_NAME="Zentavol${code}")

  add_library(zentavol_${code} SHARED ${all_objects})
  target_link_libraries(zentavol_${code} PRIVATE zv_build_flags)
  if(NOT WIN32)
    target_link_libraries(zentavol_${code} PRIVATE Threads::Threads)
  endif()
  set_target_properties(zentavol_${code} PROPERTIES
    OUTPUT_NAME "Zentavol${code}"
    PREFIX "${ZV_LIBRARY_PREFIX}")
  # ZV_FLAGS: the flags under which every kernel file of the row compiles
  # (the wide ones need theirs).
  set(kernel_flags ${V_FLAGS})
  if(ZV_TARGET_I686)
    list(APPEND kernel_flags ${V_WIDE_FLAGS_I686})
  endif()
  # ZV_VECTOR_KERNELS: the row's conversion kernels (cvrts* of the kernel
  # folders); rows with the same files share their reference sweeps.
  set(vector_kernels ${V_KERNELS} ${V_WIDE_KERNELS})
  list(FILTER vector_kernels INCLUDE REGEX "(/|^)kernels/[^/]+/cvrts[^/]*$")
  list(TRANSFORM vector_kernels REPLACE "^.*/(vector|kernels)/" "\\1/")
  list(SORT vector_kernels)
  set_target_properties(zentavol_${code} PROPERTIES ZV_ISA "${V_ISA}" ZV_FLAGS "${kernel_flags}"
    ZV_WIDE_ISA "${V_WIDE_ISA}" ZV_OBJECT_SETS "${object_sets}" ZV_VECTOR_KERNELS "${vector_kernels}"
    ZV_EXPORT_SETS "${V_EXPORT_SETS}")
  if(WIN32)
    target_sources(zentavol_${code} PRIVATE "${ZV_DEF_FILE}")
    # The C and C++ runtimes of the compiler go into the DLL, so that it
    # imports only KERNEL32.dll and msvcrt.dll.
    target_link_options(zentavol_${code} PRIVATE -static-libgcc -static-libstdc++)
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
  set_property(GLOBAL PROPERTY ZV_ROW_${code}_FEATURES "${feature_mask}")
  set_property(GLOBAL PROPERTY ZV_ROW_${code}_FAMILY "${V_NEEDS_FAMILY}")
  set_property(GLOBAL PROPERTY ZV_ROW_${code}_SSE_STATE "${V_NEEDS_SSE_STATE}")
  set_property(GLOBAL PROPERTY ZV_ROW_${code}_TRAITS "${V_TRAITS}")
  set_property(GLOBAL PROPERTY ZV_ROW_${code}_AVX_KERNELS "${V_AVX_KERNELS}")
  set_property(GLOBAL PROPERTY ZV_ROW_${code}_KERNEL_FILES "${kernel_files}")
  set_property(GLOBAL PROPERTY ZV_ROW_${code}_WIDE_FILES "${wide_files}")
  set_property(GLOBAL PROPERTY ZV_ROW_${code}_AVX_FILES "${avx_files}")
  set_property(GLOBAL PROPERTY ZV_ROW_${code}_FLAGS "${V_FLAGS}")
  set_property(GLOBAL PROPERTY ZV_ROW_${code}_WIDE_FLAGS "${V_WIDE_FLAGS_I686}")
  set_property(GLOBAL PROPERTY ZV_ROW_${code}_SAME_FFT_BITS "${V_SAME_FFT_BITS}")
endfunction()

# zv_first_row_linking(<out> <kernel file>): the code of the first row whose
# KERNELS, WIDE_KERNELS or AVX_KERNELS name the file (a path from the source
# root, as the rows write it); empty when no row links it. Programs that
# compile a kernel file on their own take that row's variant.h and flags.
function(zv_first_row_linking out file)
  set(found "")
  foreach(code IN LISTS ZV_VARIANTS)
    get_property(files GLOBAL PROPERTY ZV_ROW_${code}_KERNEL_FILES)
    if(file IN_LIST files)
      set(found ${code})
      break()
    endif()
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

# zv_row_kernel_objects(<target> <code> <kernel files>...): an object library
# of kernel files (paths from the source root) compiled as row <code>
# compiles them, for programs that test them on their own: the row's flags
# (with its wide flags for WIDE_KERNELS, -mavx for AVX_KERNELS) and none of
# the directory's, and its variant.h. The files are all of one kind. The
# target's ZV_ISA holds the sets the objects keep to on 32-bit x86 (ISA, or
# WIDE_ISA for wide kernels; none for AVX ones), ZV_ROW the code.
function(zv_row_kernel_objects target code)
  get_property(files GLOBAL PROPERTY ZV_ROW_${code}_KERNEL_FILES)
  get_property(wide GLOBAL PROPERTY ZV_ROW_${code}_WIDE_FILES)
  get_property(avx GLOBAL PROPERTY ZV_ROW_${code}_AVX_FILES)
  set(kind "")
  foreach(file IN LISTS ARGN)
    if(NOT file IN_LIST files)
      message(FATAL_ERROR "zv_row_kernel_objects(${target}): row ${code} does not link ${file}")
    elseif(file IN_LIST wide)
      set(this wide)
    elseif(file IN_LIST avx)
      set(this avx)
    else()
      set(this plain)
    endif()
    if(kind AND NOT kind STREQUAL this)
      message(FATAL_ERROR "zv_row_kernel_objects(${target}): ${ARGN} mix kinds of kernels")
    endif()
    set(kind ${this})
  endforeach()
  get_property(options GLOBAL PROPERTY ZV_ROW_${code}_FLAGS)
  get_target_property(isa zentavol_${code} ZV_ISA)
  if(kind STREQUAL "wide")
    if(ZV_TARGET_I686)
      get_property(wide_flags GLOBAL PROPERTY ZV_ROW_${code}_WIDE_FLAGS)
      list(APPEND options ${wide_flags})
    endif()
    get_target_property(isa zentavol_${code} ZV_WIDE_ISA)
  elseif(kind STREQUAL "avx")
    list(APPEND options -mavx)
    set(isa "")
  endif()
  set(sources ${ARGN})
  list(TRANSFORM sources PREPEND "${PROJECT_SOURCE_DIR}/")
  add_library(${target} OBJECT ${sources})
  set_property(TARGET ${target} PROPERTY COMPILE_OPTIONS "${options}")
  target_include_directories(${target} PRIVATE "${PROJECT_SOURCE_DIR}" "${PROJECT_SOURCE_DIR}/include"
    "${PROJECT_SOURCE_DIR}/variants/${code}")
  target_link_libraries(${target} PRIVATE zv_build_flags)
  # One object per source, compiled alone as the row's library compiles it
  # (test directories build their own sources as one unit; the audits find
  # these objects by their sources' names).
  set_target_properties(${target} PROPERTIES ZV_ISA "${isa}" ZV_ROW "${code}" UNITY_BUILD OFF)
endfunction()
