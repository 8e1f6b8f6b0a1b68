#!/usr/bin/env bash
# Storage speed: pella send-series against DCMTK's storescu, sending the same series of
# 512 x 512 CT images over one association to the same storescp, in one run.
# Prints the time of each and the ratio pella / storescu (below 1.0: pella is faster).
source "$(dirname "$0")/common.sh"

COUNT="${COUNT:-500}"
ROUNDS="${ROUNDS:-3}"
work=$(mktemp -d)
port=$(free_port)
mkdir -p "$work/series" "$work/received"

make_ct_series "$work/series" "$COUNT"

storescp --output-directory "$work/received" "$port" >/dev/null 2>&1 &
peer=$!
trap 'kill $peer 2>/dev/null; wait $peer 2>/dev/null || true; rm -rf "$work"' EXIT
wait_for_port "$port"

clear_received() { find "$work/received" -type f -delete; }
run_pella()    { "$PELLA" send-series --no-progress 127.0.0.1 "$port" "$work/series" >/dev/null; }
run_storescu() { storescu 127.0.0.1 "$port" +sd "$work/series"; }

# The fastest of ROUNDS runs of each, alternating, so that both meet the same machine state.
best_pella=""; best_storescu=""
for _ in $(seq "$ROUNDS"); do
  clear_received; p=$(seconds_of run_pella)
  [ "$(find "$work/received" -type f | wc -l)" -eq "$COUNT" ] || { echo "pella: not every object arrived" >&2; exit 1; }
  clear_received; d=$(seconds_of run_storescu)
  [ "$(find "$work/received" -type f | wc -l)" -eq "$COUNT" ] || { echo "storescu: not every object arrived" >&2; exit 1; }
  if [ -z "$best_pella" ] || [ "$(echo "$p < $best_pella" | bc -l)" = 1 ]; then best_pella=$p; fi
  if [ -z "$best_storescu" ] || [ "$(echo "$d < $best_storescu" | bc -l)" = 1 ]; then best_storescu=$d; fi
done
mb=$(du -sm "$work/series" | cut -f1)
printf '%d CT images (%s MB) on one association: pella %.3f s, storescu %.3f s, ratio %s\n' \
  "$COUNT" "$mb" "$best_pella" "$best_storescu" "$(ratio "$best_pella" "$best_storescu")"
