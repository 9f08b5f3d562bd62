#!/usr/bin/env bash
# What `cmake --install` puts under /usr is a well-formed desktop citizen: menu entry, AppStream data,
# icons and a manual page that renders.
set -euo pipefail
build=$1
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
DESTDIR="$dest" cmake --install "$build" --prefix /usr >/dev/null
usr="$dest/usr"
test -x "$usr/bin/mirabel"
desktop-file-validate "$usr/share/applications/mirabel.desktop"
grep -qx 'Categories=Office;Finance;' "$usr/share/applications/mirabel.desktop"
grep -qx 'Exec=mirabel %f' "$usr/share/applications/mirabel.desktop"
appstreamcli validate --no-net "$usr/share/metainfo/io.github.mirabel.Mirabel.metainfo.xml"
for s in 16 32 48 64 128 256; do
  icon="$usr/share/icons/hicolor/${s}x${s}/apps/mirabel.png"
  test -f "$icon"
  file "$icon" | grep -q "PNG image data, $s x $s"
done
grep -q '<svg' "$usr/share/icons/hicolor/scalable/apps/mirabel.svg"
page=$(MANWIDTH=100 man -l "$usr/share/man/man1/mirabel.1" 2>&1)
for word in NOMBRE SINOPSIS --database --settings; do
  grep -q -- "$word" <<<"$page" || { echo "la página de manual no dice $word"; exit 1; }
done
# Every subcommand in the synopsis, by its whole name.
for sub in report send-reminders import-mdb backup restore export; do
  grep -q -- "mirabel $sub " <<<"$page" || { echo "la página de manual no muestra mirabel $sub"; exit 1; }
done
echo "instalación correcta"
