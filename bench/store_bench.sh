#!/usr/bin/env bash
# Storage speed: pella send-series against DCMTK's storescu, sending the same series of
# 512 x 512 CT images over one association, in one run, to two receivers:
#   - storescp writing every object to disk (the real job), and
#   - storescp --ignore (receives and answers, writes nothing): the floor, where the time is
#     almost all the sender's and the protocol's.
# Prints the time of each and the ratio pella / storescu for both (below 1.0: pella is faster).
source "$(dirname "$0")/common.sh"

COUNT="${COUNT:-500}"
ROUNDS="${ROUNDS:-3}"
work=$(mktemp -d)
port=$(free_port)
floor_port=$(free_port)
mkdir -p "$work/series" "$work/received" "$work/ignored"

make_ct_series "$work/series" "$COUNT"

storescp --output-directory "$work/received" "$port" >/dev/null 2>&1 &
peer=$!
storescp --ignore --output-directory "$work/ignored" "$floor_port" >/dev/null 2>&1 &
floor_peer=$!
trap 'kill $peer $floor_peer 2>/dev/null; wait $peer $floor_peer 2>/dev/null || true; rm -rf "$work"' EXIT
wait_for_port "$port"
wait_for_port "$floor_port"

clear_received() { find "$work/received" -type f -delete; }
run_pella()    { "$PELLA" send-series --no-progress 127.0.0.1 "$1" "$work/series" >/dev/null; }
run_storescu() { storescu 127.0.0.1 "$1" +sd "$work/series"; }
received()     { find "$work/received" -type f | wc -l; }

# The fastest of ROUNDS runs of each, alternating, so that both meet the same machine state.
pella_disk=""; storescu_disk=""; pella_floor=""; storescu_floor=""
for _ in $(seq "$ROUNDS"); do
  clear_received; p=$(seconds_of run_pella "$port")
  [ "$(received)" -eq "$COUNT" ] || { echo "pella: not every object arrived" >&2; exit 1; }
  clear_received; d=$(seconds_of run_storescu "$port")
  [ "$(received)" -eq "$COUNT" ] || { echo "storescu: not every object arrived" >&2; exit 1; }
  pf=$(seconds_of run_pella "$floor_port")
  df=$(seconds_of run_storescu "$floor_port")
  pella_disk=$(smaller_of "$pella_disk" "$p"); storescu_disk=$(smaller_of "$storescu_disk" "$d")
  pella_floor=$(smaller_of "$pella_floor" "$pf"); storescu_floor=$(smaller_of "$storescu_floor" "$df")
done
mb=$(du -sm "$work/series" | cut -f1)
printf '%d CT images (%s MB) on one association, best of %d rounds\n' "$COUNT" "$mb" "$ROUNDS"
printf '  to storescp:          pella %.3f s, storescu %.3f s, ratio %s\n' \
  "$pella_disk" "$storescu_disk" "$(ratio "$pella_disk" "$storescu_disk")"
printf '  to storescp --ignore: pella %.3f s, storescu %.3f s, ratio %s (floor)\n' \
  "$pella_floor" "$storescu_floor" "$(ratio "$pella_floor" "$storescu_floor")"
