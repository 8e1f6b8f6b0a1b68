#!/usr/bin/env bash
# Shared pieces of the benchmarks: a free port, a DCMTK peer started and stopped, timing.
# DCMTK's tools run with TCP_NODELAY=1: Debian's build otherwise stalls about 40 ms per message
# on loopback, which would flatter the ratio.
set -euo pipefail

export TCP_NODELAY=1
PELLA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PELLA="${PELLA:-$PELLA_ROOT/build/pella}"

free_port() {
  /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()'
}

wait_for_port() {
  for _ in $(seq 1 200); do
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
    sleep 0.05
  done
  echo "nothing listens on port $1" >&2
  return 1
}

# Seconds (with fractions) that the command takes.
seconds_of() {
  local start end
  start=$(date +%s.%N)
  "$@"
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}

# COUNT CT images of 512 x 512 16-bit pixels (pydicom's CT_small.dcm, its pixels tiled 4 x 4),
# each with SOP Instance UID of its own, written into FOLDER as ct0000.dcm, ct0001.dcm, ...
make_ct_series() {
  /usr/bin/python3 - "$1" "$2" <<'PY'
import sys
import numpy
import pydicom
from pydicom.data import get_testdata_file
from pydicom.uid import generate_uid

folder, count = sys.argv[1], int(sys.argv[2])
ds = pydicom.dcmread(get_testdata_file("CT_small.dcm"))
pixels = numpy.tile(ds.pixel_array, (4, 4))
ds.Rows, ds.Columns = pixels.shape
ds.PixelData = pixels.tobytes()
for i in range(count):
    uid = generate_uid()
    ds.SOPInstanceUID = uid
    ds.file_meta.MediaStorageSOPInstanceUID = uid
    ds.InstanceNumber = i + 1
    ds.save_as(f"{folder}/ct{i:04d}.dcm", write_like_original=False)
PY
}

# The best (shortest) seconds of ROUNDS runs of the command.
best() {
  local b="" t
  for _ in $(seq "$ROUNDS"); do
    t=$(seconds_of "$@")
    if [ -z "$b" ] || [ "$(echo "$t < $b" | bc -l)" = 1 ]; then b=$t; fi
  done
  echo "$b"
}

# Fastest of several timings (seconds) given as arguments.
fastest() { printf '%s\n' "$@" | sort -g | sed -n 1p; }

ratio() { printf '%.3f' "$(echo "$1 / $2" | bc -l)"; }

# The smaller of a best time so far (empty: none yet) and a new one.
smaller_of() { if [ -z "$1" ] || [ "$(echo "$2 < $1" | bc -l)" = 1 ]; then echo "$2"; else echo "$1"; fi; }

# COUNT small CT images (pydicom's CT_small.dcm) of study STUDY, series SERIES in FOLDER.
make_small_study() {
  /usr/bin/python3 - "$@" <<'PY'
import sys
import pydicom
from pydicom.data import get_testdata_file
folder, count, study, series = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
ds = pydicom.dcmread(get_testdata_file("CT_small.dcm"))
ds.StudyInstanceUID, ds.SeriesInstanceUID = study, series
for i in range(count):
    ds.SOPInstanceUID = f"{series}.{i + 1}"
    ds.file_meta.MediaStorageSOPInstanceUID = ds.SOPInstanceUID
    ds.InstanceNumber = i + 1
    ds.save_as(f"{folder}/ct{i:05d}.dcm", write_like_original=False)
PY
}

# A dcmqrscp configuration (written to FILE) listening on QR_PORT with the archive ARCHIVE in
# FOLDER for COUNT objects, knowing PELLASERVE on SERVE_PORT and STORESCP on SCP_PORT.
write_dcmqrscp_config() {
  local file=$1 qr_port=$2 folder=$3 count=$4 serve_port=$5 scp_port=$6
  cat > "$file" <<CFG
NetworkTCPPort = $qr_port
MaxPDUSize = 65536
MaxAssociations = 16
HostTable BEGIN
PELLASERVE = (PELLASERVE, localhost, $serve_port)
STORESCP = (STORESCP, localhost, $scp_port)
HostTable END
VendorTable BEGIN
VendorTable END
AETable BEGIN
ARCHIVE $folder RW ($((count + 100)), 4096mb) ANY
AETable END
CFG
}

# A study of COUNT small images in dcmqrscp's archive ARCHIVE, beside pella serve (PELLASERVE)
# and storescp (STORESCP) as move destinations: makes $work/{series,archive,serve,storescp},
# sets qr_port, serve_port and scp_port, starts the three peers (stopped, and $work removed,
# when the script exits) and loads the study. DCMTK's tools take TCP_NODELAY from the caller.
start_archive_peers() {
  local count=$1 study=$2 series=$3
  qr_port=$(free_port); serve_port=$(free_port); scp_port=$(free_port)
  mkdir -p "$work/archive" "$work/series" "$work/serve" "$work/storescp"
  make_small_study "$work/series" "$count" "$study" "$series"
  write_dcmqrscp_config "$work/dcmqrscp.cfg" "$qr_port" "$work/archive" "$count" "$serve_port" "$scp_port"
  peer_pids=()
  trap stop_archive_peers EXIT
  dcmqrscp -c "$work/dcmqrscp.cfg" "$qr_port" >/dev/null 2>&1 & peer_pids+=($!)
  "$PELLA" serve --port "$serve_port" --dir "$work/serve" --log-level 0 --log /dev/null & peer_pids+=($!)
  storescp --output-directory "$work/storescp" "$scp_port" >/dev/null 2>&1 & peer_pids+=($!)
  wait_for_port "$qr_port"; wait_for_port "$serve_port"; wait_for_port "$scp_port"
  TCP_NODELAY=1 storescu -aec ARCHIVE 127.0.0.1 "$qr_port" +sd "$work/series" >/dev/null 2>&1
}

