#!/usr/bin/env bash
# Checks the Windows installer under Wine, in a Wine prefix of its own:
#   1. Mirabel-<version>-setup.exe /S installs the program, its Start-menu entry and its uninstaller;
#   2. the installed mirabel.exe prints a report of the demo club to PDF, from a folder whose path has a drive
#      letter, blanks and accents, and the PDF reads the same as the Linux program's (when build/ has one);
#   3. with SCREENSHOT=FILE, the installed program opens the demo club under a virtual screen, logs in as
#      the demo's supervisor and the screen is saved to FILE;
#   4. the uninstaller removes every file, folder, menu entry and registry key the installer made.
# Usage: check-installer.sh BUILD_DIR [LINUX_BUILD_DIR]
set -euo pipefail
build="$(cd "$1" && pwd)"
linux="${2:-$(dirname "$build")/build}"
setup="$(ls "$build"/Mirabel-*-setup.exe | head -1)"
work="$(mktemp -d)"
export WINEPREFIX="$work/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine mirrors Start-menu entries into the desktop's menus: kept in the throwaway folder, not this machine's.
export XDG_CONFIG_HOME="$work/xdg/config" XDG_DATA_HOME="$work/xdg/data"
xvfb=""
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FALLA: $*" >&2
  exit 1
}
ok() { echo "ok: $*"; }

# A screen of its own for everything Wine shows.
for n in $(seq 90 120); do [ -e /tmp/.X11-unix/X$n ] || break; done
Xvfb ":$n" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$n"
wineboot -u >/dev/null 2>&1
wineserver -w

echo "Instalador: $(basename "$setup"), $(du -h "$setup" | cut -f1)"
wine "$setup" /S
wineserver -w
c="$WINEPREFIX/drive_c"
inst="$c/Program Files/Mirabel"
[ -f "$inst/mirabel.exe" ] || fail "no se instaló $inst/mirabel.exe"
[ -f "$inst/Uninstall.exe" ] || fail "no hay desinstalador"
[ -f "$inst/platforms/qwindows.dll" ] && [ -f "$inst/sqldrivers/qsqlite.dll" ] && [ -f "$inst/sqldrivers/qsqlpsql.dll" ] ||
  fail "faltan plugins de Qt"
[ -f "$inst/translations/qtbase_es.qm" ] || fail "faltan las traducciones de Qt"
menu="$(find "$c" -path '*Start Menu/Programs/Mirabel/Mirabel.lnk' | head -1)"
[ -n "$menu" ] || fail "no hay entrada en el menú Inicio"
ok "instalado en C:\\Program Files\\Mirabel ($(find "$inst" -type f | wc -l) archivos), menú: ${menu#"$c"/}"

# The demo club, made by the Windows sample generator of the build, in a folder named with blanks and accents.
datos="$c/users/Public/Datos del Club Año Ñandú"
mkdir -p "$datos"
dw='C:\users\Public\Datos del Club Año Ñandú'
(cd "$build" && wine ./mirabel-sample.exe --out "$dw\\demo club.db" --members 300 --seed 1 --today 2024-06-30 \
  --demo >/dev/null)
[ -s "$datos/demo club.db" ] || fail "mirabel-sample no hizo el club de demostración"
wine "$inst/mirabel.exe" report infDeuda.rpt --database "$dw\\demo club.db" --pdf "$dw\\deudas ñ.pdf"
wineserver -w
pdf="$datos/deudas ñ.pdf"
[ -s "$pdf" ] || fail "mirabel.exe report no escribió el PDF"
head -c 5 "$pdf" | grep -q '%PDF-' || fail "no es un PDF"
pdftotext -layout "$pdf" "$work/win.txt"
grep -q "Nº Apellido y nombres" "$work/win.txt" || fail "el PDF no trae el texto acentuado esperado"
if [ -x "$linux/mirabel" ]; then
  "$linux/mirabel" report infDeuda.rpt --database "$datos/demo club.db" --pdf "$work/linux.pdf"
  pdftotext -layout "$work/linux.pdf" "$work/linux.txt"
  diff -u "$work/linux.txt" "$work/win.txt" >"$work/dif.txt" || {
    head -40 "$work/dif.txt"
    fail "el PDF de Windows no dice lo mismo que el de Linux"
  }
  ok "PDF de $(pdfinfo "$pdf" | sed -n 's/^Pages: *//p') páginas, igual en texto al del programa de Linux"
else
  ok "PDF de $(pdfinfo "$pdf" | sed -n 's/^Pages: *//p') páginas"
fi

# The old program's file brought in by the installed program (its own Jet 4 reader), from the same folder.
fixtures="$(sed -n 's/^MIRABEL_LEGACY_FIXTURES:PATH=//p' "$build/CMakeCache.txt")"
if [ -f "$fixtures/BASE-small.mdb" ]; then
  cp "$fixtures/BASE-small.mdb" "$datos/BASE anterior.mdb"
  wine "$inst/mirabel.exe" import-mdb "$dw\\BASE anterior.mdb" --database "$dw\\importada ñ.db" >"$work/import.txt" ||
    { cat "$work/import.txt"; fail "mirabel.exe import-mdb no trajo la base anterior"; }
  wineserver -w
  [ -s "$datos/importada ñ.db" ] || fail "import-mdb no escribió la base"
  ok "base anterior importada: $(grep -c 'leídos' "$work/import.txt") tablas ($(grep 'Afiliados:' "$work/import.txt" | tr -s ' '))"
else
  ok "sin las bases de ejemplo en '$fixtures': no se prueba la importación"
fi

if [ -n "${SCREENSHOT:-}" ]; then
  QT_QPA_PLATFORM=windows wine "$inst/mirabel.exe" --database "$dw\\demo club.db" >/dev/null 2>&1 &
  # The login window: the demo's supervisor.
  for _ in $(seq 60); do xdotool search --name "Ingreso al sistema" >/dev/null 2>&1 && break; sleep 1; done
  xdotool search --name "Ingreso al sistema" >/dev/null || fail "no se vio la ventana de ingreso"
  import -window root "${SCREENSHOT%.png}-ingreso.png"
  sleep 1
  xdotool type --delay 80 super
  xdotool key Tab
  xdotool type --delay 80 super
  xdotool key Return
  for _ in $(seq 60); do xdotool search --name "Mirabel! - Socios" >/dev/null 2>&1 && break; sleep 1; done
  xdotool search --name "Mirabel! - Socios" >/dev/null || fail "no se abrió la ventana principal"
  sleep 3
  import -window root "$SCREENSHOT"
  ok "pantallas en ${SCREENSHOT%.png}-ingreso.png y $SCREENSHOT"
  wineserver -k
  sleep 1
fi

# The uninstaller copies itself away and returns at once: the wait is for every Wine process to end.
wine "$inst/Uninstall.exe" /S
wineserver -w
[ ! -e "$inst" ] || fail "quedó la carpeta $inst: $(find "$inst" | head -5)"
[ -z "$(find "$c" -path '*Start Menu/Programs/Mirabel*')" ] || fail "quedó la entrada del menú Inicio"
! grep -qi 'Mirabel' "$WINEPREFIX/system.reg" || fail "quedaron claves de Mirabel en el registro de la máquina"
[ -s "$datos/demo club.db" ] || fail "la desinstalación borró los datos del club"
ok "desinstalado sin restos; los datos del club siguen en su carpeta"
