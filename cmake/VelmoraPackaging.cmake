# SPDX-License-Identifier: GPL-3.0-or-later
# Installation layout and the Debian package. Every install() rule of the project is here.
#
#   cmake --install <build> --prefix <prefix>
#   cpack --config <build>/CPackConfig.cmake     (velmora_<version>_<arch>.deb, prefix /usr)
#
# The thumbnailer finds its icon at <prefix>/share/velmora/Velmora_AppIcon.png, relative to
# <prefix>/bin: keep the two destinations below in step.

set(velmora_data "${PROJECT_SOURCE_DIR}/data")

install(TARGETS velmora velmora-cli velmora-thumbnailer RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")

install(FILES "${velmora_data}/velmora.desktop"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${velmora_data}/velmora-mime.xml"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/mime/packages" RENAME velmora.xml)
install(FILES "${velmora_data}/velmora.thumbnailer"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/thumbnailers")
install(DIRECTORY "${velmora_data}/icons/hicolor"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/icons" FILES_MATCHING PATTERN "*.png")
install(FILES "${velmora_data}/icons/velmora.svg"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
install(FILES "${velmora_data}/icons/application-x-velmora-project.svg"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/mimetypes")
install(FILES "${velmora_data}/Velmora_AppIcon.png" DESTINATION "${VELMORA_DATA_SUBDIR}")
install(DIRECTORY "${PROJECT_SOURCE_DIR}/examples/"
    DESTINATION "${VELMORA_DATA_SUBDIR}/examples" FILES_MATCHING PATTERN "*.velmora")
install(FILES "${PROJECT_SOURCE_DIR}/README.md" "${PROJECT_BINARY_DIR}/debian/copyright"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/velmora")
# The copyright file names where the source lives.
configure_file("${velmora_data}/debian/copyright.in" "${PROJECT_BINARY_DIR}/debian/copyright" @ONLY)
install(FILES "${velmora_data}/velmora.metainfo.xml" DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
include(VelmoraManPages)

# Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR "Velmora Project")
set(CPACK_PACKAGE_CONTACT "Velmora Project <${VELMORA_ISSUES_URL}>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "draw a small IP network and watch it live")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The long description; CPack puts the summary above it and indents it as Debian wants.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Velmora draws an IP network on a zoomable canvas, optionally over a floor plan:
devices as nodes, cables between them, device types as coloured layers. Node
lists import from and export to CSV.

In live mode every node with an IPv4 address is pinged with ICMP and shown
online, slow, offline or unknown; outages raise in-app alerts and desktop
notifications.

Also contains velmora-cli, for scripts and checks on project files, and a
thumbnailer that gives project files their icon in file managers.
")
# Library dependencies come from dpkg-shlibdeps (needs the `file` tool). Beyond them: setcap from
# libcap2-bin, which the postinst uses to let live mode ping without root, and Qt's TIFF and WebP
# plugins, which Qt loads at run time: map images are stored in projects as TIFF. Qt SQL's SQLite
# driver is a plugin too: the latency history is an SQLite file.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcap2-bin, qt6-image-formats-plugins, libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils, hicolor-icon-theme")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    "${velmora_data}/debian/postinst;${velmora_data}/debian/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
