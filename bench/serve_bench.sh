#!/usr/bin/env bash
# Storage-server speed, for the same series of 512 x 512 CT images in one run:
#   (a) storescu -> pella serve       against  storescu -> DCMTK storescp
#   (b) pella send-series -> pella serve  against  storescu -> DCMTK storescp
#   (c) storescu -> pella serve --sync  against  storescu -> DCMTK storescp (which does not flush)
# and the same for MR_COUNT small MR images, then SENDERS storescu at once. Two floors go with
# each series: storescu -> storescp --ignore and send-series -> storescp --ignore (the sender
# alone, the receiver writing nothing: no receiver's ratio goes below theirs), and every object
# written to a file of its own with one fdatasync each and nothing else (what one device flush
# per object costs: no durable receiver on one association goes below it). Every run has a server
# of its own on a fresh folder (the previous one renamed away, all deleted after each round); the
# runs of a round go one after the other (interleaved); prints the load, the median time of each
# with its min-max, and the median (min-max) of the per-round ratios (below 1.0: pella is faster).
# REST=65 lets the deleted folders' inodes age between rounds (see discard_old_folders).
source "$(dirname "$0")/common.sh"

COUNT="${COUNT:-500}"
MR_COUNT="${MR_COUNT:-2000}"
ROUNDS="${ROUNDS:-5}"
MAX_PDU="${MAX_PDU:-}"  # --max-pdu of pella serve; empty: its default
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/series" "$work/mr"
make_ct_series "$work/series" "$COUNT"
make_small_mr_series "$work/mr" "$MR_COUNT"
print_load

pella_serve=("$PELLA" ${MAX_PDU:+--max-pdu "$MAX_PDU"})
storescu_to()    { storescu 127.0.0.1 "$1" +sd "$2"; }
send_series_to() { "$PELLA" send-series --no-progress 127.0.0.1 "$1" "$2" >/dev/null; }

# Copies every file of SOURCE into a fresh folder, each flushed with fdatasync before the next;
# prints the seconds taken (the interpreter's start left out).
flushed_copies() {
  local folder
  folder=$(fresh_folder flushed)
  /usr/bin/python3 - "$1" "$folder" <<'PY'
import os, sys, time
source, target = sys.argv[1], sys.argv[2]
start = time.perf_counter()
for name in sorted(os.listdir(source)):
    with open(os.path.join(source, name), "rb") as f:
        data = f.read()
    fd = os.open(os.path.join(target, name), os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
    os.write(fd, data)
    os.fdatasync(fd)
    os.close(fd)
print(time.perf_counter() - start)
PY
}

# One series (folder, count, label) through every pair, ROUNDS interleaved rounds.
measure_series() {
  local series=$1 count=$2 label=$3
  local base=() a=() b=() c=() fa=() fb=() fc=()
  for _ in $(seq "$ROUNDS"); do
    base+=("$(receiver_run storescp "$count" storescu_to "$series" storescp)")
    fa+=("$(receiver_run ignore 0 storescu_to "$series" storescp --ignore)")
    fb+=("$(receiver_run ignore 0 send_series_to "$series" storescp --ignore)")
    fc+=("$(flushed_copies "$series")")
    a+=("$(receiver_run pella "$count" storescu_to "$series" "${pella_serve[@]}")")
    b+=("$(receiver_run pella "$count" send_series_to "$series" "${pella_serve[@]}")")
    c+=("$(receiver_run sync "$count" storescu_to "$series" "${pella_serve[@]}" --sync)")
    discard_old_folders
  done
  printf '%s, one association each run, %d rounds, median (min-max):\n' "$label" "$ROUNDS"
  printf '  storescu -> storescp                   %s s\n' "$(median_range "${base[@]}")"
  printf '  (a) storescu -> pella serve            %s s   ratio %s\n' "$(median_range "${a[@]}")" "$(paired_ratios a base)"
  printf '  (b) pella send-series -> pella serve   %s s   ratio %s\n' "$(median_range "${b[@]}")" "$(paired_ratios b base)"
  printf '  (c) storescu -> pella serve --sync     %s s   ratio %s\n' "$(median_range "${c[@]}")" "$(paired_ratios c base)"
  printf '  floor (a): storescu -> storescp --ignore        %s s   ratio %s\n' "$(median_range "${fa[@]}")" \
    "$(paired_ratios fa base)"
  printf '  floor (b): send-series -> storescp --ignore     %s s   ratio %s\n' "$(median_range "${fb[@]}")" \
    "$(paired_ratios fb base)"
  # The sender's own pace and one flush per object follow each other on one association.
  local i fac=()
  for i in "${!fa[@]}"; do fac+=("$(echo "${fa[$i]} + ${fc[$i]}" | bc -l)"); done
  printf '  one fdatasync per object, no network           %s s   ratio %s\n' "$(median_range "${fc[@]}")" \
    "$(paired_ratios fc base)"
  printf '  floor (c): floor (a) + one fdatasync per object %s s   ratio %s\n' "$(median_range "${fac[@]}")" \
    "$(paired_ratios fac base)"
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

# The senders' own CPU time (user and system, from the run into storescp --fork --ignore) spread
# over every core: no receiver on this machine finishes before the senders have had it.
senders_cpu="$work/senders_cpu"
cpu_of_senders() {
  local TIMEFORMAT='%U %S'
  { time all_senders "$@"; } 2>>"$senders_cpu"
}
cores=$(nproc)

floor=(); dfork=(); cp_=(); cs=(); spread=()
for _ in $(seq "$ROUNDS"); do
  : >"$senders_cpu"
  floor+=("$(receiver_run ignore 0 cpu_of_senders "$work/senders" storescp --fork --ignore)")
  spread+=("$(awk -v cores="$cores" '{print ($1 + $2) / cores}' "$senders_cpu")")
  dfork+=("$(receiver_run fork "$total" all_senders "$work/senders" storescp --fork)")
  cp_+=("$(receiver_run pella "$total" all_senders "$work/senders" "${pella_serve[@]}")")
  cs+=("$(receiver_run sync "$total" all_senders "$work/senders" "${pella_serve[@]}" --sync)")
  discard_old_folders
done
printf '%d storescu senders x %d CT images at once, %d rounds, median (min-max):\n' "$SENDERS" "$PER_SENDER" "$ROUNDS"
printf '  storescp --fork --ignore (floor)     %s s\n' "$(median_range "${floor[@]}")"
printf '  storescp --fork                      %s s\n' "$(median_range "${dfork[@]}")"
printf "  the senders' CPU over %d cores       %s s   ratio %s to storescp --fork\n" "$cores" \
  "$(median_range "${spread[@]}")" "$(paired_ratios spread dfork)"
printf '  pella serve                          %s s   ratio %s to storescp --fork\n' \
  "$(median_range "${cp_[@]}")" "$(paired_ratios cp_ dfork)"
printf '  pella serve --sync                   %s s   ratio %s to storescp --fork\n' \
  "$(median_range "${cs[@]}")" "$(paired_ratios cs dfork)"
print_load
