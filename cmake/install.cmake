# What `cmake --install` puts in place, in three components, one Debian package each:
#   library      libhmiscript.so, what a panel image needs            (libhmiscript)
#   development  hmi_abi.h and the CMake package (find_package(hmiscript)) for host
#                authors                                              (libhmiscript-dev)
#   simulator    hmisim, the panel project it runs (tags, windows, tour), its manual page
#                and its bash completion                              (hmisim)
# Each has its copyright and changelog in /usr/share/doc/<package>.
include(CMakePackageConfigHelpers)

# The date every generated file carries (the changelog's, the manual page's): the last
# commit's, or SOURCE_DATE_EPOCH when the environment gives it, so that a build of one
# commit gives the same files whenever it runs.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(HMI_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
      OUTPUT_VARIABLE HMI_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
      RESULT_VARIABLE git_status ERROR_QUIET)
    if(NOT git_status EQUAL 0)
      set(HMI_SOURCE_DATE_EPOCH "")
    endif()
  endif()
endif()
if(NOT HMI_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  set(HMI_SOURCE_DATE_EPOCH 0)
endif()
set(ENV{SOURCE_DATE_EPOCH} ${HMI_SOURCE_DATE_EPOCH})  # string(TIMESTAMP) takes it

set(HMI_PACKAGE_MAINTAINER "hmiscript maintainers <maintainers@hmiscript.invalid>"
  CACHE STRING "The packages' Maintainer field and the changelog's author")
set(HMI_PACKAGE_library libhmiscript)
set(HMI_PACKAGE_development libhmiscript-dev)
set(HMI_PACKAGE_simulator hmisim)

# The changelog in Debian's form, from the project's version, compressed as Debian
# installs it (gzip -9n: no name, no time).
string(TIMESTAMP HMI_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(cmake/debian/changelog.in ${PROJECT_BINARY_DIR}/debian/changelog @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/debian/changelog.gz
  COMMAND gzip -9nf ${PROJECT_BINARY_DIR}/debian/changelog -c > ${PROJECT_BINARY_DIR}/debian/changelog.gz
  DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog
  COMMENT "The packages' changelog")
add_custom_target(hmi_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog.gz)

# hmi_install_docs(COMPONENT): the licence and changelog of the component's package.
function(hmi_install_docs component)
  set(doc ${CMAKE_INSTALL_DATAROOTDIR}/doc/${HMI_PACKAGE_${component}})
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright
                ${PROJECT_BINARY_DIR}/debian/changelog.gz
    DESTINATION ${doc} COMPONENT ${component})
endfunction()
hmi_install_docs(library)
hmi_install_docs(development)

set(HMI_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/hmiscript)
set(HMI_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/hmiscript)
set(HMI_INSTALL_PANELDIR ${CMAKE_INSTALL_DATADIR}/hmiscript/panel)

# ---- library and contract ----
# The contract header as a target of its own: hosts include it and load the library by
# name or path, they do not link it.
add_library(hmiscript_abi INTERFACE)
target_include_directories(hmiscript_abi INTERFACE
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/plugin>
  $<INSTALL_INTERFACE:${HMI_INSTALL_INCLUDEDIR}>)
set_target_properties(hmiscript_abi PROPERTIES EXPORT_NAME abi)

install(TARGETS hmiscript EXPORT hmiscriptTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library)
install(TARGETS hmiscript_abi EXPORT hmiscriptTargets)
install(FILES ${PROJECT_SOURCE_DIR}/plugin/hmi_abi.h
  DESTINATION ${HMI_INSTALL_INCLUDEDIR} COMPONENT development)
install(EXPORT hmiscriptTargets NAMESPACE hmiscript::
  DESTINATION ${HMI_INSTALL_CMAKEDIR} COMPONENT development)
configure_package_config_file(cmake/hmiscriptConfig.cmake.in
  ${PROJECT_BINARY_DIR}/cmake/hmiscriptConfig.cmake
  INSTALL_DESTINATION ${HMI_INSTALL_CMAKEDIR}
  PATH_VARS CMAKE_INSTALL_LIBDIR HMI_INSTALL_INCLUDEDIR)
# The contract changes only with the major version.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/cmake/hmiscriptConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/cmake/hmiscriptConfig.cmake
              ${PROJECT_BINARY_DIR}/cmake/hmiscriptConfigVersion.cmake
  DESTINATION ${HMI_INSTALL_CMAKEDIR} COMPONENT development)

