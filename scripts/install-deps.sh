#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test qxrtf
# (LibreOffice Writer reads rendered reports back as text, HTML and PDF in
# the tests, poppler's pdfimages measures the pictures in that PDF and
# pdftoppm shows pages as pictures: scripts/look.sh; AbiWord is the second,
# independent reader of rendered documents; pandoc writes some golden
# templates: scripts/golden-template.sh; the PostgreSQL tests start a
# server of their own: scripts/pg-test-cluster.sh).
# Only missing packages are fetched, so a second run costs nothing.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config clang
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libcli11-dev
  libsqlite3-dev libpq-dev libssl-dev libpng-dev libjpeg-dev libgif-dev libcsv-dev
  sqlite3 postgresql time
  locales
  libreoffice-writer-nogui abiword poppler-utils pandoc
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The conversion tests read two named locales besides C; generate them only
# when missing (they skip themselves on a machine without them).
wanted_locales=(de_DE.UTF-8 ru_RU.UTF-8)
missing_locales=()
for l in "${wanted_locales[@]}"; do
  locale -a 2>/dev/null | grep -qix "${l/UTF-8/utf8}" || missing_locales+=("$l")
done
if [ ${#missing_locales[@]} -gt 0 ] && [ -f /etc/locale.gen ] && command -v locale-gen >/dev/null; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  for l in "${missing_locales[@]}"; do
    grep -qx "$l UTF-8" /etc/locale.gen || echo "$l UTF-8" | $sudo_cmd tee -a /etc/locale.gen >/dev/null
  done
  $sudo_cmd locale-gen >/dev/null
fi
