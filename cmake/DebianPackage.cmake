# `cpack -G DEB` in the build directory makes the Debian package: the binary
# in /usr/bin, the compressed manual page, the copyright file, and a postinst
# that gives the binary cap_net_raw (see packaging/debian/postinst).

set(QPING_MAINTAINER "qping maintainers <qping@example.org>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qping)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${QPING_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ICMP and ICMPv6 echo (ping) over raw sockets")
set(CPACK_PACKAGE_DESCRIPTION
    "qping sends ICMP echo requests (ICMPv6 for IPv6 destinations) to a host,
prints one line per request with the reply time, and ends with statistics.
For IPv4 it can print the route recorded by the routers on the way.")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

# The staging area is handed to the install rules as DESTDIR, which tells
# them not to set the capability there: the postinst sets it on the real file.
set(CPACK_SET_DESTDIR ON)

# setcap for the postinst, and whatever libraries dpkg-shlibdeps finds.
set(CPACK_DEBIAN_PACKAGE_DEPENDS libcap2-bin)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
