# Shared part of the two mingw-w64 toolchain files; QRVL_MINGW_TRIPLE is set by the caller.
# The -posix compilers are the ones with std::thread and std::mutex.
set(CMAKE_C_COMPILER ${QRVL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QRVL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QRVL_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QRVL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static runtime: the programs import only system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
