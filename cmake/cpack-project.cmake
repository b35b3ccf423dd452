# Read by cpack before it makes the packages of a build.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()

# Every time in the archives is the build's date (the last commit's), so that two runs
# give the same bytes.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} ${CPACK_HMI_SOURCE_DATE_EPOCH})
endif()

# Each package's description is its component's, whose first line is its summary: the
# project's summary is not put in front of it.
unset(CPACK_PACKAGE_DESCRIPTION_SUMMARY)

# dpkg-shlibdeps looks up the libraries that the package's files need for the
# architecture in DEB_HOST_ARCH (the machine's by default): a cross build's package is
# of its target's.
if(CPACK_DEBIAN_PACKAGE_ARCHITECTURE)
  set(ENV{DEB_HOST_ARCH} ${CPACK_DEBIAN_PACKAGE_ARCHITECTURE})
endif()

# The library's dependency on the C library, from the symbol versions it needs
# (readelf -V: GLIBC_2.4, pow's GLIBC_2.29, ...): the newest of them is the oldest C
# library it runs on. dpkg-shlibdeps would name the version of the build machine's
# symbols file entry instead, which can be newer than anything the library takes.
execute_process(COMMAND ${CPACK_HMI_READELF} -V --wide ${CPACK_HMI_LIBRARY_FILE}
  OUTPUT_VARIABLE versions RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot read the symbol versions of ${CPACK_HMI_LIBRARY_FILE}")
endif()
string(REGEX MATCHALL "Name: GLIBC_[0-9.]+" needed "${versions}")
set(oldest_libc 0)
foreach(entry IN LISTS needed)
  string(REPLACE "Name: GLIBC_" "" version ${entry})
  if(version VERSION_GREATER oldest_libc)
    set(oldest_libc ${version})
  endif()
endforeach()
if(oldest_libc VERSION_EQUAL 0)
  message(FATAL_ERROR "${CPACK_HMI_LIBRARY_FILE} needs no versioned C library symbol")
endif()
set(CPACK_DEBIAN_LIBRARY_PACKAGE_DEPENDS "libc6 (>= ${oldest_libc})")
