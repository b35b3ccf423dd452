# Read by cpack before each package. dpkg-shlibdeps looks up the libraries that the
# package's files need for the architecture in DEB_HOST_ARCH (the machine's by default):
# a cross build's package is of its target's.
if(CPACK_GENERATOR STREQUAL "DEB" AND CPACK_DEBIAN_PACKAGE_ARCHITECTURE)
  set(ENV{DEB_HOST_ARCH} ${CPACK_DEBIAN_PACKAGE_ARCHITECTURE})
endif()
