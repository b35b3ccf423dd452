# The panel's target: 32-bit ARM, hard float, Debian's arm-linux-gnueabihf cross compiler
# (crossbuild-essential-armhf). Programs built for it run here under qemu-arm.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(HMI_TARGET_TRIPLET arm-linux-gnueabihf)
set(HMI_DEB_ARCH armhf)  # the packages' Debian architecture
set(CMAKE_C_COMPILER ${HMI_TARGET_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${HMI_TARGET_TRIPLET}-g++)
set(CMAKE_STRIP ${HMI_TARGET_TRIPLET}-strip CACHE FILEPATH "")

# Debian's multiarch layout: packages of the target architecture (libgtest-dev:armhf)
# install into /usr/lib/arm-linux-gnueabihf, which find_package searches by this name,
# so no separate root is needed; build tools are always the machine's own.
set(CMAKE_LIBRARY_ARCHITECTURE ${HMI_TARGET_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)

# They run on the target's own Debian libraries (libc6:armhf, libstdc++6:armhf, installed
# beside the machine's in /lib/arm-linux-gnueabihf), not on the cross compiler's copy in
# /usr/arm-linux-gnueabihf: under qemu-user 7.2 a child forked with that copy's C library
# dies of SIGSEGV, which the process utilities and their tests cannot do without.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L /)
