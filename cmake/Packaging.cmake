# SPDX-License-Identifier: GPL-3.0-or-later
# Debian package through CPack: "cpack --config <build>/CPackConfig.cmake"
# (or "cmake --build <build> --target package") gives tavrix_<version>_<arch>.deb
# with the install layout of dist/CMakeLists.txt under /usr. Configure the
# package build with -DCMAKE_BUILD_TYPE=Release -DTAVRIX_BUILD_TESTS=OFF.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tavrix Makers")
set(CPACK_PACKAGE_CONTACT "Tavrix Makers <makers@oribel.net>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "live Internet radio for the MP3 player of GTA III and Vice City")
# The extended description, one control-file line per entry.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Tavrix records an Internet radio station that serves an MP3 stream (Icecast,"
  "SHOUTcast) into buffer files of a chosen size and hands every finished file"
  "to the MP3 folder of GTA III or GTA Vice City, under the two names that it"
  "writes into the game's MP3Report.txt, so the game's MP3 player plays the"
  "station live.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The first packaging of this upstream version: tavrix_<version>-1_<arch>.deb,
# with the packaging's own changelog.Debian.gz beside the upstream changelog.gz.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tavrix.oribel.net/")
# The Qt libraries and everything else the two ELF files link against, as
# dpkg-shlibdeps (package dpkg-dev) finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
