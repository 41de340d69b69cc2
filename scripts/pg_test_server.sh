#!/usr/bin/env bash
# A PostgreSQL server of the test suite's own, for the logbook tests:
#   scripts/pg_test_server.sh start DIR   # initdb + pg_ctl start in DIR
#   scripts/pg_test_server.sh stop DIR    # pg_ctl stop, DIR removed
# It listens on a Unix socket in DIR only (no TCP port). initdb refuses to
# run as root, so as root the server runs as the `postgres` user that the
# Debian package creates. The tests reach it at
#   postgresql:///postgres?host=DIR&user=<that user>
set -euo pipefail
action=$1
dir=$2
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$bin/initdb" ] || { echo "no PostgreSQL server installed (scripts/deps.sh)" >&2; exit 1; }

as_owner() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

case "$action" in
start)
  # A server left by a run that was killed is stopped first.
  if [ -f "$dir/data/postmaster.pid" ]; then as_owner "$bin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true; fi
  rm -rf "$dir"
  mkdir -p "$dir"
  [ "$(id -u)" -eq 0 ] && chown postgres: "$dir"
  as_owner "$bin/initdb" -D "$dir/data" -A trust -U "$(as_owner id -un)" --no-sync >"$dir/initdb.log" 2>&1 ||
    { cat "$dir/initdb.log" >&2; exit 1; }
  as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
    -o "-c listen_addresses='' -c unix_socket_directories='$dir' -c fsync=off" start >/dev/null ||
    { cat "$dir/server.log" >&2; exit 1; }
  ;;
stop)
  if [ -f "$dir/data/postmaster.pid" ]; then as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null; fi
  rm -rf "$dir"
  ;;
*)
  echo "usage: $0 start|stop DIR" >&2
  exit 1
  ;;
esac
