#!/usr/bin/env bash
# Builds the Debian package of OrvyPc with CPack (its dependencies found by
# dpkg-shlibdeps) and checks its contents:
#
#   scripts/package.sh [BUILD_DIR]        (default build)
#
# leaves BUILD_DIR/package/orvypc_<version>_<arch>.deb, which
# `apt-get install ./orvypc_*.deb` installs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
dir=${1:-build}
scripts/build.sh "$dir"
rm -rf "$dir/package"
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls "$dir"/package/orvypc_*.deb)

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
missing=0
for f in ./usr/bin/orvypc ./usr/bin/orvypc-gateway-sim ./usr/share/applications/orvypc.desktop \
         ./usr/share/icons/hicolor/48x48/apps/orvypc.png ./usr/share/icons/hicolor/256x256/apps/orvypc.png \
         ./usr/share/man/man1/orvypc.1 ./usr/share/bash-completion/completions/orvypc \
         ./usr/lib/systemd/user/orvypc-monitor.service ./usr/lib/systemd/user/orvypc-monitor-once.service \
         ./usr/lib/systemd/user/orvypc-monitor-once.timer; do
  grep -qxF -- "$f" <<<"$contents" || { echo "package.sh: $deb lacks $f" >&2; missing=1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libxlsxwriter libqt6widgets6 libcurl4; do
  grep -q "$lib" <<<"$depends" || { echo "package.sh: Depends lacks $lib: $depends" >&2; missing=1; }
done
unit=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/lib/systemd/user/orvypc-monitor.service)
grep -qx 'ExecStart=/usr/bin/orvypc monitor' <<<"$unit" || { echo "package.sh: the monitor's unit does not start /usr/bin/orvypc" >&2; missing=1; }
[ "$missing" -eq 0 ] || exit 1
echo "package.sh: $deb (Depends: $depends)"
