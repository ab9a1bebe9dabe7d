# What `cmake --install` puts where, and the Debian package `make package` builds from it.
include(GNUInstallDirs)

set(ORVANE_APP_ID org.orvane.OrvaneFTP)
# The day this version was released, for the AppStream metainfo.
set(ORVANE_RELEASE_DATE 2026-12-06)
set(ORVANE_DATA_DIR ${PROJECT_SOURCE_DIR}/data)

foreach(program orvane-ftp orvane-ftp-cli)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()

install(FILES ${ORVANE_DATA_DIR}/orvane-ftp-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

if(TARGET orvane-ftp)
    install(FILES ${ORVANE_DATA_DIR}/${ORVANE_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    configure_file(${ORVANE_DATA_DIR}/${ORVANE_APP_ID}.metainfo.xml.in
        ${ORVANE_GENERATED_DIR}/${ORVANE_APP_ID}.metainfo.xml @ONLY)
    install(FILES ${ORVANE_GENERATED_DIR}/${ORVANE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    set(ORVANE_ICON_DIR ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
    install(FILES ${ORVANE_DATA_DIR}/icons/${ORVANE_APP_ID}.svg
        DESTINATION ${ORVANE_ICON_DIR}/scalable/apps)
    foreach(size 16 24 32 48 64 128 256)
        install(FILES ${ORVANE_DATA_DIR}/icons/${ORVANE_APP_ID}-${size}.png
            DESTINATION ${ORVANE_ICON_DIR}/${size}x${size}/apps RENAME ${ORVANE_APP_ID}.png)
    endforeach()
endif()

# `make package`: a .deb whose dependencies dpkg-shlibdeps reads from the linked libraries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane-ftp)
set(CPACK_PACKAGE_VENDOR "Orvane FTP developers")
set(CPACK_PACKAGE_CONTACT "Orvane FTP developers <developers@orvane.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop FTP client with a command-line companion")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Orvane FTP shows your own disk and an FTP host side by side, keeps the sites you use in a "
    "Site manager, and sends, receives, deletes, renames and opens files, with many transfers "
    "running in parallel from a queue. orvane-ftp-cli runs the same engine without a window, "
    "for scripts.")
set(CPACK_PACKAGE_HOMEPAGE_URL https://orvane.org/)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A desktop with an X11 or Wayland session; the platform plugins come with Qt's own packages.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-qpa-plugins")
include(CPack)
