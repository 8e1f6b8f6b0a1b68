#!/usr/bin/env bash
# Storage-server speed, for the same series of 512 x 512 CT images in one run:
#   (a) storescu -> pella serve       against  storescu -> DCMTK storescp
#   (b) pella send-series -> pella serve  against  storescu -> DCMTK storescp
# Both servers write every object to disk. Prints the fastest of ROUNDS runs of each and the
# ratios (below 1.0: pella is faster).
source "$(dirname "$0")/common.sh"

COUNT="${COUNT:-500}"
ROUNDS="${ROUNDS:-3}"
work=$(mktemp -d)
mkdir -p "$work/series" "$work/storescp" "$work/pella"
make_ct_series "$work/series" "$COUNT"

dcmtk_port=$(free_port)
storescp --output-directory "$work/storescp" "$dcmtk_port" >/dev/null 2>&1 &
dcmtk=$!
pella_port=$(free_port)
"$PELLA" serve --port "$pella_port" --dir "$work/pella" --log-level 0 2>/dev/null &
pella=$!
trap 'kill $dcmtk $pella 2>/dev/null; wait $dcmtk $pella 2>/dev/null || true; rm -rf "$work"' EXIT
wait_for_port "$dcmtk_port"
wait_for_port "$pella_port"

received() { find "$1" -type f ! -name '*.dir' | wc -l; }
check() { [ "$(received "$1")" -eq "$COUNT" ] || { echo "$2: $(received "$1") of $COUNT objects on disk" >&2; exit 1; }; }
clear_folder() { rm -rf "${1:?}"/*; }

to_storescp()      { storescu 127.0.0.1 "$dcmtk_port" +sd "$work/series"; }
storescu_to_pella(){ storescu 127.0.0.1 "$pella_port" +sd "$work/series"; }
pella_to_pella()   { "$PELLA" send-series --no-progress 127.0.0.1 "$pella_port" "$work/series" >/dev/null; }

base=(); a=(); b=()
for _ in $(seq "$ROUNDS"); do
  clear_folder "$work/storescp"; base+=("$(seconds_of to_storescp)");       check "$work/storescp" "storescu -> storescp"
  clear_folder "$work/pella";    a+=("$(seconds_of storescu_to_pella)");    check "$work/pella" "storescu -> pella serve"
  clear_folder "$work/pella";    b+=("$(seconds_of pella_to_pella)");       check "$work/pella" "pella send-series -> pella serve"
done
t0=$(fastest "${base[@]}"); ta=$(fastest "${a[@]}"); tb=$(fastest "${b[@]}")
mb=$(du -sm "$work/series" | cut -f1)
printf '%d CT images (%s MB), one association each run, fastest of %d:\n' "$COUNT" "$mb" "$ROUNDS"
printf '  storescu -> storescp                 %.3f s\n' "$t0"
printf '  (a) storescu -> pella serve          %.3f s   ratio %s\n' "$ta" "$(ratio "$ta" "$t0")"
printf '  (b) pella send-series -> pella serve %.3f s   ratio %s\n' "$tb" "$(ratio "$tb" "$t0")"

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
"$PELLA" serve --port "$sync_port" --dir "$work/sync" --sync --log-level 0 2>/dev/null &
syncd=$!
trap 'kill $dcmtk $pella $fork $ignore $syncd 2>/dev/null; wait $dcmtk $pella $fork $ignore $syncd 2>/dev/null || true; rm -rf "$work"' EXIT
wait_for_port "$fork_port"; wait_for_port "$ignore_port"; wait_for_port "$sync_port"

# Runs every sender at once to PORT and waits for all; fails when any sender failed.
all_senders() {
  local pids=() failed=0
  for s in $(seq "$SENDERS"); do
    storescu 127.0.0.1 "$1" +sd "$work/senders/$s" >/dev/null 2>&1 &
    pids+=($!)
  done
  for p in "${pids[@]}"; do wait "$p" || failed=1; done
  return $failed
}
check_count() { [ "$(received "$1")" -eq "$total" ] || { echo "$2: $(received "$1") of $total objects on disk" >&2; exit 1; }; }

floor=(); dfork=(); cp_=(); cs=()
for _ in $(seq "$ROUNDS"); do
  floor+=("$(seconds_of all_senders "$ignore_port")")
  clear_folder "$work/fork"; dfork+=("$(seconds_of all_senders "$fork_port")"); check_count "$work/fork" "storescp --fork"
  clear_folder "$work/pella"; cp_+=("$(seconds_of all_senders "$pella_port")"); check_count "$work/pella" "pella serve"
  clear_folder "$work/sync"; cs+=("$(seconds_of all_senders "$sync_port")"); check_count "$work/sync" "pella serve --sync"
done
tf=$(fastest "${floor[@]}"); td=$(fastest "${dfork[@]}"); tp=$(fastest "${cp_[@]}"); ts=$(fastest "${cs[@]}")
printf '%d storescu senders x %d CT images at once, fastest of %d:\n' "$SENDERS" "$PER_SENDER" "$ROUNDS"
printf '  storescp --fork --ignore (floor)     %.3f s\n' "$tf"
printf '  storescp --fork                      %.3f s\n' "$td"
printf '  pella serve                          %.3f s   ratio %s to storescp --fork, %s to the floor\n' \
  "$tp" "$(ratio "$tp" "$td")" "$(ratio "$tp" "$tf")"
printf '  pella serve --sync                   %.3f s   ratio %s to storescp --fork, %s to the floor\n' \
  "$ts" "$(ratio "$ts" "$td")" "$(ratio "$ts" "$tf")"
