# Shared by the mingw-w64 toolchain files, which set VELUM_MINGW_PREFIX, CMAKE_SYSTEM_PROCESSOR,
# VELUM_WINEARCH and VELUM_WINE_NAMES (the Wine loaders that run this width) first.
set(CMAKE_SYSTEM_NAME Windows)

# The POSIX thread model, so that std::thread and std::mutex are there.
find_program(CMAKE_CXX_COMPILER NAMES ${VELUM_MINGW_PREFIX}-g++-posix ${VELUM_MINGW_PREFIX}-g++)
find_program(CMAKE_C_COMPILER NAMES ${VELUM_MINGW_PREFIX}-gcc-posix ${VELUM_MINGW_PREFIX}-gcc)
find_program(CMAKE_RC_COMPILER NAMES ${VELUM_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELUM_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Debian keeps the bare loaders in /usr/lib/wine; other systems put them on the PATH.
find_program(VELUM_WINE NAMES ${VELUM_WINE_NAMES} PATHS /usr/lib/wine /usr/lib64/wine)
find_program(VELUM_WINESERVER NAMES wineserver PATHS /usr/lib/wine /usr/lib64/wine)
if(VELUM_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VELUM_WINE})
endif()
