# How a distribution installs the viewer (cmake --install, cpack -G DEB):
#   lib/<package>/            the program folder: the executable, Data.txt, the help, the
#                             localisation files (the program finds its files beside itself)
#   bin/<package>             a link to the executable
#   share/applications, share/icons/hicolor, share/metainfo, share/man/man1
include(GNUInstallDirs)
set(PROGRAM_FOLDER "${CMAKE_INSTALL_LIBDIR}/${VIEWER_PACKAGE_NAME}")
set(VIEWER_APPSTREAM_ID "${VIEWER_APPSTREAM_ID}")
string(TOUPPER "${VIEWER_PACKAGE_NAME}" VIEWER_PACKAGE_NAME_UPPER)

install(TARGETS viewer RUNTIME DESTINATION "${PROGRAM_FOLDER}")
install(FILES "${CMAKE_BINARY_DIR}/bin/Data.txt" "${CMAKE_BINARY_DIR}/bin/Localization.xml"
              "${CMAKE_BINARY_DIR}/bin/Localization.txt"
        DESTINATION "${PROGRAM_FOLDER}")
install(DIRECTORY "${CMAKE_BINARY_DIR}/bin/help" DESTINATION "${PROGRAM_FOLDER}")
if(TARGET help_document)
  install(FILES "${CMAKE_BINARY_DIR}/bin/Help.chm" DESTINATION "${PROGRAM_FOLDER}")
endif()

# bin/<package>: a relative link, so the installed tree can move (dpkg -x into any root).
file(MAKE_DIRECTORY "${CMAKE_BINARY_DIR}/install")
file(RELATIVE_PATH link_target "/${CMAKE_INSTALL_BINDIR}" "/${PROGRAM_FOLDER}/${VIEWER_EXE_NAME}")
file(CREATE_LINK "${link_target}" "${CMAKE_BINARY_DIR}/install/${VIEWER_PACKAGE_NAME}" SYMBOLIC)
install(FILES "${CMAKE_BINARY_DIR}/install/${VIEWER_PACKAGE_NAME}" DESTINATION "${CMAKE_INSTALL_BINDIR}")

configure_file(resources/desktop/marlu-viewer.desktop.in
               "${CMAKE_BINARY_DIR}/install/${VIEWER_PACKAGE_NAME}.desktop" @ONLY)
configure_file(resources/desktop/marlu-viewer.metainfo.xml.in
               "${CMAKE_BINARY_DIR}/install/${VIEWER_APPSTREAM_ID}.metainfo.xml" @ONLY)
configure_file(resources/man/marlu-viewer.1.in "${CMAKE_BINARY_DIR}/install/${VIEWER_PACKAGE_NAME}.1" @ONLY)
install(FILES "${CMAKE_BINARY_DIR}/install/${VIEWER_PACKAGE_NAME}.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${CMAKE_BINARY_DIR}/install/${VIEWER_APPSTREAM_ID}.metainfo.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
install(FILES "${CMAKE_BINARY_DIR}/install/${VIEWER_PACKAGE_NAME}.1" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(FILES resources/icons/src/aaa.svg DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps"
        RENAME "${VIEWER_PACKAGE_NAME}.svg")
foreach(size 16 24 32 48 64 128 256)
  install(FILES "resources/icons/hicolor/marlu-viewer-${size}.png"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps" RENAME "${VIEWER_PACKAGE_NAME}.png")
endforeach()

# cpack -G DEB: the package's dependencies come from dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME "${VIEWER_PACKAGE_NAME}")
set(CPACK_PACKAGE_VENDOR "${VIEWER_COMPANY_NAME}")
set(CPACK_PACKAGE_VERSION "${VIEWER_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Internet TV, radio and video stream viewer")
set(CPACK_PACKAGE_CONTACT "${VIEWER_COMPANY_NAME} <support@${VIEWER_COMMENTS}>")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "video")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Internet TV, radio and video stream viewer\n Lists internet TV channels, radio stations and video streams by category\n and language, plays them in its window, keeps favorites and plays local\n media files.")
set(CPACK_STRIP_FILES ON)
include(CPack)
