# Cross-building for arm64 (a Raspberry Pi's Debian or Raspberry Pi OS) on an
# amd64 Debian with the arm64 libraries installed beside its own (multiarch):
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
#         [-DQUARNET_EXTRA_PKGCONFIG=DIR] [-DQUARNET_TARGET_EMULATOR=qemu-aarch64]
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

# Qt's build tools (moc, rcc) are the host's; Debian's arm64 Qt packages
# already name them.
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)

# pkg-config sees the arm64 libraries only, plus a folder of development
# files unpacked aside for a package that cannot be installed beside its
# amd64 twin.
# The environment is the process's: the checks' own runs of this file must
# see the same folder, or they would set it back without it.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUARNET_EXTRA_PKGCONFIG)
set(pkgconfig_dirs /usr/lib/aarch64-linux-gnu/pkgconfig /usr/share/pkgconfig)
if(QUARNET_EXTRA_PKGCONFIG)
    list(PREPEND pkgconfig_dirs ${QUARNET_EXTRA_PKGCONFIG})
endif()
list(JOIN pkgconfig_dirs ":" pkgconfig_path)
set(ENV{PKG_CONFIG_LIBDIR} "${pkgconfig_path}")
set(ENV{PKG_CONFIG_PATH} "")

if(QUARNET_TARGET_EMULATOR)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${QUARNET_TARGET_EMULATOR})
endif()
