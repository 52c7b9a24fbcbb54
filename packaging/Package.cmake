# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package made by scripts/package (cpack -G DEB) from what
# `cmake --install` installs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vexmora)
set(CPACK_PACKAGE_VENDOR "Vexmora")
set(CPACK_PACKAGE_CONTACT "Vexmora maintainers <maintainers@vexmora.invalid>"
  CACHE STRING "Maintainer of the Debian package")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "two-pane FTP client that uploads a web site by itself")
set(CPACK_PACKAGE_DESCRIPTION
  "Vexmora shows the local folder and the FTP server's folder side by side and\n\
transfers selections both ways. Its watch mode uploads every new or changed file\n\
by itself; a loop upload and upload and download daemons repeat transfers.\n\
It stores up to 30 accounts. Its interface is Japanese.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the executable links (Qt 6 Widgets, the C++ run-time) are found
# by dpkg-shlibdeps; the rest is loaded at run time: Qt's window-system plug-ins,
# the Japanese font the windows ask for, and OpenSSL for FTP over TLS.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-ipafont-gothic, libssl3")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