# ---- simulator ----
if(TARGET hmisim)
  # The installed program finds the panel project and the library from its own folder,
  # so that an installation or an unpacked package works wherever it lies.
  file(RELATIVE_PATH hmi_panel_from_bin ${CMAKE_INSTALL_FULL_BINDIR}
    ${CMAKE_INSTALL_PREFIX}/${HMI_INSTALL_PANELDIR})
  file(RELATIVE_PATH hmi_library_from_bin ${CMAKE_INSTALL_FULL_BINDIR}
    ${CMAKE_INSTALL_FULL_LIBDIR}/${CMAKE_SHARED_MODULE_PREFIX}hmiscript${CMAKE_SHARED_MODULE_SUFFIX})
  target_compile_definitions(hmisim PRIVATE
    HMI_INSTALLED_PANEL_DIR="${hmi_panel_from_bin}"
    HMI_INSTALLED_LIBRARY="${hmi_library_from_bin}")

  install(TARGETS hmisim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT simulator)
  hmi_install_docs(simulator)
  install(FILES ${PROJECT_SOURCE_DIR}/panel/tags.txt ${PROJECT_SOURCE_DIR}/panel/windows.txt
    ${PROJECT_SOURCE_DIR}/panel/widgets.txt
    DESTINATION ${HMI_INSTALL_PANELDIR} COMPONENT simulator)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/panel/scenarios
    DESTINATION ${HMI_INSTALL_PANELDIR} COMPONENT simulator)
  install(FILES ${PROJECT_SOURCE_DIR}/sim/completion.bash
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
    RENAME hmisim COMPONENT simulator)

  # The manual page, made from --help and --version by help2man (scripts/setup package),
  # with the sections that --help does not have (cmake/hmisim.h2m.in, with the installed
  # paths). help2man reads them
  # through a wrapper that shows the defaults as the installed program has them, not the
  # build tree's. A cross build cannot run the program.
  find_program(HMI_HELP2MAN help2man)
  if(HMI_HELP2MAN AND NOT CMAKE_CROSSCOMPILING)
    set(manual ${PROJECT_BINARY_DIR}/manual)
    configure_file(cmake/hmisim-manual.sh.in ${manual}/hmisim.sh.in @ONLY)
    set(HMI_INSTALL_FULL_PANELDIR ${CMAKE_INSTALL_PREFIX}/${HMI_INSTALL_PANELDIR})
    configure_file(cmake/hmisim.h2m.in ${manual}/hmisim.h2m @ONLY)
    file(GENERATE OUTPUT ${manual}/hmisim INPUT ${manual}/hmisim.sh.in
      FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                       WORLD_READ WORLD_EXECUTE)
    add_custom_command(OUTPUT ${manual}/hmisim.1.gz
      COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${HMI_SOURCE_DATE_EPOCH}
              ${HMI_HELP2MAN} --no-info
              --name "the operator panel on a desktop, with the real script library"
              --include ${manual}/hmisim.h2m
              --output ${manual}/hmisim.1 ${manual}/hmisim
      COMMAND gzip -9nf ${manual}/hmisim.1
      DEPENDS hmisim ${manual}/hmisim.sh.in ${manual}/hmisim.h2m
      COMMENT "Manual page of hmisim"
      VERBATIM)
    add_custom_target(hmisim_manual ALL DEPENDS ${manual}/hmisim.1.gz)
    install(FILES ${manual}/hmisim.1.gz
      DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT simulator)
  elseif(NOT CMAKE_CROSSCOMPILING)
    message(STATUS "help2man not found: no manual page (scripts/setup package installs it)")
  endif()
endif()
