# Sets VEILMERE_FILTER_COUNT and writes filters/filter_labels.h into the build folder from the filter table
# (filters/filter_table.h): each filter's labels, and the category's, as the host reads them,
# "English|Japanese" in code page 932. The table is written in UTF-8 so that a reader sees the
# Japanese; the system's iconv (glibc's, on every Debian machine) makes the bytes. A label
# iconv cannot write in code page 932 stops the configuration, naming it.
#
# The header is rewritten only when its text changes, so that a new configuration does not
# rebuild the module; editing the table configures anew.

set(table ${PROJECT_SOURCE_DIR}/filters/filter_table.h)
set(generated ${PROJECT_BINARY_DIR}/generated)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${table})

find_program(VEILMERE_ICONV iconv REQUIRED)

# A C++ string literal of `text` in code page 932, in `out`: printable ASCII as itself, every
# other byte as a three-digit octal escape, which never takes in the character after it.
function(veilmere_cp932_literal text out)
  set(scratch ${CMAKE_CURRENT_BINARY_DIR}/CMakeFiles/filter-label)
  file(WRITE ${scratch}.utf8 "${text}")
  execute_process(COMMAND ${VEILMERE_ICONV} -f UTF-8 -t CP932 ${scratch}.utf8
    OUTPUT_FILE ${scratch}.cp932 RESULT_VARIABLE status ERROR_VARIABLE error)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "filter label '${text}' cannot be written in code page 932: ${error}")
  endif()
  file(READ ${scratch}.cp932 hex HEX)
  string(LENGTH "${hex}" length)
  set(literal "")
  foreach(at RANGE 0 ${length} 2)
    if(at EQUAL length)
      break()
    endif()
    string(SUBSTRING "${hex}" ${at} 2 digits)
    math(EXPR byte "0x${digits}")
    if(byte GREATER_EQUAL 32 AND byte LESS 127 AND NOT byte EQUAL 34 AND NOT byte EQUAL 92)
      string(ASCII ${byte} character)
      string(APPEND literal "${character}")
    else()
      math(EXPR high "${byte} / 64")
      math(EXPR middle "${byte} / 8 % 8")
      math(EXPR low "${byte} % 8")
      string(APPEND literal "\\${high}${middle}${low}")
    endif()
  endforeach()
  set(${out} "\"${literal}\"" PARENT_SCOPE)
endfunction()

file(READ ${table} source)
string(REGEX REPLACE "//[^\n]*" "" source "${source}")
string(REPLACE "\\\n" " " source "${source}")
set(row_pattern "X\\(([A-Za-z0-9_]+),[ \t]*\"([^\"]*)\",[ \t]*\"([^\"]*)\"\\)")
string(REGEX MATCHALL "${row_pattern}" rows "${source}")
list(LENGTH rows row_count)
if(row_count LESS 2)
  message(FATAL_ERROR "${table}: no rows of filters and category found")
endif()
# The number of filters, for the install notes (packaging/README-*.txt).
math(EXPR VEILMERE_FILTER_COUNT "${row_count} - 1")

set(header "#pragma once
// Made by cmake/filter-labels.cmake from filters/filter_table.h, whose rows it follows: each
// filter's labels, \"English|Japanese\", in code page 932. Not to be edited.

namespace veilmere {

// FilterLabels<Class>::kName; a class without a row in the table has none.
template <class Filter>
struct FilterLabels;
")
foreach(row IN LISTS rows)
  string(REGEX MATCH "${row_pattern}" _ "${row}")
  set(name ${CMAKE_MATCH_1})
  set(labels "${CMAKE_MATCH_2}|${CMAKE_MATCH_3}")
  veilmere_cp932_literal("${labels}" literal)
  if(name STREQUAL "kTransparencyCategory")
    string(APPEND header "
// ${labels}
inline constexpr char ${name}[] = ${literal};
")
  else()
    string(APPEND header "
// ${labels}
class ${name};
template <>
struct FilterLabels<${name}> {
  static constexpr char kName[] = ${literal};
};
")
  endif()
endforeach()
string(APPEND header "
}  // namespace veilmere
")

file(WRITE ${generated}/filters/filter_labels.h.new "${header}")
configure_file(${generated}/filters/filter_labels.h.new ${generated}/filters/filter_labels.h COPYONLY)
