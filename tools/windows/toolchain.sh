#!/usr/bin/env bash
# Builds, once, everything the Windows program links, into a cache outside the tree:
#   $MIRABEL_WIN_CACHE (default ~/.cache/mirabel-windows)/{src,build,prefix,licencias}
# Each component leaves a stamp; a second run skips what is done. Sources are Debian's own source packages
# of the versions the Linux build uses. Usage: toolchain.sh [component...]   (default: all, in order)
set -euo pipefail

HERE="$(cd "$(dirname "$0")" && pwd)"
CACHE="${MIRABEL_WIN_CACHE:-$HOME/.cache/mirabel-windows}"
PREFIX="$CACHE/prefix"
SRC="$CACHE/src"
BLD="$CACHE/build"
LIC="$CACHE/licencias"
JOBS="${JOBS:-2}"
HOST=x86_64-w64-mingw32
NICE=(nice -n 19)
export MIRABEL_WIN_CACHE="$CACHE"
mkdir -p "$PREFIX/bin" "$PREFIX/lib/pkgconfig" "$PREFIX/include" "$SRC" "$BLD" "$LIC" "$CACHE/stamps"
# The libraries are built with a copy kept in the cache: Qt's own toolchain file names it, and it must outlive
# the checkout that made the cache.
TOOLCHAIN="$CACHE/mingw.cmake"
cp -f "$HERE/mingw.cmake" "$TOOLCHAIN"

log() { printf '\n== %s: %s\n' "$(date +%T)" "$*" >&2; }
done_() { [ -f "$CACHE/stamps/$1" ]; }
stamp() { date +%s >"$CACHE/stamps/$1"; }

