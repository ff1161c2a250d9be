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

# velum_add_windows_resources(TARGET NAME DESCRIPTION): the icon as resource 1, the version
# resource and the program's manifest.
function(velum_add_windows_resources target name description)
    set(VELUM_RC_NAME ${name})
    set(VELUM_ICON ${CMAKE_BINARY_DIR}/resources/velum.ico) # also from folders outside src/
    set(VELUM_RC_DESCRIPTION ${description})
    set(dir ${CMAKE_BINARY_DIR}/resources/${name})
    set(templates ${PROJECT_SOURCE_DIR}/src/common/win32)
    configure_file(${templates}/version.rc.in ${dir}/version.rc @ONLY)
    configure_file(${templates}/program.manifest.in ${dir}/${name}.manifest @ONLY)
    set(rc "#include \"version.rc\"\n1 ICON \"${VELUM_ICON}\"\n1 24 \"${dir}/${name}.manifest\"\n")
    file(WRITE ${dir}/${name}.rc.new "${rc}")
    configure_file(${dir}/${name}.rc.new ${dir}/${name}.rc COPYONLY)
    set_source_files_properties(${dir}/${name}.rc PROPERTIES OBJECT_DEPENDS
                                "${VELUM_ICON};${dir}/${name}.manifest")
    target_sources(${target} PRIVATE ${dir}/${name}.rc)
    add_dependencies(${target} velum_icon)
endfunction()
