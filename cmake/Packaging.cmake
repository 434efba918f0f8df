# SPDX-License-Identifier: GPL-3.0-or-later
# Install layout and the Debian package. The install rules themselves sit
# beside what they install (app/, the command line, packaging/); this file
# fixes the standard folders and tells CPack how to wrap an installed tree
# into kavren_<version>-<release>_<arch>.deb.
#
#   cmake -S . -B build/package -DCMAKE_INSTALL_PREFIX=/usr ...
#   cmake --build build/package --target Kavren_Utility kavren kavren_packaging
#   cd build/package && cpack -G DEB
#
# tools/package.sh does exactly this from a clean folder.
include_guard(GLOBAL)

set(KAVREN_PACKAGE_NAME kavren)
# The desktop entry, the AppStream component and the icon share one
# reverse-DNS name, as AppStream asks; the domain is the maker's site.
set(KAVREN_APP_ID com.example.kavren)
# Set before GNUInstallDirs, which would otherwise name the folder after the
# CMake project instead of the package.
set(CMAKE_INSTALL_DOCDIR "share/doc/${KAVREN_PACKAGE_NAME}"
    CACHE PATH "Documentation root (DATAROOTDIR/doc/kavren)")
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME ${KAVREN_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kavren Utility developers")
set(CPACK_PACKAGE_CONTACT "Kavren Utility maintainers <maintainers@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find and configure the maker's network devices")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_SOURCE_GENERATOR "")

# The Debian revision of this build of PROJECT_VERSION; packaging/changelog's
# newest entry must name the same, which the check below enforces so the two
# never drift apart.
set(KAVREN_DEBIAN_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KAVREN_DEBIAN_RELEASE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
# Depends from the binaries' own shared libraries (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The grid's narrow face (Liberation Sans Narrow) and the captions' face of
# Arial's widths (Liberation Sans): with Debian's default face the texts are
# cut at the window's sizes. dpkg-shlibdeps' list is added to this one.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "firewalld | ufw")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The ufw profile lives under /etc, so it is a configuration file that an
# upgrade must not overwrite once the administrator has edited it.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${PROJECT_SOURCE_DIR}/packaging/conffiles")
file(READ "${PROJECT_SOURCE_DIR}/packaging/description.txt" KAVREN_DESCRIPTION)
string(STRIP "${KAVREN_DESCRIPTION}" KAVREN_DESCRIPTION)
# The summary becomes the synopsis line, this the extended description,
# each line of which CPack indents by one space.
set(CPACK_PACKAGE_DESCRIPTION "${KAVREN_DESCRIPTION}")

file(STRINGS "${PROJECT_SOURCE_DIR}/packaging/changelog" kavren_changelog_head LIMIT_COUNT 1)
set(kavren_deb_version "${PROJECT_VERSION}-${KAVREN_DEBIAN_RELEASE}")
if(NOT kavren_changelog_head MATCHES "^${KAVREN_PACKAGE_NAME} \\(${kavren_deb_version}\\) ")
  message(FATAL_ERROR "packaging/changelog must begin with an entry for "
                      "${KAVREN_PACKAGE_NAME} (${kavren_deb_version}), not: ${kavren_changelog_head}")
endif()

include(CPack)
