# Cross build for 32-bit Windows with Debian's mingw-w64, the build that ships; tests run under
# 32-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VELUM_MINGW_PREFIX i686-w64-mingw32)
set(VELUM_WINEARCH win32)
set(VELUM_WINE_NAMES wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
