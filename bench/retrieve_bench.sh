#!/usr/bin/env bash
# C-MOVE as an archive: `pella serve` and DCMTK's dcmqrscp hold the same study of COUNT small
# images (stored into each with storescu); movescu asks each to move the study to one storescp.
# Prints the best time of each over ROUNDS and the ratio pella / dcmqrscp (below 1.0: pella is
# faster; goal at most 0.8). The same receiver and the same mover on both sides: only the
# archive differs.
source "$(dirname "$0")/common.sh"

COUNT="${COUNT:-500}"
ROUNDS="${ROUNDS:-3}"
work=$(mktemp -d)
study=1.2.826.0.1.3680043.9.99.2
series=$study.1
start_archive_peers "$COUNT" "$study" "$series"

# The Pella archive: its own folder, storescp as its one peer.
archive_port=$(free_port)
echo "STORESCP 127.0.0.1 $scp_port" >"$work/peers"
"$PELLA" serve --port "$archive_port" --dir "$work/pella-archive" --peers "$work/peers" --log-level 0 \
  --log /dev/null & peer_pids+=($!)
wait_for_port "$archive_port"
storescu -aec PELLA 127.0.0.1 "$archive_port" +sd "$work/series" >/dev/null 2>&1

move_from() {  # AE PORT
  movescu -S -aec "$1" -aem STORESCP -k 0008,0052=STUDY -k "0020,000D=$study" 127.0.0.1 "$2" >/dev/null 2>&1
}

best_p=""; best_d=""
better() { [ -z "$1" ] || [ "$(echo "$2 < $1" | bc -l)" = 1 ]; }
received() { find "$work/storescp" -type f | wc -l; }
for _ in $(seq "$ROUNDS"); do
  rm -rf "${work:?}/storescp"/*; t=$(seconds_of move_from PELLA "$archive_port"); better "$best_p" "$t" && best_p=$t
  [ "$(received)" -eq "$COUNT" ] || { echo "pella serve: $(received) of $COUNT objects arrived" >&2; exit 1; }
  rm -rf "${work:?}/storescp"/*; t=$(seconds_of move_from ARCHIVE "$qr_port"); better "$best_d" "$t" && best_d=$t
  [ "$(received)" -eq "$COUNT" ] || { echo "dcmqrscp: $(received) of $COUNT objects arrived" >&2; exit 1; }
done
print_load
printf 'move of %d images to storescp: from pella serve %.3f s, from dcmqrscp %.3f s, ratio %s (goal <= 0.8)\n' \
  "$COUNT" "$best_p" "$best_d" "$(ratio "$best_p" "$best_d")"
