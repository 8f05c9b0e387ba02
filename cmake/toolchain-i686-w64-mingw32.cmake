# Cross build of the Windows programs with mingw-w64 (i686), the release target.
# This machine cannot execute 32-bit programs, so the build only compiles.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QRVL_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
