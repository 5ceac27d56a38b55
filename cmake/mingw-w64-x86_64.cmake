# Cross-builds for 64-bit Windows with Debian's mingw-w64 (posix threads, for
# std::thread). Static runtime, so that zanthrel.exe needs only system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZANTHREL_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZANTHREL_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZANTHREL_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${ZANTHREL_MINGW}-windres)

# ZANTHREL_WINDOWS_PREFIX: the cross-built codecs (scripts/build-windows.sh).
set(CMAKE_FIND_ROOT_PATH /usr/${ZANTHREL_MINGW} ${ZANTHREL_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZANTHREL_WINDOWS_PREFIX)

# pkg-config sees the cross-built codecs only, never the host's .pc files.
if(ZANTHREL_WINDOWS_PREFIX)
  set(ENV{PKG_CONFIG_LIBDIR} "${ZANTHREL_WINDOWS_PREFIX}/lib/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
endif()

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Static zlib from libz-mingw-w64-dev, not its import library.
set(ZLIB_USE_STATIC_LIBS ON)

# Test programs run under wine where it is installed.
find_program(ZANTHREL_WINE wine)
if(ZANTHREL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZANTHREL_WINE})
endif()
