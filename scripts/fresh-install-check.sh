#!/usr/bin/env bash
# Installs the Debian package into a fresh, minimal Debian 12 system made
# for the purpose (mmdebstrap, in a temporary folder) and runs it there:
# `orvypc --version` and `orvypc results --demo`. Needs root and the
# network (the Debian mirror); takes a few minutes. Not part of
# scripts/test.sh, which checks the package's contents instead.
#
#   scripts/fresh-install-check.sh [build/package/orvypc_<version>_<arch>.deb]
set -euo pipefail
cd "$(dirname "$0")/.."
deb=${1:-$(ls build/package/orvypc_*.deb 2>/dev/null | head -1)}
[ -f "$deb" ] || { echo "no package: run scripts/package.sh first, or name the .deb" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || { echo "the fresh system is made and entered as root" >&2; exit 2; }
if ! command -v mmdebstrap >/dev/null; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends mmdebstrap >&2
fi

root=$(mktemp -d /tmp/orvypc-fresh.XXXXXX)
cleanup() {
  umount "$root/proc" 2>/dev/null || true
  rm -rf "$root"
}
trap cleanup EXIT
mmdebstrap --variant=apt --mode=root --include=ca-certificates bookworm "$root" >&2
cp "$deb" "$root/tmp/orvypc.deb"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount --bind /proc "$root/proc"
chroot "$root" sh -ec '
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq /tmp/orvypc.deb >/dev/null
  orvypc --version
  orvypc results --demo --no-logbook | head -3
'
echo "installed and ran on a fresh Debian 12: $deb"
