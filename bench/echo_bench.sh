#!/usr/bin/env bash
# Verification speed: pella echo against DCMTK's echoscu, on the same storescp, in one run.
#   500 echoes, one association each (one process each), and
#   1000 echoes over one association (--repeat).
# Prints the time of each and the ratio pella / echoscu (below 1.0: pella is faster).
source "$(dirname "$0")/common.sh"

COUNT="${COUNT:-500}"
REPEAT="${REPEAT:-1000}"
work=$(mktemp -d)
port=$(free_port)
storescp --output-directory "$work" "$port" >/dev/null 2>&1 &
peer=$!
trap 'kill $peer 2>/dev/null; wait $peer 2>/dev/null || true; rm -rf "$work"' EXIT
wait_for_port "$port"

many_pella()   { for _ in $(seq "$COUNT"); do "$PELLA" echo 127.0.0.1 "$port" >/dev/null; done; }
many_echoscu() { for _ in $(seq "$COUNT"); do echoscu 127.0.0.1 "$port"; done; }
one_pella()    { "$PELLA" echo --repeat "$REPEAT" 127.0.0.1 "$port" >/dev/null; }
one_echoscu()  { echoscu --repeat "$REPEAT" 127.0.0.1 "$port"; }

p1=$(seconds_of many_pella); d1=$(seconds_of many_echoscu)
p2=$(seconds_of one_pella);  d2=$(seconds_of one_echoscu)
printf '%d associations:      pella %.3f s, echoscu %.3f s, ratio %s\n' "$COUNT" "$p1" "$d1" "$(ratio "$p1" "$d1")"
printf '%d echoes on one:    pella %.3f s, echoscu %.3f s, ratio %s\n' "$REPEAT" "$p2" "$d2" "$(ratio "$p2" "$d2")"
