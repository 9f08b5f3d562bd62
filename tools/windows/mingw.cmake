# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (posix threads, as Qt needs std::thread).
# The libraries the program links live in the toolchain cache that tools/windows/toolchain.sh fills.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${_mingw}-windres)
set(CMAKE_AR ${_mingw}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${_mingw}-gcc-ranlib-posix CACHE FILEPATH "")

if(NOT MIRABEL_WIN_CACHE)
  if(DEFINED ENV{MIRABEL_WIN_CACHE})
    set(MIRABEL_WIN_CACHE "$ENV{MIRABEL_WIN_CACHE}")
  else()
    set(MIRABEL_WIN_CACHE "$ENV{HOME}/.cache/mirabel-windows")
  endif()
endif()
# Try-compile projects get a fresh cache: hand them the prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MIRABEL_WIN_CACHE)
set(MIRABEL_WIN_PREFIX "${MIRABEL_WIN_CACHE}/prefix")

set(CMAKE_FIND_ROOT_PATH /usr/${_mingw} "${MIRABEL_WIN_PREFIX}")
set(CMAKE_PREFIX_PATH "${MIRABEL_WIN_PREFIX}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config sees only the cache's .pc files, never the host's.
set(ENV{PKG_CONFIG_LIBDIR} "${MIRABEL_WIN_PREFIX}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# Qt's moc, rcc, uic and lrelease run on this machine: Debian's Qt of the same version.
set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")

# Test programs run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
