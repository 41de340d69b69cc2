#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing OrvyPc need,
# and only those that are missing. Safe to run again and again.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev
  nlohmann-json3-dev
  libxlsxwriter-dev
  libsqlite3-dev libpq-dev postgresql
  qt6-base-dev
  python3 python3-openpyxl
  clang libclang-rt-14-dev
  xvfb xauth xdotool
  fonts-dejavu-core fonts-wqy-microhei
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
