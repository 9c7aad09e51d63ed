# Cross-compiles for 32-bit Windows with Debian's i686 mingw-w64 toolchain (posix threads).
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
