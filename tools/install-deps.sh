#!/usr/bin/env bash
# Installs the Debian packages Mirabel needs to build, run and test; only those missing. Safe to run again.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ make pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite qt6-translations-l10n
  qt6-charts-dev libqt6opengl6-dev
  libsqlite3-dev libcurl4-openssl-dev
  python3-aiosmtpd poppler-utils fonts-dejavu-core
  sqlite3
  libxlsxwriter-dev python3-openpyxl
  desktop-file-utils appstream dpkg-dev file man-db
  libsodium-dev openssl
  mdbtools-dev mdbtools
  libqt6sql6-psql libpq-dev postgresql postgresql-client
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Instalando paquetes faltantes: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
