# Run by cpack after its ZIP generator (CPACK_POST_BUILD_SCRIPTS); rewrites each package in
# CPACK_PACKAGE_FILES so that one commit gives the same bytes wherever and whenever it is built.
# CPack's own ZIP lists the files in whatever order the staging folder returns them (on most
# file systems an order of name hashes) and records the builder's user and group ids. The
# rewritten ZIP holds exactly CPACK_VEILMERE_ENTRIES, in that order, each a plain entry with
# mode 0644 and the commit's time as its UTC DOS time, and nothing else: no extra fields
# (zip -X), no folder entries (zip -D).
#
# The commit's time is SOURCE_DATE_EPOCH when set, else the time of the source tree's HEAD
# commit. A tree without git history needs SOURCE_DATE_EPOCH.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch "$ENV{SOURCE_DATE_EPOCH}")
else()
  execute_process(COMMAND git -C "${CPACK_VEILMERE_SOURCE_DIR}" log -1 --format=%ct
                  OUTPUT_VARIABLE epoch RESULT_VARIABLE status
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "The package's time comes from the commit it is built from, but "
      "${CPACK_VEILMERE_SOURCE_DIR} has no git history: set SOURCE_DATE_EPOCH to that time "
      "(seconds since 1970).")
  endif()
endif()
# 315532800 is 1 January 1980, the earliest time a ZIP entry can carry.
if(NOT epoch MATCHES "^[0-9]+$" OR epoch LESS 315532800)
  message(FATAL_ERROR "SOURCE_DATE_EPOCH '${epoch}' is not a time from 1980 on, in seconds since 1970")
endif()

set(entries ${CPACK_VEILMERE_ENTRIES})
set(expected ${entries})
list(SORT expected)
foreach(package ${CPACK_PACKAGE_FILES})
  set(work "${package}.entries")
  set(rewritten "${package}.rewritten.zip")
  file(REMOVE_RECURSE "${work}" "${rewritten}")
  file(ARCHIVE_EXTRACT INPUT "${package}" DESTINATION "${work}")

  # An install() rule added without a matching entry above would otherwise be dropped unseen.
  file(GLOB_RECURSE found RELATIVE "${work}" LIST_DIRECTORIES false "${work}/*")
  list(SORT found)
  if(NOT found STREQUAL expected)
    message(FATAL_ERROR "${package} holds '${found}' but the package is to hold '${expected}'")
  endif()

  foreach(entry ${entries})
    file(CHMOD "${work}/${entry}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endforeach()
  execute_process(COMMAND touch -d "@${epoch}" ${entries}
                  WORKING_DIRECTORY "${work}" COMMAND_ERROR_IS_FATAL ANY)
  # zip writes an entry's DOS time in the local time zone; UTC makes it the same everywhere.
  set(ENV{TZ} UTC0)
  execute_process(COMMAND "${CPACK_VEILMERE_ZIP}" -X -D -q "${rewritten}" ${entries}
                  WORKING_DIRECTORY "${work}" COMMAND_ERROR_IS_FATAL ANY)
  file(RENAME "${rewritten}" "${package}")
  file(REMOVE_RECURSE "${work}")
endforeach()
