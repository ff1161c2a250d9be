# Cross build for 64-bit Windows, for the tests only: on machines that cannot run 32-bit programs
# the Windows tests run on this build under 64-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VELUM_MINGW_PREFIX x86_64-w64-mingw32)
set(VELUM_WINEARCH win64)
set(VELUM_WINE_NAMES wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
