# cmake -P sha256sums.cmake OUTPUT FILE...
# Writes OUTPUT in the form `sha256sum -c` reads: for each FILE, in the order given, one line
# "<SHA-256 in 64 lower-case hex digits><two blanks><file name without its folder>", ending in
# a line feed. Written beside OUTPUT and renamed into place, so that an interrupted run never
# leaves a partial list.
if(CMAKE_ARGC LESS 5)
  message(FATAL_ERROR "usage: cmake -P sha256sums.cmake OUTPUT FILE...")
endif()
set(output "${CMAKE_ARGV3}")
set(lines "")
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE 4 ${last})
  set(file "${CMAKE_ARGV${i}}")
  file(SHA256 "${file}" sum)
  get_filename_component(name "${file}" NAME)
  string(APPEND lines "${sum}  ${name}\n")
endforeach()
file(WRITE "${output}.tmp" "${lines}")
file(RENAME "${output}.tmp" "${output}")
