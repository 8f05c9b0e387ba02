# Cross build of the Windows programs with mingw-w64 (i686), the release target.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QRVL_MINGW_TRIPLE i686-w64-mingw32)
# Doubles computed in SSE2 registers, as in the x86_64 build, rather than in 80-bit x87
# ones: both builds then round every step alike and draw the same pixels. Every processor
# that runs a supported Windows has SSE2. The 32-bit system keeps the stack 4-byte aligned,
# so functions that need more realign it themselves.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
