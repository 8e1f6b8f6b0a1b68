#!/usr/bin/env bash
# Storage-server speed, for the same series of 512 x 512 CT images in one run:
#   (a) storescu -> pella serve       against  storescu -> DCMTK storescp
#   (b) pella send-series -> pella serve  against  storescu -> DCMTK storescp
#   (c) storescu -> pella serve --sync  against  storescu -> DCMTK storescp (which does not flush)
# and the same for MR_COUNT small MR images. Both servers write every object to disk, each run
# into a fresh folder (the previous one renamed away, all deleted after the measurement). The runs
# of a round go one after the other (interleaved); prints the load, the median time of each with
# its min-max, and the median (min-max) of the per-round ratios (below 1.0: pella is faster).
source "$(dirname "$0")/common.sh"

COUNT="${COUNT:-500}"
MR_COUNT="${MR_COUNT:-2000}"
ROUNDS="${ROUNDS:-5}"
MAX_PDU="${MAX_PDU:-}"  # --max-pdu of pella serve; empty: its default
work=$(mktemp -d)
mkdir -p "$work/series" "$work/mr" "$work/storescp" "$work/pella" "$work/single-sync"
make_ct_series "$work/series" "$COUNT"
make_small_mr_series "$work/mr" "$MR_COUNT"
print_load

dcmtk_port=$(free_port)
storescp --output-directory "$work/storescp" "$dcmtk_port" >/dev/null 2>&1 &
dcmtk=$!
pella_port=$(free_port)
"$PELLA" serve --port "$pella_port" --dir "$work/pella" --log-level 0 ${MAX_PDU:+--max-pdu "$MAX_PDU"} 2>/dev/null &
pella=$!
single_sync_port=$(free_port)
"$PELLA" serve --port "$single_sync_port" --dir "$work/single-sync" --sync --log-level 0 \
  ${MAX_PDU:+--max-pdu "$MAX_PDU"} 2>/dev/null &
single_sync=$!
trap 'kill $dcmtk $pella $single_sync 2>/dev/null; wait $dcmtk $pella $single_sync 2>/dev/null || true; rm -rf "$work"' EXIT
wait_for_port "$dcmtk_port"
wait_for_port "$pella_port"
wait_for_port "$single_sync_port"

received() { find "$1" -type f ! -name '*.dir' ! -name 'index.sqlite*' ! -path '*/.incoming/*' | wc -l; }
check() { [ "$(received "$1")" -eq "$3" ] || { echo "$2: $(received "$1") of $3 objects on disk" >&2; exit 1; }; }
# A fresh folder at the server's path (the server keeps writing below the same path).
clear_folder() { fresh_folder "$(basename "$1")" >/dev/null; }

to_storescp()      { storescu 127.0.0.1 "$dcmtk_port" +sd "$1"; }
storescu_to_pella(){ storescu 127.0.0.1 "$pella_port" +sd "$1"; }
storescu_to_sync() { storescu 127.0.0.1 "$single_sync_port" +sd "$1"; }
pella_to_pella()   { "$PELLA" send-series --no-progress 127.0.0.1 "$pella_port" "$1" >/dev/null; }

# One series (folder, count, label) through every pair, ROUNDS interleaved rounds.
measure_series() {
  local series=$1 count=$2 label=$3
  local base=() a=() b=() c=()
  for _ in $(seq "$ROUNDS"); do
    clear_folder "$work/storescp";    base+=("$(seconds_of to_storescp "$series")");   check "$work/storescp" "storescu -> storescp" "$count"
    clear_folder "$work/pella";       a+=("$(seconds_of storescu_to_pella "$series")"); check "$work/pella" "storescu -> pella serve" "$count"
    clear_folder "$work/pella";       b+=("$(seconds_of pella_to_pella "$series")");    check "$work/pella" "pella send-series -> pella serve" "$count"
    clear_folder "$work/single-sync"; c+=("$(seconds_of storescu_to_sync "$series")");  check "$work/single-sync" "storescu -> pella serve --sync" "$count"
    discard_old_folders
  done
  printf '%s, one association each run, %d rounds, median (min-max):\n' "$label" "$ROUNDS"
  printf '  storescu -> storescp                   %s s\n' "$(median_range "${base[@]}")"
  printf '  (a) storescu -> pella serve            %s s   ratio %s\n' "$(median_range "${a[@]}")" "$(paired_ratios a base)"
  printf '  (b) pella send-series -> pella serve   %s s   ratio %s\n' "$(median_range "${b[@]}")" "$(paired_ratios b base)"
  printf '  (c) storescu -> pella serve --sync     %s s   ratio %s\n' "$(median_range "${c[@]}")" "$(paired_ratios c base)"
}

