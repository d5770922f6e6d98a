# The installed program: executables in bin/, the program's data in share/kelto/ (found from
# the executable's folder as ../share/kelto/), and the desktop integration in the shared
# freedesktop folders.
include(GNUInstallDirs)

set(KELTO_DATA_DIR ${CMAKE_INSTALL_DATADIR}/kelto)

install(TARGETS kelto kelto-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES resources/ReadMe.txt DESTINATION ${KELTO_DATA_DIR})
install(DIRECTORY resources/manual DESTINATION ${KELTO_DATA_DIR})
# The manual's pictures of the windows, once scripts/screenshot has made them.
install(DIRECTORY resources/screenshots DESTINATION ${KELTO_DATA_DIR} OPTIONAL)
install(FILES resources/languages/Deutsch.ini resources/languages/Español.ini
              resources/languages/Français.ini ${CMAKE_BINARY_DIR}/tools/languages/English.ini
        DESTINATION ${KELTO_DATA_DIR}/languages)
install(DIRECTORY examples/animations DESTINATION ${KELTO_DATA_DIR})
install(DIRECTORY "examples/stick figures" DESTINATION ${KELTO_DATA_DIR})

install(FILES resources/desktop/kelto.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES resources/desktop/kelto-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME kelto.xml)
foreach(size 16 22 24 32 48 64 128 256)
    install(FILES resources/icons/kelto-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME kelto.png)
endforeach()
install(FILES resources/icons/kelto.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Refresh the desktop's caches so a file manager knows the new file types and program at once.
# Skipped when staging into DESTDIR (a package's own scripts do it on the target machine).
install(CODE [[
    if(NOT DEFINED ENV{DESTDIR} OR "$ENV{DESTDIR}" STREQUAL "")
        find_program(KELTO_UPDATE_MIME update-mime-database)
        find_program(KELTO_UPDATE_DESKTOP update-desktop-database)
        if(KELTO_UPDATE_MIME)
            execute_process(COMMAND ${KELTO_UPDATE_MIME} "${CMAKE_INSTALL_PREFIX}/share/mime"
                            OUTPUT_QUIET ERROR_QUIET)
        endif()
        if(KELTO_UPDATE_DESKTOP)
            execute_process(COMMAND ${KELTO_UPDATE_DESKTOP} "${CMAKE_INSTALL_PREFIX}/share/applications"
                            OUTPUT_QUIET ERROR_QUIET)
        endif()
    endif()
]])
