# Cross-builds the Windows program on Linux with mingw-w64 (the posix thread
# model, whose std::thread and std::mutex need no extra headers).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORVAN_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ORVAN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVAN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ORVAN_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ORVAN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No compiler runtime DLLs beside the executables: only Windows' own.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
