#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing OrvyPc need,
# and only those that are missing. Safe to run again and again.
#
#   scripts/deps.sh          what building and running need
#   scripts/deps.sh --test   also what only the tests use: the loopback
#                            mail server of the monitor's tests (aiosmtpd,
#                            openssl for its certificate), and LibreOffice to
#                            print the workbooks (a large download); when
#                            LibreOffice cannot be installed, that one check
#                            is skipped
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev
  nlohmann-json3-dev
  libxlsxwriter-dev
  libsqlite3-dev libpq-dev postgresql
  libssl-dev
  libcurl4-openssl-dev
  qt6-base-dev
  python3 python3-openpyxl
  clang libclang-rt-14-dev
  xvfb xauth xdotool
  fonts-dejavu-core fonts-wqy-microhei
  help2man dpkg-dev file
)
optional=()
if [ "${1:-}" = "--test" ]; then
  packages+=(python3-aiosmtpd openssl)
  optional=(libreoffice-calc-nogui poppler-utils)
fi

missing_of() {
  local p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      echo "$p"
    fi
  done
}

mapfile -t missing < <(missing_of "${packages[@]}")
mapfile -t missing_optional < <(missing_of "${optional[@]}")
if [ ${#missing[@]} -eq 0 ] && [ ${#missing_optional[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
install() {
  # Another install may hold the lock for a while: wait for it.
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -o DPkg::Lock::Timeout=600 -y -qq --no-install-recommends "$@"
}
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  install "${missing[@]}"
fi
if [ ${#missing_optional[@]} -gt 0 ]; then
  echo "Installing for the tests: ${missing_optional[*]}"
  install "${missing_optional[@]}" ||
    echo "deps.sh: could not install ${missing_optional[*]}; the tests that need them will say they were skipped" >&2
fi
