# The release package of the 32-bit Windows module, included by the top-level CMakeLists.txt.
#   cmake --build --preset win32 --target package   -> build/win32/veilmere-<version>-win32.zip
#   cmake --install build/win32 --prefix FOLDER     -> the same files in FOLDER
# The package holds, in this order: veilmere.qfi, README-en.txt, README-ja.txt, LICENSE,
# UNTESTED.txt in an -untested package only, and SHA256SUMS. The three texts get Windows line ends, since Notepad is where users read them;
# README-ja.txt keeps its byte-order mark, by which Notepad on a Japanese system knows it is
# UTF-8 rather than Shift_JIS.

set(VEILMERE_PACKAGE_SUFFIX "" CACHE STRING
  "Appended to the package's name; scripts/release sets -untested when the 32-bit suite could not run here")
if(NOT VEILMERE_PACKAGE_SUFFIX MATCHES "^(-[a-z0-9]+)*$")
  message(FATAL_ERROR "VEILMERE_PACKAGE_SUFFIX must be empty or like -untested, not '${VEILMERE_PACKAGE_SUFFIX}'")
endif()

# A package whose module the 32-bit suite did not test says so where a user reads: at the top
# of both notes, and in UNTESTED.txt beside SHA256SUMS, which lists it too.
set(VEILMERE_UNTESTED_EN "")
set(VEILMERE_UNTESTED_JA "")
set(package_untested OFF)
if(VEILMERE_PACKAGE_SUFFIX MATCHES "untested")
  set(package_untested ON)
  # Joined with Windows line ends here: configure_file converts the template's own line ends,
  # not those inside a value it puts in.
  string(JOIN "\r\n" VEILMERE_UNTESTED_EN "" ""
    "UNTESTED: this package was made where its 32-bit module could not be"
    "tested, and its name ends in -untested. Use a tested package if you can.")
  string(JOIN "\r\n" VEILMERE_UNTESTED_JA "" ""
    "未テスト: このパッケージは、32 ビットのプラグインをテストできない環境で"
    "作られました（名前の末尾が -untested です）。できればテスト済みの"
    "パッケージをお使いください。")
endif()

set(package_dir ${PROJECT_BINARY_DIR}/package)
file(REMOVE ${package_dir}/UNTESTED.txt)
set(package_texts)
set(package_entries veilmere.qfi)
foreach(text packaging/README-en.txt packaging/README-ja.txt LICENSE)
  get_filename_component(name ${text} NAME)
  configure_file(${PROJECT_SOURCE_DIR}/${text} ${package_dir}/${name} @ONLY NEWLINE_STYLE CRLF)
  list(APPEND package_texts ${package_dir}/${name})
  list(APPEND package_entries ${name})
endforeach()
if(package_untested)
  file(CONFIGURE OUTPUT ${package_dir}/UNTESTED.txt
    CONTENT "veilmere @PROJECT_VERSION@@VEILMERE_UNTESTED_EN@@VEILMERE_UNTESTED_JA@\r\n" @ONLY)
  list(APPEND package_texts ${package_dir}/UNTESTED.txt)
  list(APPEND package_entries UNTESTED.txt)
endif()
list(APPEND package_entries SHA256SUMS)

# SHA256SUMS follows the module: it is written again whenever the module is linked again.
add_custom_command(OUTPUT ${package_dir}/SHA256SUMS
  COMMAND ${CMAKE_COMMAND} -P ${CMAKE_CURRENT_LIST_DIR}/sha256sums.cmake
          ${package_dir}/SHA256SUMS $<TARGET_FILE:veilmere> ${package_texts}
  DEPENDS veilmere $<TARGET_FILE:veilmere> ${package_texts} ${CMAKE_CURRENT_LIST_DIR}/sha256sums.cmake
  COMMENT "Writing SHA256SUMS"
  VERBATIM)
add_custom_target(veilmere_sha256sums ALL DEPENDS ${package_dir}/SHA256SUMS)

install(TARGETS veilmere LIBRARY DESTINATION .)
install(FILES ${package_texts} ${package_dir}/SHA256SUMS DESTINATION .)

# CPack's ZIP generator stages the install() files and zips them; reproducible-zip.cmake then
# rewrites the ZIP with a fixed order, mode and time for each entry (see there why).
find_program(VEILMERE_ZIP zip REQUIRED)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME veilmere-${PROJECT_VERSION}-win32${VEILMERE_PACKAGE_SUFFIX})
# The ZIP's name for the rest of the build (include(CPack) leaves the source package's name in
# CPACK_PACKAGE_FILE_NAME).
set(VEILMERE_PACKAGE_FILE ${CPACK_PACKAGE_FILE_NAME}.zip)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/reproducible-zip.cmake)
set(CPACK_VEILMERE_ENTRIES ${package_entries})
set(CPACK_VEILMERE_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_VEILMERE_ZIP ${VEILMERE_ZIP})
include(CPack)
