# A Debian package of the installed layout under /usr (`cpack -G DEB`, see
# tools/package.sh). The dependencies come from the shared libraries the
# programs link (dpkg-shlibdeps), so they follow whatever Qt and GDAL the
# build machine has.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tarnwick developers <developers@tarnwick.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "plan and replay military exercise plans on a map")
set(CPACK_PACKAGE_DESCRIPTION "Tarnwick builds exercise plans on bitmap or GIS maps, with units
and timed actions, and plays them; tarnwick-replay plays a plan without a
window. Includes the Cartolink GIS driver library and its header.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # tarnwick_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libcartolink.so lives in the private module folder; dpkg-shlibdeps must
# look there instead of asking for a package that provides it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS /usr/lib/tarnwick)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei")
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})
include(CPack)