stop_archive_peers() {
  kill "${peer_pids[@]}" 2>/dev/null || true
  sleep 1
  kill -9 "${peer_pids[@]}" 2>/dev/null || true
  rm -rf "$work"
}

# COUNT small MR images (pydicom's MR_small.dcm, about 10 KB), each with an instance UID of its
# own, all in one series, written into FOLDER as mr00000.dcm, mr00001.dcm, ...
make_small_mr_series() {
  /usr/bin/python3 - "$1" "$2" <<'PY'
import sys
import pydicom
from pydicom.data import get_testdata_file
from pydicom.uid import generate_uid
folder, count = sys.argv[1], int(sys.argv[2])
ds = pydicom.dcmread(get_testdata_file("MR_small.dcm"))
ds.StudyInstanceUID, ds.SeriesInstanceUID = generate_uid(), generate_uid()
for i in range(count):
    ds.SOPInstanceUID = ds.file_meta.MediaStorageSOPInstanceUID = generate_uid()
    ds.InstanceNumber = i + 1
    ds.save_as(f"{folder}/mr{i:05d}.dcm", write_like_original=False)
PY
}

# The machine's load averages (1, 5, 15 minutes), printed with every measurement: the machine is
# shared, and a figure taken under load says so.
print_load() { printf 'load: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"; }

# A fresh, empty output folder below $work for one run: the folder of the previous run with the
# same NAME is renamed away (emptying it in place slows every receiver on this file system for
# minutes afterwards) and deleted by discard_old_folders after the measurement.
fresh_folder() {
  local name=$1
  if [ -e "$work/$name" ]; then
    mkdir -p "$work/old"
    mv "$work/$name" "$work/old/$name.$RANDOM$RANDOM"
  fi
  mkdir -p "$work/$name"
  echo "$work/$name"
}

# REST=SECONDS: after deleting, write everything back and wait that long. On a file system
# without a journal the inode allocator passes over inodes deleted in the last minute, reading
# each one's inode block: right after a round's folders are deleted, making files costs every
# receiver several times more, and the added cost, the same for both sides, pulls ratios towards
# 1. 65 seconds outlasts it (the default, 0, keeps runs short).
discard_old_folders() {
  rm -rf "${work:?}/old"
  if [ "${REST:-0}" -gt 0 ]; then
    sync
    sleep "$REST"
  fi
}

# The objects a receiver wrote below FOLDER (index files, the archive index and staged files aside).
received_objects() { find "$1" -type f ! -name '*.dir' ! -name 'index.sqlite*' ! -path '*/.incoming/*' | wc -l; }

# One timed run against a receiver of its own: starts SERVER on a fresh folder NAME and a free
# port, times CLIENT PORT SOURCE, stops the server and checks that COUNT objects are on disk.
# SERVER: `storescp [OPTIONS...]` (DCMTK) or a pella binary with serve options. Prints the seconds.
# Usage: receiver_run NAME COUNT CLIENT SOURCE SERVER...
receiver_run() {
  local name=$1 count=$2 client=$3 source=$4; shift 4
  local folder port pid t
  folder=$(fresh_folder "$name")
  port=$(free_port)
  if [ "$1" = storescp ]; then
    shift
    storescp "$@" --output-directory "$folder" "$port" >/dev/null 2>&1 &
  else
    local program=$1; shift
    "$program" serve --port "$port" --dir "$folder" --log-level 0 "$@" 2>/dev/null &
  fi
  pid=$!
  wait_for_port "$port"
  t=$(seconds_of "$client" "$port" "$source")
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true
  # storescp --ignore writes nothing: COUNT 0 skips the check
  if [ "$count" -gt 0 ] && [ "$(received_objects "$folder")" -ne "$count" ]; then
    echo "$name: $(received_objects "$folder") of $count objects on disk" >&2
    return 1
  fi
  echo "$t"
}

# Median, minimum and maximum of the numbers given as arguments: "median (min-max)".
median_range() {
  printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {
    m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "%.3f (%.3f-%.3f)", m, v[1], v[NR] }'
}

# Ratios of paired timings: A and B are names of arrays of equal length (run i of each was
# measured side by side); prints "median (min-max)" of A[i] / B[i].
paired_ratios() {
  local -n first=$1 second=$2
  local ratios=() i
  for i in "${!first[@]}"; do ratios+=("$(echo "${first[$i]} / ${second[$i]}" | bc -l)"); done
  median_range "${ratios[@]}"
}

# Runs SENDERS storescu processes at once, sender n sending the folder ROOT/n to 127.0.0.1 PORT,
# and waits for all; fails when any sender failed. Usage: all_senders PORT ROOT
all_senders() {
  local port=$1 root=$2 pids=() failed=0 s p
  for s in $(seq "$SENDERS"); do
    storescu 127.0.0.1 "$port" +sd "$root/$s" >/dev/null 2>&1 &
    pids+=($!)
  done
  for p in "${pids[@]}"; do wait "$p" || failed=1; done
  return $failed
}
