# The Debian packages, made by CPack from a build folder (scripts/package makes both):
#   hmiscript  from the panel's armhf build: the library alone, for a panel image
#   hmisim     from the desktop build: library, simulator, panel project, and what a
#              host author needs (contract header, CMake package)
# Dependencies are worked out by dpkg-shlibdeps from the files themselves.
set(HMI_PACKAGE_MAINTAINER "hmiscript maintainers <maintainers@hmiscript.invalid>"
  CACHE STRING "The packages' Maintainer field")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_VENDOR "hmiscript")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${HMI_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)

if(TARGET hmisim)
  set(CPACK_PACKAGE_NAME hmisim)
  set(CPACK_COMPONENTS_ALL library development simulator)
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-wqy-microhei")  # the panel's Chinese texts in the browser
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "operator panel simulator, with the panel's script library")
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [[
hmisim loads the panel's script library, libhmiscript.so, exactly as the panel's
HMI runtime does, shows its windows, runs its timers on a simulated clock,
answers its questions from a scenario or at a prompt, and reports every tag
write, window call, dialog and property change in the order the panel sees
them.
This package holds the simulator with its manual page and bash completion, the
demonstration panel project with its tour of every screen (hmisim --tour), the
script library built for this machine, and for the authors of hosts the
library's contract header, hmi_abi.h, and its CMake package
(find_package(hmiscript)).]])
else()
  set(CPACK_PACKAGE_NAME hmiscript)
  set(CPACK_COMPONENTS_ALL library)
  set(CPACK_DEBIAN_PACKAGE_SECTION libs)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "script library of the operator panel, for a panel image")
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [[
libhmiscript.so, which the panel's HMI runtime loads: an event function for
every widget event that has a script and a dynamic property function for every
widget property that follows live data, found by name through the exported
lookup, and the system utilities (starting and stopping programs, sounds, date
arithmetic, the panel's storage folders).
It keeps all its state in the host's tags and binds the host's services by
name from the program that loads it; it needs only the C library.]])
endif()
set(CPACK_DEBIAN_PACKAGE_NAME ${CPACK_PACKAGE_NAME})

# A cross build packages for its target's architecture, not the machine's, and runs
# dpkg-shlibdeps for that architecture (cmake/cpack-project.cmake): it then reads the
# target's C library from dpkg's database (libc6:armhf, scripts/setup armhf).
if(CMAKE_CROSSCOMPILING)
  if(HMI_DEB_ARCH)  # from the toolchain file
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${HMI_DEB_ARCH})
  else()
    message(WARNING "The toolchain file names no Debian architecture (HMI_DEB_ARCH): "
      "a package would be labelled with this machine's")
  endif()
endif()
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/cpack-project.cmake)

include(CPack)
