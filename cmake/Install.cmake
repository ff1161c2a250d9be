# Where `cmake --install` puts the programs, the icon and the desktop entry; and a check of the entry.
include(GNUInstallDirs)

install(TARGETS velumspin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET velumdesk) # built where the Qt window is
    install(TARGETS velumdesk RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/data/velum.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/data/velumdesk.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
add_test(NAME desktop_entry_valid COMMAND desktop-file-validate ${PROJECT_SOURCE_DIR}/data/velumdesk.desktop)