mb=$(du -sm "$work/series" | cut -f1)
measure_series "$work/series" "$COUNT" "$COUNT CT images ($mb MB)"
measure_series "$work/mr" "$MR_COUNT" "$MR_COUNT small MR images"
print_load

# Concurrent senders: SENDERS storescu processes of PER_SENDER images each (a series of their
# own), all at once, to pella serve (with and without --sync) against DCMTK storescp --fork,
# with storescp --fork --ignore (receives, writes nothing) as the floor.
SENDERS="${SENDERS:-8}"
PER_SENDER="${PER_SENDER:-100}"
for s in $(seq "$SENDERS"); do
  mkdir -p "$work/senders/$s"
  # sed, not head: head closing the pipe early would fail the pipeline (pipefail)
  find "$work/series" -name 'ct*.dcm' | sort | sed -n "1,${PER_SENDER}p" | xargs cp -t "$work/senders/$s/"
done
# Every sender needs images of its own: give each copy new UIDs.
/usr/bin/python3 - "$work/senders" <<'PY'
import os, sys
import pydicom
from pydicom.uid import generate_uid
root = sys.argv[1]
for sender in sorted(os.listdir(root)):
    folder = os.path.join(root, sender)
    series = generate_uid()
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        ds = pydicom.dcmread(path)
        ds.SeriesInstanceUID = series
        ds.SOPInstanceUID = ds.file_meta.MediaStorageSOPInstanceUID = generate_uid()
        ds.save_as(path, write_like_original=False)
PY
total=$((SENDERS * PER_SENDER))

fork_port=$(free_port); ignore_port=$(free_port); sync_port=$(free_port)
mkdir -p "$work/fork" "$work/sync"
storescp --fork --output-directory "$work/fork" "$fork_port" >/dev/null 2>&1 &
fork=$!
storescp --fork --ignore "$ignore_port" >/dev/null 2>&1 &
ignore=$!
"$PELLA" serve --port "$sync_port" --dir "$work/sync" --sync --log-level 0 ${MAX_PDU:+--max-pdu "$MAX_PDU"} 2>/dev/null &
syncd=$!
trap 'kill $dcmtk $pella $single_sync $fork $ignore $syncd 2>/dev/null; wait $dcmtk $pella $single_sync $fork $ignore $syncd 2>/dev/null || true; rm -rf "$work"' EXIT
wait_for_port "$fork_port"; wait_for_port "$ignore_port"; wait_for_port "$sync_port"

check_count() { check "$1" "$2" "$total"; }

floor=(); dfork=(); cp_=(); cs=()
for _ in $(seq "$ROUNDS"); do
  floor+=("$(seconds_of all_senders "$ignore_port" "$work/senders")")
  clear_folder "$work/fork"; dfork+=("$(seconds_of all_senders "$fork_port" "$work/senders")"); check_count "$work/fork" "storescp --fork"
  clear_folder "$work/pella"; cp_+=("$(seconds_of all_senders "$pella_port" "$work/senders")"); check_count "$work/pella" "pella serve"
  clear_folder "$work/sync"; cs+=("$(seconds_of all_senders "$sync_port" "$work/senders")"); check_count "$work/sync" "pella serve --sync"
  discard_old_folders
done
printf '%d storescu senders x %d CT images at once, %d rounds, median (min-max):\n' "$SENDERS" "$PER_SENDER" "$ROUNDS"
printf '  storescp --fork --ignore (floor)     %s s\n' "$(median_range "${floor[@]}")"
printf '  storescp --fork                      %s s\n' "$(median_range "${dfork[@]}")"
printf '  pella serve                          %s s   ratio %s to storescp --fork\n' \
  "$(median_range "${cp_[@]}")" "$(paired_ratios cp_ dfork)"
printf '  pella serve --sync                   %s s   ratio %s to storescp --fork\n' \
  "$(median_range "${cs[@]}")" "$(paired_ratios cs dfork)"
print_load
