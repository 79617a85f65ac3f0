# Toolchain file: builds for the device (64-bit Arm Linux, aarch64-linux-gnu)
# on a Debian 12 workstation with
#  - Debian's cross toolchain (crossbuild-essential-arm64),
#  - Debian's arm64 libraries installed beside the native ones through dpkg's
#    multiarch (qtbase5-dev:arm64, libgtest-dev:arm64, libgmock-dev:arm64):
#    libraries and CMake packages in /usr/lib/aarch64-linux-gnu, the loader
#    at /lib/ld-linux-aarch64.so.1, headers shared in /usr/include,
#  - qemu-aarch64 (qemu-user) to run what is built: test discovery at build
#    time and the tests under ctest.
# scripts/bootstrap-cross.sh installs all of it.
#
# There is no separate sysroot: the arm64 packages live in the machine's own
# root, which the cross compiler searches through its multiarch directories
# (/usr/include/aarch64-linux-gnu, /usr/lib/aarch64-linux-gnu), and CMake's
# package search does the same through CMAKE_LIBRARY_ARCHITECTURE.

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
# CMake takes the target's binutils (aarch64-linux-gnu-ar, -strip, -readelf,
# ...) from the compiler's prefix; CPack strips the package's files with them.

# Programs are looked up on this machine only; libraries, headers and CMake
# packages are found for the target through the multiarch directories.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# The machine's pkg-config, which FindOpenSSL asks first, reads the arm64
# packages' .pc files, so its hints name the arm64 libraries.
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/pkgconfig:/usr/share/pkgconfig")

# binfmt_misc is not registered for arm64 on the build machines, so an arm64
# executable cannot be started directly: CMake prefixes the emulator wherever
# it runs one (add_test with a target, gtest_discover_tests, and the tests'
# own children through UPGRADE_TEST_EMULATOR). -L names the root in which
# qemu looks up the arm64 loader and libraries: the machine's own root, where
# libc6:arm64 installs /lib/ld-linux-aarch64.so.1 and the arm64 libraries in
# /usr/lib/aarch64-linux-gnu. (The cross toolchain's own copy of the C
# runtime in /usr/aarch64-linux-gnu is for linking and lacks Qt.)
find_program(UPGRADE_QEMU_AARCH64 qemu-aarch64 REQUIRED)
set(UPGRADE_QEMU_LD_PREFIX "/" CACHE PATH "Root in which qemu-aarch64 finds the arm64 loader and libraries")
set(CMAKE_CROSSCOMPILING_EMULATOR "${UPGRADE_QEMU_AARCH64};-L;${UPGRADE_QEMU_LD_PREFIX}")

# Qt's code generators and translation compiler must run here, so they come
# from the native Qt. The arm64 Qt5Core package already points moc and rcc at
# /usr/lib/qt5/bin, which Debian's qtbase5-dev-tools fills with the native
# (Multi-Arch: foreign) programs. Qt5LinguistTools holds nothing but host
# programs, so the native package serves the cross build as it is, and no
# arm64 qttools5-dev is needed.
execute_process(COMMAND dpkg-architecture -qDEB_BUILD_MULTIARCH
                OUTPUT_VARIABLE _upgrade_build_multiarch OUTPUT_STRIP_TRAILING_WHITESPACE
                ERROR_QUIET)
if(_upgrade_build_multiarch AND EXISTS "/usr/lib/${_upgrade_build_multiarch}/cmake/Qt5LinguistTools")
  set(Qt5LinguistTools_DIR "/usr/lib/${_upgrade_build_multiarch}/cmake/Qt5LinguistTools"
      CACHE PATH "Native Qt translation tools")
endif()
unset(_upgrade_build_multiarch)
