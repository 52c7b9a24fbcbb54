# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package made by scripts/package (cpack -G DEB) from what
# `cmake --install` installs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vexmora)
set(CPACK_PACKAGE_VENDOR "Vexmora")
set(CPACK_PACKAGE_CONTACT "Vexmora maintainers <maintainers@vexmora.invalid>"
  CACHE STRING "Maintainer of the Debian package")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "two-pane FTP client that uploads a web site by itself")
# Debian's control file indents each line by one blank: keep them within 79.
set(CPACK_PACKAGE_DESCRIPTION
  "Vexmora shows the local folder and the FTP server's folder side by side\n\
and transfers selections both ways. Its watch mode uploads every new or\n\
changed file by itself; a loop upload and upload and download daemons\n\
repeat transfers. It stores up to 30 accounts. Its interface is Japanese\n\
or English.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the executable links (Qt 6 Widgets, the C++ run-time) are found
# by dpkg-shlibdeps; the rest is loaded at run time: Qt's window-system plug-ins,
# the Japanese font the windows ask for, and OpenSSL for FTP over TLS.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n, fonts-ipafont-gothic, libssl3, libsecret-1-0, dbus")
# Where the passwords go when the desktop runs a Secret Service.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gnome-keyring")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The executable goes into the package stripped (app/CMakeLists.txt strips it
# when the install asks for stripping, as CPack does here).
set(CPACK_STRIP_FILES ON)
include(CPack)

# The package's documents: the machine-readable copyright file and the
# changelog made from CHANGELOG.md, compressed as Debian wants them.
set(VEXMORA_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/vexmora)
configure_file(${CMAKE_CURRENT_LIST_DIR}/copyright.in ${PROJECT_BINARY_DIR}/packaging/copyright @ONLY)
vexmora_debian_changelog(${PROJECT_BINARY_DIR}/packaging/changelog vexmora "${CPACK_PACKAGE_CONTACT}")
find_program(VEXMORA_GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  COMMAND ${VEXMORA_GZIP} -9nc ${PROJECT_BINARY_DIR}/packaging/changelog > ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog VERBATIM)
add_custom_target(vexmora_package_docs ALL DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${PROJECT_BINARY_DIR}/packaging/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  DESTINATION ${VEXMORA_DOC_DIR})
