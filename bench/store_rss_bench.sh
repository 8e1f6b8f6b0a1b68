#!/usr/bin/env bash
# Memory of the storage user: peak RSS of `pella store` sending one large object to storescp
# --ignore, for objects of several sizes (CT images of 16-bit pixels, SIZES in MB), next to the
# peak of `pella echo` (the tool's fixed size). Sent as the file stands (its own syntax) and,
# with RECODE=1, also re-encoded (explicit file to a peer that takes implicit VR only).
# PELLA=... measures another build.
source "$(dirname "$0")/common.sh"

SIZES="${SIZES:-8 108 400}"
work=$(mktemp -d)
port=$(free_port)
implicit_port=$(free_port)
storescp --ignore --output-directory "$work" "$port" >/dev/null 2>&1 &
peer=$!
storescp --ignore +xi --output-directory "$work" "$implicit_port" >/dev/null 2>&1 &
implicit_peer=$!
trap 'kill $peer $implicit_peer 2>/dev/null; wait $peer $implicit_peer 2>/dev/null || true; rm -rf "$work"' EXIT
wait_for_port "$port"
wait_for_port "$implicit_port"

# A CT object of about MB megabytes: pydicom's CT_small.dcm with 16-bit pixels of its own size.
make_object() {
  /usr/bin/python3 - "$1" "$2" <<'PY'
import sys
import numpy
import pydicom
from pydicom.data import get_testdata_file

path, megabytes = sys.argv[1], int(sys.argv[2])
ds = pydicom.dcmread(get_testdata_file("CT_small.dcm"))
columns = 4096
rows = max(1, megabytes * 1024 * 1024 // (2 * columns))
ds.Rows, ds.Columns = rows, columns
ds.PixelData = (numpy.arange(rows * columns, dtype=numpy.uint32) % 4093).astype(numpy.uint16).tobytes()
ds.save_as(path, write_like_original=False)
PY
}

# Peak resident size (MB) of a command, which must succeed.
peak_mb() {
  if ! /usr/bin/time -o "$work/peak" -f '%M' "$@" >/dev/null 2>"$work/err"; then
    echo "failed: $* ($(tail -n 1 "$work/err"))" >&2
    exit 1
  fi
  echo $(($(tail -n 1 "$work/peak") / 1024))
}

echo "pella echo:  $(peak_mb "$PELLA" echo 127.0.0.1 "$port") MB peak"
for size in $SIZES; do
  make_object "$work/object.dcm" "$size"
  bytes=$(stat -c %s "$work/object.dcm")
  line="object of $((bytes / 1024 / 1024)) MB: pella store $(peak_mb "$PELLA" store 127.0.0.1 "$port" "$work/object.dcm") MB peak"
  if [ "${RECODE:-0}" = 1 ]; then
    line="$line; re-encoded for an implicit-only peer $(peak_mb "$PELLA" store 127.0.0.1 "$implicit_port" "$work/object.dcm") MB peak"
  fi
  echo "$line"
  rm -f "$work/object.dcm"
done
