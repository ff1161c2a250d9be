# Windows resources of the programs: the icon, made at build time from data/velum.svg with
# Debian's rsvg-convert and icotool, and a version resource from the project's version.
find_program(VELUM_RSVG_CONVERT rsvg-convert)
find_program(VELUM_ICOTOOL icotool)
if(NOT VELUM_RSVG_CONVERT OR NOT VELUM_ICOTOOL)
    message(FATAL_ERROR "The Windows build makes its icon with rsvg-convert (librsvg2-bin) and "
                        "icotool (icoutils); install them")
endif()

set(VELUM_ICON ${CMAKE_BINARY_DIR}/resources/velum.ico)
set(icon_pngs)
foreach(size 16 24 32 48 256)
    set(png ${CMAKE_BINARY_DIR}/resources/velum-${size}.png)
    add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/resources
        COMMAND ${VELUM_RSVG_CONVERT} -w ${size} -h ${size} -o ${png}
                ${PROJECT_SOURCE_DIR}/data/velum.svg
        DEPENDS ${PROJECT_SOURCE_DIR}/data/velum.svg VERBATIM)
    list(APPEND icon_pngs ${png})
endforeach()
add_custom_command(OUTPUT ${VELUM_ICON}
    COMMAND ${VELUM_ICOTOOL} -c -o ${VELUM_ICON} ${icon_pngs}
    DEPENDS ${icon_pngs} VERBATIM)
add_custom_target(velum_icon DEPENDS ${VELUM_ICON})

# velum_add_windows_resources(TARGET NAME DESCRIPTION [MANIFEST file]): the icon as resource 1,
# the version resource, and a manifest when one is given.
function(velum_add_windows_resources target name description)
    cmake_parse_arguments(arg "" "MANIFEST" "" ${ARGN})
    set(VELUM_RC_NAME ${name})
    set(VELUM_RC_DESCRIPTION ${description})
    set(dir ${CMAKE_BINARY_DIR}/resources/${name})
    configure_file(${PROJECT_SOURCE_DIR}/src/mainwindow/win32/version.rc.in ${dir}/version.rc
                   @ONLY)
    set(rc "#include \"version.rc\"\n1 ICON \"${VELUM_ICON}\"\n")
    if(arg_MANIFEST)
        string(APPEND rc "1 24 \"${arg_MANIFEST}\"\n")
    endif()
    file(WRITE ${dir}/${name}.rc.new "${rc}")
    configure_file(${dir}/${name}.rc.new ${dir}/${name}.rc COPYONLY)
    set_source_files_properties(${dir}/${name}.rc PROPERTIES OBJECT_DEPENDS ${VELUM_ICON})
    target_sources(${target} PRIVATE ${dir}/${name}.rc)
    add_dependencies(${target} velum_icon)
endfunction()
