# Cross-compiles for 64-bit Windows with Debian's x86-64 mingw-w64 toolchain (posix threads,
# as for win32). The 64-bit module is a test vehicle for machines that cannot run 32-bit
# programs: Wine runs its tests through wine64. It is never shipped.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
