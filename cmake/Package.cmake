# The Debian package (cpack -G DEB): man pages, AppStream metadata and the autostart entry on
# top of what Install.cmake installs; and checks of those files.
include(GNUInstallDirs)

# Man pages go in compressed, as Debian wants them; -n keeps the build reproducible.
set(velum_man_pages)
foreach(page velumdesk velumspin)
    set(out ${CMAKE_BINARY_DIR}/man/${page}.1)
    add_custom_command(OUTPUT ${out}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/docs/${page}.1 ${out}
        COMMAND gzip -9nf ${out}
        DEPENDS ${PROJECT_SOURCE_DIR}/docs/${page}.1 VERBATIM)
    list(APPEND velum_man_pages ${out}.gz)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${velum_man_pages})
install(FILES ${velum_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/data/io.github.velum.Velum.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Sessions look for system-wide autostart entries only in /etc/xdg: the folder is computed for
# the package's /usr prefix, which GNUInstallDirs maps to /etc.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
block(SCOPE_FOR VARIABLES PROPAGATE velum_autostart_dir)
    set(CMAKE_INSTALL_PREFIX ${CPACK_PACKAGING_INSTALL_PREFIX})
    GNUInstallDirs_get_absolute_install_dir(CMAKE_INSTALL_FULL_SYSCONFDIR
                                            CMAKE_INSTALL_SYSCONFDIR SYSCONFDIR)
    set(velum_autostart_dir ${CMAKE_INSTALL_FULL_SYSCONFDIR}/xdg/autostart)
endblock()
install(FILES ${PROJECT_SOURCE_DIR}/data/velumspin-autostart.desktop
        DESTINATION ${velum_autostart_dir} RENAME velumspin.desktop)
# Files in /etc are conffiles, so an administrator's edit (switching it on) survives upgrades.
file(WRITE ${CMAKE_BINARY_DIR}/debian/conffiles "${velum_autostart_dir}/velumspin.desktop\n")

set(CPACK_PACKAGE_NAME velum)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Velum developers <dev@velum.invalid>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Velum developers <dev@velum.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # velum_1.0.0_amd64.deb
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# sway shows the wallpaper through swaybg; other desktops need nothing more.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS swaybg)
set(CPACK_STRIP_FILES ON) # the debug information stays in the build tree
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop wallpaper manager")
set(CPACK_PACKAGE_DESCRIPTION "Velum keeps named collections of bitmaps and changes the \
desktop wallpaper on a schedule, centred or tiled, in ascending, descending or random order. \
velumdesk is the window; velumspin applies the next bitmap at login or from a scheduler.")

if(VELUM_TESTS)
    add_test(NAME desktop_autostart_valid
             COMMAND desktop-file-validate ${PROJECT_SOURCE_DIR}/data/velumspin-autostart.desktop)
    add_test(NAME appstream_metainfo_valid COMMAND appstreamcli validate --no-net
             ${PROJECT_SOURCE_DIR}/data/io.github.velum.Velum.metainfo.xml)
    foreach(page velumdesk velumspin)
        # man reports troff warnings on standard error but still exits 0.
        add_test(NAME man_${page}_clean COMMAND sh -c
                 "MANWIDTH=80 man --warnings -E UTF-8 -l \"$0\" 2>&1 >/dev/null"
                 ${PROJECT_SOURCE_DIR}/docs/${page}.1)
        set_tests_properties(man_${page}_clean PROPERTIES FAIL_REGULAR_EXPRESSION ".")
    endforeach()
endif()

include(CPack)
