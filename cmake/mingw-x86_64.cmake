# Cross build for 64-bit Windows with Debian's mingw-w64; its tests run under 64-bit Wine, which
# works on kernels that cannot run 32-bit programs. The shipped build is the 32-bit one.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELUM_MINGW_PREFIX x86_64-w64-mingw32)
# The POSIX thread model, so that std::thread and std::mutex are there.
find_program(CMAKE_CXX_COMPILER NAMES ${VELUM_MINGW_PREFIX}-g++-posix ${VELUM_MINGW_PREFIX}-g++)
find_program(CMAKE_C_COMPILER NAMES ${VELUM_MINGW_PREFIX}-gcc-posix ${VELUM_MINGW_PREFIX}-gcc)
find_program(CMAKE_RC_COMPILER NAMES ${VELUM_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELUM_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Debian's wine64 package puts the 64-bit loader outside PATH.
find_program(VELUM_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(VELUM_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VELUM_WINE})
endif()
