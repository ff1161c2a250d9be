# The Windows packages: from the 64-bit build `cpack -G NSIS` makes velum-<version>-setup.exe,
# the setup program that ships (for the person running it, or /ALLUSERS for the machine), and
# from either build `cpack -G ZIP` a .zip for people who do not install. The installer is
# our own template for CPack's NSIS generator (windows/NSIS.template.in); CPack still gathers
# the files and runs makensis.

# A short text on running the programs, with Windows line ends so that Notepad shows it.
file(READ ${PROJECT_SOURCE_DIR}/data/windows/README.txt.in velum_readme)
string(CONFIGURE "${velum_readme}" velum_readme @ONLY)
string(REPLACE "\n" "\r\n" velum_readme "${velum_readme}")
file(WRITE ${CMAKE_BINARY_DIR}/package/README.txt.new "${velum_readme}")
configure_file(${CMAKE_BINARY_DIR}/package/README.txt.new ${CMAKE_BINARY_DIR}/package/README.txt
               COPYONLY)
install(FILES ${CMAKE_BINARY_DIR}/package/README.txt DESTINATION .)

set(CPACK_PACKAGE_NAME Velum)
set(CPACK_PACKAGE_VENDOR Velumor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY Velum)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Velum)
set(CPACK_STRIP_FILES ON) # the debug information stays in the build tree
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
set(CPACK_VELUM_ICON ${CMAKE_BINARY_DIR}/resources/velum.ico) # made by WindowsResources.cmake
set(CPACK_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR}/windows)
# A 64-bit build gets a 64-bit installer for the 64-bit Program Files and registry; the shipped
# 32-bit one installs where Windows puts 32-bit programs.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_VELUM_NSIS_TARGET amd64-unicode)
    set(CPACK_VELUM_REGISTRY_VIEW 64)
    set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
    set(CPACK_VELUM_WINDOWS_ARCH win64)
else()
    set(CPACK_VELUM_NSIS_TARGET x86-unicode)
    set(CPACK_VELUM_REGISTRY_VIEW 32)
    set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES")
    set(CPACK_VELUM_WINDOWS_ARCH win32)
endif()
# The shipped setup program installs the 64-bit programs; the 32-bit ones ship in their zip (a
# setup program made from the 32-bit build says so in its name).
if(CPACK_VELUM_WINDOWS_ARCH STREQUAL win64)
    set(CPACK_VELUM_SETUP_FILE_NAME velum-${PROJECT_VERSION}-setup)
else()
    set(CPACK_VELUM_SETUP_FILE_NAME velum-${PROJECT_VERSION}-win32-setup)
endif()
set(CPACK_VELUM_ZIP_FILE_NAME velum-${PROJECT_VERSION}-${CPACK_VELUM_WINDOWS_ARCH})
# The file name depends on the generator, which only cpack knows.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/windows/CPackOptions.cmake)
if(CPACK_VELUM_WINDOWS_ARCH STREQUAL win64)
    set(CPACK_GENERATOR NSIS ZIP)
else()
    set(CPACK_GENERATOR ZIP)
endif()
include(CPack)
