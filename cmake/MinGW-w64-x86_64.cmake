# Cross-compiling for Windows x64 with Debian's MinGW-w64 (posix thread model,
# which Qt 6 needs). Used for the Windows libraries and for Tavrix itself.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)

# The Windows libraries of this build (Qt, FFmpeg, LAME) live in
# TAVRIX_WINDOWS_PREFIX; nothing is taken from the Linux host but its tools.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
if(TAVRIX_WINDOWS_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH ${TAVRIX_WINDOWS_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TAVRIX_WINDOWS_PREFIX)
