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

# Fastest of several timings (seconds) given as arguments.
fastest() { printf '%s\n' "$@" | sort -g | sed -n 1p; }

ratio() { printf '%.3f' "$(echo "$1 / $2" | bc -l)"; }
