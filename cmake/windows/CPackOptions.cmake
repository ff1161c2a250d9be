# Read by cpack for each generator: the setup program and the zip get their own names.
if(CPACK_GENERATOR STREQUAL "NSIS")
    set(CPACK_PACKAGE_FILE_NAME ${CPACK_VELUM_SETUP_FILE_NAME})
elseif(CPACK_GENERATOR STREQUAL "ZIP")
    set(CPACK_PACKAGE_FILE_NAME ${CPACK_VELUM_ZIP_FILE_NAME})
endif()
