# Hardened and reproducible code for every target: the flags of Debian's dpkg-buildflags
# with hardening=+all on both architectures, and the stack clash probes hardening-check
# looks for (its control flow check asks for IBT and SHSTK notes, which no file linked
# with Debian 12's C run-time start files can have: scripts/check-package explains it):
#   -fstack-protector-strong        a canary in every function with an array or an address
#                                   taken (__stack_chk_fail, and __stack_chk_guard on armhf)
#   -D_FORTIFY_SOURCE=2             checked forms of the C library's copies and formatting
#                                   where the sizes are known (__memcpy_chk, ...); it needs
#                                   the optimizer, so a Debug build goes without it
#   -fstack-clash-protection        a large stack frame is probed page by page
#   -Wformat -Wformat-security      a format that is not a literal is reported
#   -Wl,-z,relro -Wl,-z,now         relocations resolved at load, then made read-only
#   PIE                             programs are position independent
#   -ffile-prefix-map               no path of the source or build folder in the files
#                                   (debug information, __FILE__), so that a build in
#                                   another folder gives the same bytes
# A sanitizer or fuzz build has run times of its own that replace these: it goes without.
option(HMI_HARDENING "Build with the hardening flags of dpkg-buildflags" ON)

if(HMI_HARDENING AND NOT HMI_SANITIZE AND NOT HMI_FUZZ)
  add_compile_options(-fstack-protector-strong -Wformat -Wformat-security
    "$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
  include(CheckCCompilerFlag)
  check_c_compiler_flag(-fstack-clash-protection HMI_HAS_STACK_CLASH_PROTECTION)
  if(HMI_HAS_STACK_CLASH_PROTECTION)
    add_compile_options(-fstack-clash-protection)
  endif()
  add_link_options(-Wl,-z,relro -Wl,-z,now)
  include(CheckPIESupported)
  check_pie_supported(LANGUAGES C CXX)
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
endif()

# The build's folders mapped away: the last map that matches a path wins, so a build
# folder inside the sources is named by its own map.
add_compile_options("-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.")
if(NOT PROJECT_BINARY_DIR STREQUAL PROJECT_SOURCE_DIR)
  add_compile_options("-ffile-prefix-map=${PROJECT_BINARY_DIR}=build")
endif()
