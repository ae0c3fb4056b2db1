# The Debian package of what the native program installs: `cpack -G DEB` in
# the build folder, once built, makes vyx-client_<version>_<arch>.deb. It
# installs under /usr, as a distribution's packages do; `cmake --install`
# keeps its own prefix. Depends comes from the libraries the program links,
# through dpkg-shlibdeps (dpkg-dev).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vyx-client)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "VYX Client developers")
set(CPACK_PACKAGE_CONTACT "VYX Client developers <vyx-client@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)  # the debug information stays in the build
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Without them the window is laid out in the desktop's default face, whose
# widths differ from the ones its layout was made for.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation, fonts-dejavu-core")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "client for the VYX-Server, a DSL line monitor")
# The summary above becomes the first line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Shows a DSL modem's line data (downstream and upstream rate, SNR margin)
from a VYX-Server in its window and in a tray icon, triggers the server's
actions (refresh, resync, reboot, shutdown), edits its automatic monitoring
configuration and shows its log file.")
include(CPack)
