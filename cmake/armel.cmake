# Cross-compiling for armel: 32-bit ARM, EABI5, soft-float, ARMv5TE (Debian's
# arm-linux-gnueabi toolchain from crossbuild-essential-armel). The libraries
# the programs link (SDL 1.2, libpng and what they need) come from Debian's
# armel packages unpacked into ULV_SYSROOT; the C and C++ run-time comes
# from the toolchain itself. build-armel.sh sets everything up.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-linux-gnueabi-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabi-g++)
set(CMAKE_ASM_COMPILER arm-linux-gnueabi-gcc)

if(NOT ULV_SYSROOT)
  set(ULV_SYSROOT $ENV{ULV_SYSROOT})
endif()
if(NOT ULV_SYSROOT)
  message(FATAL_ERROR "armel.cmake: set ULV_SYSROOT to the unpacked armel packages")
endif()
set(ULV_SYSROOT ${ULV_SYSROOT} CACHE PATH "Unpacked Debian armel packages")
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ULV_SYSROOT)

set(CMAKE_FIND_ROOT_PATH ${ULV_SYSROOT} /usr/arm-linux-gnueabi)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config reads the sysroot's .pc files and prefixes their paths.
set(ENV{PKG_CONFIG_SYSROOT_DIR} ${ULV_SYSROOT})
set(ENV{PKG_CONFIG_LIBDIR} "${ULV_SYSROOT}/usr/lib/arm-linux-gnueabi/pkgconfig:${ULV_SYSROOT}/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

# The linker follows the libraries' own dependencies (libSDL needs ALSA,
# PulseAudio, X11 ...) inside the sysroot; PulseAudio keeps its common
# library in a folder of its own.
set(ulv_rpath_link "")
foreach(dir lib/arm-linux-gnueabi usr/lib/arm-linux-gnueabi usr/lib/arm-linux-gnueabi/pulseaudio)
  string(APPEND ulv_rpath_link " -Wl,-rpath-link,${ULV_SYSROOT}/${dir}")
endforeach()
set(CMAKE_EXE_LINKER_FLAGS_INIT "${ulv_rpath_link}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${ulv_rpath_link}")

# The emulator that runs the programs on the build machine.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm-static -L ${ULV_SYSROOT})
