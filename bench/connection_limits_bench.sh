#!/usr/bin/env bash
# pella serve against peers that trickle and peers that crowd it:
#  - PEERS (20) connections sending an A-ASSOCIATE-RQ a byte every 5 s against
#    --max-associations 4 --acse-timeout 10: seconds until an echoscu probe is served;
#  - CROWD (1000) connections asking at once against --max-associations 4: how many got the
#    A-ASSOCIATE-RJ or service, and how long the slowest waited for its answer.
source "$(dirname "$0")/common.sh"

PEERS="${PEERS:-20}"
CROWD="${CROWD:-1000}"
work=$(mktemp -d)
pid=
stop_server() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  pid=
}
trap 'stop_server; rm -rf "$work"' EXIT
serve() {
  port=$(free_port)
  "$PELLA" serve --port "$port" --dir "$work/db" --log-level 0 --log /dev/null "$@" 2>/dev/null & pid=$!
  wait_for_port "$port"
}

serve --max-associations 4 --acse-timeout 10
/usr/bin/python3 "$PELLA_ROOT/bench/connection_limits_bench.py" trickle "$port" "$PEERS" 5 120
stop_server

serve --max-associations 4
/usr/bin/python3 "$PELLA_ROOT/bench/connection_limits_bench.py" crowd "$port" "$CROWD"
stop_server
