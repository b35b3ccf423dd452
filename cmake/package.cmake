# The Debian packages, made by CPack from a build folder, one per install component
# (scripts/package makes them from the desktop and the armhf builds):
#   libhmiscript      the library, for a panel image or a desktop (Multi-Arch: same)
#   libhmiscript-dev  hmi_abi.h and the CMake package, for host authors; on both
#                     architectures, so that a cross build finds the target's library
#   hmisim            the simulator, its panel project and manual (desktop build only)
#   *-dbgsym          the detached debug information of the library and of hmisim
#                     (/usr/lib/debug/.build-id/XX/YYYY.debug), to symbolize a crash
# The library's dependency on the C library comes from its own symbol versions
# (cmake/cpack-project.cmake); hmisim's from dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_VENDOR "hmiscript")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${HMI_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING IGNORE)  # one package per component
# CPack splits the debug information off and strips the files itself; stripped before,
# there would be nothing to split.
set(CPACK_STRIP_FILES OFF)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# CPack 3.25 has no variable for the Multi-Arch field: the Source field, which every
# package has (they are built from one source), carries it on a line of its own.
set(hmi_same_on_every_arch "hmiscript\nMulti-Arch: same")

# ---- libhmiscript ----
set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME ${HMI_PACKAGE_library})
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SOURCE ${hmi_same_on_every_arch})
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SHLIBDEPS OFF)  # its own symbol versions say it
set(CPACK_COMPONENT_LIBRARY_DESCRIPTION [[
script library of the operator panel
libhmiscript.so, which the panel's HMI runtime loads: an event function for
every widget event that has a script and a dynamic property function for every
widget property that follows live data, found by name through the exported
lookup, and the system utilities (starting and stopping programs, sounds, date
arithmetic, the panel's storage folders).
It keeps all its state in the host's tags and binds the host's services by
name from the program that loads it; it needs only the C library.]])
# The loader's cache is refreshed by dpkg's ldconfig trigger, not by maintainer scripts.
# CPack writes postinst and postrm scripts that call ldconfig for a library in /usr/lib
# unless the extra control files name them: these names, which have no file, keep them
# out (CPack skips a missing file with a warning).
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA
  ${PROJECT_SOURCE_DIR}/cmake/debian/triggers
  ${PROJECT_BINARY_DIR}/debian/no-maintainer-scripts/postinst
  ${PROJECT_BINARY_DIR}/debian/no-maintainer-scripts/postrm)

# ---- libhmiscript-dev ----
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME ${HMI_PACKAGE_development})
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SOURCE ${hmi_same_on_every_arch})
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "${HMI_PACKAGE_library} (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DEVELOPMENT_DEBUGINFO_PACKAGE OFF)  # no code
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION [[
operator panel script library: contract header and CMake package
For the authors of hosts that load libhmiscript.so: the library's contract,
hmi_abi.h (the exported lookup and tables, the host services the library
binds, the lookup functions' pointer types for dlsym), and its CMake package:
find_package(hmiscript) gives the header's target, hmiscript::abi, and the
library file's path, HMISCRIPT_LIBRARY, to hand to dlopen.]])

# ---- hmisim ----
set(CPACK_DEBIAN_SIMULATOR_PACKAGE_NAME ${HMI_PACKAGE_simulator})
set(CPACK_DEBIAN_SIMULATOR_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_SIMULATOR_PACKAGE_SOURCE hmiscript)
set(CPACK_DEBIAN_SIMULATOR_PACKAGE_DEPENDS "${HMI_PACKAGE_library} (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_SIMULATOR_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-wqy-microhei")  # the panel's Chinese texts in the browser
set(CPACK_COMPONENT_SIMULATOR_DESCRIPTION [[
operator panel simulator, with the panel's script library
hmisim loads the panel's script library, libhmiscript.so, exactly as the
panel's HMI runtime does, shows its windows, runs its timers on a simulated
clock, answers its questions from a scenario or at a prompt, and reports every
tag write, window call, dialog and property change in the order the panel sees
them.
This package holds the simulator with its manual page and bash completion and
the demonstration panel project with its tour of every screen (hmisim --tour).]])

if(TARGET hmisim)
  set(CPACK_COMPONENTS_ALL library development simulator)
else()
  set(CPACK_COMPONENTS_ALL library development)
endif()
set(CPACK_PACKAGE_NAME hmiscript)

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
# What cmake/cpack-project.cmake reads: the library file, and the tools for its target.
set(CPACK_HMI_LIBRARY_FILE
  ${PROJECT_BINARY_DIR}/${CMAKE_SHARED_MODULE_PREFIX}hmiscript${CMAKE_SHARED_MODULE_SUFFIX})
set(CPACK_HMI_READELF ${CMAKE_READELF})
set(CPACK_HMI_SOURCE_DATE_EPOCH ${HMI_SOURCE_DATE_EPOCH})
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/cpack-project.cmake)

include(CPack)
