# The release: what `make install` puts where, and the Debian package that
# `make package` builds from the same rules with CPack.
#
#   bin/                              tidewane, tidewane-capture, velkpack
#   share/tidewane/tidewane.velk      the data archive
#   share/applications/               tidewane.desktop
#   share/icons/hicolor/*/apps/       tidewane.png at 256x256 and 48x48
#   share/metainfo/                   org.velk.tidewane.metainfo.xml
#   share/man/man6, man1              tidewane.6, tidewane-capture.1, velkpack.1
#   share/doc/tidewane/               copyright, changelog

set(TIDEWANE_HOMEPAGE "https://velk.example/tidewane" CACHE STRING
  "Home page named in the package and the AppStream metainfo")
set(PACKAGING ${CMAKE_SOURCE_DIR}/packaging)
set(RELEASE ${CMAKE_BINARY_DIR}/release)

# Manual pages and the changelog go in compressed, without time stamps, as
# Debian wants them.
set(RELEASE_FILES)
foreach(page tidewane.6 tidewane-capture.1 velkpack.1 changelog)
  configure_file(${PACKAGING}/${page} ${RELEASE}/${page} @ONLY)
  add_custom_command(
    OUTPUT ${RELEASE}/${page}.gz
    COMMAND gzip -9nkf ${RELEASE}/${page}
    DEPENDS ${RELEASE}/${page}
    VERBATIM)
  list(APPEND RELEASE_FILES ${RELEASE}/${page}.gz)
endforeach()
configure_file(${PACKAGING}/org.velk.tidewane.metainfo.xml
  ${RELEASE}/org.velk.tidewane.metainfo.xml @ONLY)

# The icon, drawn by the asset generator.
foreach(size 256 48)
  add_custom_command(
    OUTPUT ${RELEASE}/tidewane-${size}.png
    COMMAND tidewane-assets --icon ${size} ${RELEASE}/tidewane-${size}.png
    DEPENDS tidewane-assets
    VERBATIM)
  list(APPEND RELEASE_FILES ${RELEASE}/tidewane-${size}.png)
endforeach()
add_custom_target(tidewane-release ALL DEPENDS ${RELEASE_FILES})

install(TARGETS tidewane tidewane-capture velkpack RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${TIDEWANE_ARCHIVE} DESTINATION ${CMAKE_INSTALL_DATADIR}/tidewane)
install(FILES ${PACKAGING}/tidewane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${RELEASE}/org.velk.tidewane.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 256 48)
  install(FILES ${RELEASE}/tidewane-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
    RENAME tidewane.png)
endforeach()
install(FILES ${RELEASE}/tidewane.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${RELEASE}/tidewane-capture.1.gz ${RELEASE}/velkpack.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PACKAGING}/copyright ${RELEASE}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tidewane)

# The Debian package. Its run-time dependencies are computed from the
# programs by dpkg-shlibdeps, so they follow the libraries actually linked.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tidewane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Velk <tidewane@velk.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TIDEWANE_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SUGGESTS ffmpeg)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
# CPack indents the lines after the first and turns the empty one into " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "real-time audiovisual demo of a night sea
Tidewane is a self-running real-time audiovisual production, a demo in the
demoscene sense: one piece of music and, in time with it, full-screen
scenes drawn per pixel by shaders.

The package holds the show (tidewane), a tool that renders it offline into
PNG frames or a video, with or without a display (tidewane-capture), and
the packer of its data archive (velkpack).")
include(CPack)
