#!/usr/bin/env bash
# `make package` gives a .deb whose dependencies were computed from the linked libraries and whose files
# are the program, its menu entry, icons and manual page under /usr.
set -euo pipefail
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb=$(ls "$out"/mirabel_*_amd64.deb)
files=$(dpkg-deb -c "$deb")
for f in ./usr/bin/mirabel ./usr/share/applications/mirabel.desktop \
         ./usr/share/icons/hicolor/48x48/apps/mirabel.png ./usr/share/icons/hicolor/scalable/apps/mirabel.svg \
         ./usr/share/man/man1/mirabel.1 ./usr/share/metainfo/io.github.mirabel.Mirabel.metainfo.xml; do
  grep -q -- " $f\$" <<<"$files" || { echo "falta $f en el paquete"; exit 1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6sql6 libsqlite3-0 libxlsxwriter4 libc6; do
  grep -q "$lib" <<<"$depends" || { echo "Depends no nombra $lib: $depends"; exit 1; }
done
echo "paquete correcto: $(basename "$deb")"
