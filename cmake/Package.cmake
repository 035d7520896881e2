# `make package`: a Debian package of the install tree above, built with CPack.
# dpkg-shlibdeps works out the library dependencies from the executable; only what it cannot
# see is listed here, without versions: the fonts the layout maps Verdana and Arial to, and
# Qt's platform plugins, which are loaded at run time.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME keyfall)
set(CPACK_PACKAGE_VENDOR "The Keyfall developers")
set(CPACK_PACKAGE_CONTACT "The Keyfall developers <developers@keyfall.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keyboard-training game with falling letters")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Characters fall down a night landscape in eighteen columns; type them before"
  "they reach the ground. Three levels, games of eight rounds or as many as you"
  "choose, and an options window for fall speeds and the set of characters."
  "The user interface is in Italian.")
set(CPACK_PACKAGE_HOMEPAGE_URL https://keyfall.example.org/)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core, fonts-liberation2, qt6-qpa-plugins")
# A native Wayland window; without it the game runs through XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
