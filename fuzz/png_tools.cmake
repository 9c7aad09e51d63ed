# The PNG decoder's seed writer and its check against libspng, native only: scripts/fuzz runs
# them around fuzz_png, and the tests over the seeds and fuzz_png's kept corpus (fuzz/png-corpus).
# libspng is Debian's libspng-dev; without it png_differential is not built, and its test is
# reported as skipped with the reason. The fuzz build preset builds both by one name,
# png_tools, whether or not libspng is there.

find_package(ZLIB REQUIRED)
add_executable(png_seeds ${CMAKE_CURRENT_LIST_DIR}/png_seeds.cpp)
target_link_libraries(png_seeds PRIVATE ZLIB::ZLIB)
add_custom_target(png_tools)
add_dependencies(png_tools png_seeds)

find_package(PkgConfig)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(SPNG IMPORTED_TARGET spng)
endif()
if(SPNG_FOUND)
  add_executable(png_differential ${CMAKE_CURRENT_LIST_DIR}/png_differential.cpp)
  target_link_libraries(png_differential PRIVATE qfhost_core PkgConfig::SPNG)
  add_dependencies(png_tools png_differential)
else()
  message(STATUS "libspng not found (Debian's libspng-dev): qfhost's PNG decoder is not compared with it")
endif()
