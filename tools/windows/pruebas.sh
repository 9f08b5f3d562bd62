#!/usr/bin/env bash
# Runs the Windows build's test programs under Wine inside a virtual screen (Xvfb) and prints ctest's
# summary. Usage: pruebas.sh BUILD_DIR [ctest arguments...]
set -euo pipefail
build="$(cd "$1" && pwd)"
shift
export MIRABEL_WIN_CACHE="${MIRABEL_WIN_CACHE:-$HOME/.cache/mirabel-windows}"
export WINEPREFIX="$MIRABEL_WIN_CACHE/wine" WINEDEBUG=-all
export XDG_CONFIG_HOME="$MIRABEL_WIN_CACHE/xdg/config" XDG_DATA_HOME="$MIRABEL_WIN_CACHE/xdg/data"
status=0
# One Wine server for the whole run (it starts with the first test); ended with the screen.
xvfb-run -a -s "-screen 0 1280x1024x24" \
  sh -c 'cd "$0" && ctest --output-on-failure -j 2 "$@"; s=$?; wineserver -k; exit $s' "$build" "$@" || status=$?
exit $status