# Debian packages for cross-building, running under Wine and packaging; only those missing.
packages() {
  local want=(g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 nsis xvfb xauth imagemagick
    xdotool dpkg-dev tcl autoconf automake libtool gettext bison flex pkg-config qt6-base-dev qt6-base-dev-tools
    qt6-tools-dev-tools qt6-translations-l10n fonts-dejavu-core fonts-dejavu-extra poppler-utils ninja-build cmake)
  local missing=()
  for p in "${want[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  local SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  # apt-get source needs a deb-src entry for the archive the binaries come from.
  if ! grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    log "añadiendo fuentes deb-src"
    sed -e 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      $SUDO tee /etc/apt/sources.list.d/mirabel-deb-src.sources >/dev/null
    missing+=(--update)
  fi
  if [ ${#missing[@]} -gt 0 ]; then
    log "instalando ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    local pk=()
    for p in "${missing[@]}"; do [ "$p" = --update ] || pk+=("$p"); done
    [ ${#pk[@]} -eq 0 ] || $SUDO apt-get install -y -qq --no-install-recommends "${pk[@]}"
  fi
}

# fetch DEVPACKAGE: unpacks Debian's source of the installed DEVPACKAGE, at the very version the Linux build
# uses, into $SRC/<source name> (patches applied), once; prints that folder.
fetch() {
  local src ver
  read -r src ver < <(dpkg-query -W -f='${source:Package} ${source:Version}\n' "$1")
  local dir="$SRC/$src"
  if [ ! -d "$dir" ]; then
    log "fuente $src $ver"
    local tmp="$SRC/.tmp-$src"
    rm -rf "$tmp" && mkdir -p "$tmp"
    (cd "$tmp" && apt-get source -qq "$src=$ver" >/dev/null)
    local d
    d="$(find "$tmp" -mindepth 1 -maxdepth 1 -type d | head -1)"
    mv "$d" "$dir" && rm -rf "$tmp"
  fi
  echo "$dir"
}

# licence NAME FILE...: keeps the component's licence texts for the installer.
licence() {
  local name="$1"
  shift
  mkdir -p "$LIC/$name"
  cp -f "$@" "$LIC/$name/"
}

# pc NAME VERSION LIB [REQUIRES]: a pkg-config file for a library built without one.
pc() {
  cat >"$PREFIX/lib/pkgconfig/$1.pc" <<EOF
prefix=$PREFIX
libdir=\${prefix}/lib
includedir=\${prefix}/include
Name: $1
Description: $1 (Windows)
Version: $2
Requires.private: ${4:-}
Libs: -L\${libdir} -l$3
Cflags: -I\${includedir}
EOF
}

cmake_cross() { # cmake_cross NAME SRCDIR [cmake args...]
  local name="$1" src="$2"
  shift 2
  # A build cut short (Qt takes long) goes on where it stopped at the next run.
  [ -f "$BLD/$name/build.ninja" ] || rm -rf "${BLD:?}/$name"
  "${NICE[@]}" cmake -S "$src" -B "$BLD/$name" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" "$@"
  "${NICE[@]}" cmake --build "$BLD/$name" -j "$JOBS"
  cmake --install "$BLD/$name"
}

CROSS_ENV=(CC="$HOST-gcc-posix" CXX="$HOST-g++-posix" AR="$HOST-gcc-ar-posix" RANLIB="$HOST-gcc-ranlib-posix"
  WINDRES="$HOST-windres" RC="$HOST-windres" STRIP="$HOST-strip"
  PKG_CONFIG_LIBDIR="$PREFIX/lib/pkgconfig" PKG_CONFIG_PATH="")

# SQLite: the amalgamation made on this machine, compiled as a DLL with the options Debian uses.
build_sqlite() {
  local s
  s="$(fetch libsqlite3-dev)"
  rm -rf "${BLD:?}/sqlite" && mkdir -p "$BLD/sqlite"
  (cd "$BLD/sqlite" && "${NICE[@]}" "$s/configure" --disable-tcl -q && "${NICE[@]}" make -s sqlite3.c sqlite3.h)
  local defs=(-DSQLITE_ENABLE_COLUMN_METADATA=1 -DSQLITE_ENABLE_FTS3 -DSQLITE_ENABLE_FTS5 -DSQLITE_ENABLE_RTREE=1
    -DSQLITE_ENABLE_JSON1 -DSQLITE_ENABLE_UNLOCK_NOTIFY -DSQLITE_ENABLE_DBSTAT_VTAB -DSQLITE_SECURE_DELETE
    -DSQLITE_MAX_SCHEMA_RETRY=25 -DSQLITE_ENABLE_MATH_FUNCTIONS -DSQLITE_THREADSAFE=1
    "-DSQLITE_API=__declspec(dllexport)")
  (cd "$BLD/sqlite" && "${NICE[@]}" $HOST-gcc-posix -O2 "${defs[@]}" -shared sqlite3.c -o libsqlite3-0.dll \
    -Wl,--out-implib,libsqlite3.dll.a)
  cp "$BLD/sqlite/libsqlite3-0.dll" "$PREFIX/bin/"
  cp "$BLD/sqlite/libsqlite3.dll.a" "$PREFIX/lib/"
  cp "$BLD/sqlite/sqlite3.h" "$s/src/sqlite3ext.h" "$PREFIX/include/"
  local ver
  ver="$(sed -n 's/^#define SQLITE_VERSION *"\(.*\)"/\1/p' "$BLD/sqlite/sqlite3.h")"
  pc sqlite3 "$ver" sqlite3
  licence sqlite "$s/debian/copyright"
}

# zlib as a DLL, compiled directly: Debian's tarball leaves out the win32/ folder that zlib's own build needs.
build_zlib() {
  local s f
  s="$(fetch zlib1g-dev)"
  rm -rf "${BLD:?}/zlib" && mkdir -p "$BLD/zlib"
  local c=()
  for f in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate inftrees trees \
    uncompr zutil; do c+=("$s/$f.c"); done
  cp "$s/zconf.h.in" "$BLD/zlib/zconf.h"
  (cd "$BLD/zlib" && "${NICE[@]}" $HOST-gcc-posix -O2 -I. -shared "${c[@]}" -o zlib1.dll -Wl,--out-implib,libz.dll.a)
  cp "$BLD/zlib/zlib1.dll" "$PREFIX/bin/" && cp "$BLD/zlib/libz.dll.a" "$PREFIX/lib/"
  cp "$s/zlib.h" "$BLD/zlib/zconf.h" "$PREFIX/include/"
  local ver
  ver="$(sed -n 's/^#define ZLIB_VERSION "\(.*\)"/\1/p' "$s/zlib.h")"
  pc zlib "$ver" z
  licence zlib "$s/debian/copyright"
}

build_libsodium() {
  local s
  s="$(fetch libsodium-dev)"
  [ -x "$s/configure" ] || (cd "$s" && autoreconf -fi >/dev/null 2>&1)
  rm -rf "${BLD:?}/libsodium" && mkdir -p "$BLD/libsodium"
  (cd "$BLD/libsodium" && env "${CROSS_ENV[@]}" "${NICE[@]}" "$s/configure" -q --host=$HOST --prefix="$PREFIX" \
    --disable-static --enable-shared && "${NICE[@]}" make -s -j "$JOBS" && make -s install)
  licence libsodium "$s/LICENSE" "$s/debian/copyright"
}

# libpq only: PostgreSQL's client library, without SSL, GSSAPI or readline.
build_libpq() {
  local s
  s="$(fetch libpq-dev)"
  rm -rf "${BLD:?}/libpq" && mkdir -p "$BLD/libpq"
  (cd "$BLD/libpq" && env "${CROSS_ENV[@]}" "${NICE[@]}" "$s/configure" -q --host=$HOST --prefix="$PREFIX" \
    --without-readline --without-zlib --without-icu --without-openssl --without-gssapi --without-ldap \
    --without-llvm --without-lz4 --without-zstd &&
    "${NICE[@]}" make -s -C src/include && "${NICE[@]}" make -s -C src/common -j "$JOBS" &&
    "${NICE[@]}" make -s -C src/port -j "$JOBS" && "${NICE[@]}" make -s -C src/interfaces/libpq -j "$JOBS" &&
    make -s -C src/include install && make -s -C src/interfaces/libpq install)
  licence libpq "$s/COPYRIGHT"
}

build_curl() {
  local s
  s="$(fetch libcurl4-openssl-dev)"
  cmake_cross curl "$s" -DBUILD_SHARED_LIBS=ON -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF \
    -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBPSL=OFF \
    -DUSE_LIBIDN2=OFF -DUSE_NGHTTP2=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DCURL_USE_GSSAPI=OFF \
    -DENABLE_MANUAL=OFF -DCURL_ZLIB=ON -DZLIB_ROOT="$PREFIX"
  licence curl "$s/COPYING"
}

build_xlsxwriter() {
  local s
  s="$(fetch libxlsxwriter-dev)"
  cmake_cross xlsxwriter "$s" -DBUILD_SHARED_LIBS=ON -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF -DUSE_SYSTEM_MINIZIP=OFF \
    -DZLIB_ROOT="$PREFIX"
  if [ ! -f "$PREFIX/lib/pkgconfig/xlsxwriter.pc" ]; then
    local ver
    ver="$(sed -n 's/^#define LXW_VERSION *"\(.*\)"/\1/p' "$s/include/xlsxwriter.h")"
    pc xlsxwriter "$ver" xlsxwriter zlib
  fi
  licence libxlsxwriter "$s/License.txt"
}

# libmdb only, without GLib (mdbtools carries a small stand-in); the program never uses the mdb-* tools.
build_mdbtools() {
  local s
  s="$(fetch mdbtools-dev)"
  [ -x "$s/configure" ] || (cd "$s" && autoreconf -fi >/dev/null 2>&1)
  rm -rf "${BLD:?}/mdbtools" && mkdir -p "$BLD/mdbtools"
  (cd "$BLD/mdbtools" && env "${CROSS_ENV[@]}" "${NICE[@]}" "$s/configure" -q --host=$HOST --prefix="$PREFIX" \
    --disable-glib --disable-man --disable-static --enable-shared --without-iconv &&
    "${NICE[@]}" make -s -C include && "${NICE[@]}" make -s -C src/libmdb -j "$JOBS" &&
    make -s -C include install && make -s -C src/libmdb install && install -m644 libmdb.pc "$PREFIX/lib/pkgconfig/")
  licence mdbtools "$s/COPYING.LIB" "$s/debian/copyright"
}

QT_COMMON=(-DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF)

# Only the modules the program links (and Qt Test for its tests): Qt Network, Xml and Concurrent are not used
# (mail goes through libcurl).
build_qtbase() {
  local s
  s="$(fetch qt6-base-dev)"
  cmake_cross qtbase "$s" "${QT_COMMON[@]}" \
    -DFEATURE_system_sqlite=ON -DFEATURE_sql_sqlite=ON -DFEATURE_sql_psql=OFF -DFEATURE_sql_odbc=OFF \
    -DFEATURE_sql_mysql=OFF -DFEATURE_tabletevent=OFF \
    -DFEATURE_dbus=OFF -DFEATURE_zstd=OFF -DFEATURE_testlib=ON \
    -DFEATURE_network=OFF -DFEATURE_xml=OFF -DFEATURE_concurrent=OFF \
    -DSQLite3_INCLUDE_DIR="$PREFIX/include" -DSQLite3_LIBRARY="$PREFIX/lib/libsqlite3.dll.a"
  licence qtbase "$s/debian/copyright" "$s/LICENSES/LGPL-3.0-only.txt" "$s/LICENSES/GPL-3.0-only.txt"
}

# qt_module NAME SRCDIR [cmake args...]: a part of Qt built on the qtbase above, with its qt-cmake.
qt_module() {
  local name="$1" src="$2"
  shift 2
  [ -f "$BLD/$name/build.ninja" ] || rm -rf "${BLD:?}/$name"
  "${NICE[@]}" "$PREFIX/bin/qt-cmake" -S "$src" -B "$BLD/$name" -G Ninja -DQT_CHAINLOAD_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" "${QT_COMMON[@]}" "$@"
  "${NICE[@]}" cmake --build "$BLD/$name" -j "$JOBS"
  cmake --install "$BLD/$name"
}

# The PostgreSQL driver plugin, built apart from qtbase against the libpq above.
build_qpsql() {
  qt_module qpsql "$SRC/qt6-base/src/plugins/sqldrivers" -DFEATURE_sql_psql=ON -DFEATURE_sql_sqlite=OFF \
    -DFEATURE_sql_odbc=OFF -DFEATURE_sql_mysql=OFF -DPostgreSQL_INCLUDE_DIR="$PREFIX/include" \
    -DPostgreSQL_LIBRARY="$PREFIX/lib/libpq.a"
}

build_qtcharts() {
  local s
  s="$(fetch qt6-charts-dev)"
  qt_module qtcharts "$s"
  licence qtcharts "$s/debian/copyright"
}

# Qt's own Spanish texts (.qm files are the same on every system, so Debian's are used as they are) and the
# DejaVu Sans faces the reports are laid out in, which Windows lacks.
build_recursos() {
  mkdir -p "$PREFIX/translations" "$PREFIX/fonts"
  cp -f /usr/share/qt6/translations/qtbase_es.qm /usr/share/qt6/translations/qt_es.qm "$PREFIX/translations/"
  local f
  for f in DejaVuSans DejaVuSans-Bold DejaVuSans-Oblique DejaVuSans-BoldOblique; do
    cp -f "/usr/share/fonts/truetype/dejavu/$f.ttf" "$PREFIX/fonts/"
  done
  licence qt-translations /usr/share/doc/qt6-translations-l10n/copyright
  licence fonts-dejavu /usr/share/doc/fonts-dejavu-core/copyright
}

# Every source package, fetched ahead (the rest of the run then needs no network).
fuentes() {
  for p in libsqlite3-dev qt6-base-dev zlib1g-dev libpq-dev libsodium-dev libcurl4-openssl-dev libxlsxwriter-dev; do
    fetch "$p" >/dev/null
  done
  # Optional parts: the archive may not carry their sources.
  for p in mdbtools-dev qt6-charts-dev; do
    (fetch "$p" >/dev/null 2>&1) || log "AVISO: sin la fuente de $p"
  done
}

# The Wine prefix the Windows tests run in; no Mono or Gecko installer is offered.
build_wine() {
  WINEPREFIX="$CACHE/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" XDG_CONFIG_HOME="$CACHE/xdg/config" \
    XDG_DATA_HOME="$CACHE/xdg/data" wineboot -u
  WINEPREFIX="$CACHE/wine" wineserver -w
}

ALL=(packages fuentes sqlite qtbase zlib libpq qpsql libsodium curl xlsxwriter mdbtools qtcharts recursos wine)
# Left out of the program when it cannot be built (the .mdb import then says so); the rest goes on.
OPCIONALES=" mdbtools qtcharts "
want=("$@")
[ ${#want[@]} -gt 0 ] || want=("${ALL[@]}")
start=$(date +%s)
for c in "${want[@]}"; do
  if [ "$c" = packages ] || [ "$c" = fuentes ]; then
    "$c"
    continue
  fi
  if done_ "$c"; then continue; fi
  log "construyendo $c"
  t0=$(date +%s)
  if [[ "$OPCIONALES" == *" $c "* ]]; then
    if ! ("build_$c"); then
      log "AVISO: $c no se pudo construir; el programa de Windows queda sin él"
      continue
    fi
  else
    "build_$c"
  fi
  stamp "$c"
  log "$c listo en $(($(date +%s) - t0)) s"
done
log "caché de Windows lista en $CACHE ($(($(date +%s) - start)) s)"
