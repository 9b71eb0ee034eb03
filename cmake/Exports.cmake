# SPDX-License-Identifier: MIT
# Reads the export list (runtime/export_list.h) into ZV_EXPORT_NAMES, in
# ordinal order, and writes the linker files generated from it.
file(STRINGS "${PROJECT_SOURCE_DIR}/runtime/export_list.h" _zv_lines REGEX "^ZV_EXPORT\\(")
set(ZV_EXPORT_NAMES "")
foreach(_line IN LISTS _zv_lines)
  string(REGEX REPLACE "^ZV_EXPORT\\(([0-9]+), ([A-Za-z0-9_]+)\\).*" "\\2" _name "${_line}")
  list(APPEND ZV_EXPORT_NAMES "${_name}")
endforeach()
list(LENGTH ZV_EXPORT_NAMES _zv_count)
if(NOT _zv_count EQUAL 16)
  message(FATAL_ERROR "runtime/export_list.h must list sixteen exports, found ${_zv_count}")
endif()

# ELF version script: the sixteen names global, everything else local.
set(ZV_VERSION_SCRIPT "${PROJECT_BINARY_DIR}/zentavol.map")
set(_map "{\n  global:\n")
foreach(_name IN LISTS ZV_EXPORT_NAMES)
  string(APPEND _map "    ${_name};\n")
endforeach()
string(APPEND _map "  local:\n    *;\n};\n")
file(CONFIGURE OUTPUT "${ZV_VERSION_SCRIPT}" CONTENT "${_map}" @ONLY)

# Windows module definition: the names with ordinals 1 to 16.
set(ZV_DEF_FILE "${PROJECT_BINARY_DIR}/zentavol.def")
set(_def "EXPORTS\n")
set(_ordinal 1)
foreach(_name IN LISTS ZV_EXPORT_NAMES)
  string(APPEND _def "    ${_name} @${_ordinal}\n")
  math(EXPR _ordinal "${_ordinal} + 1")
endforeach()
file(CONFIGURE OUTPUT "${ZV_DEF_FILE}" CONTENT "${_def}" @ONLY)
