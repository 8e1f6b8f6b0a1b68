#!/usr/bin/env bash
# One large multi-frame object through pella serve: a generated Multi-frame Grayscale Word image
# of about SIZE_MB MB (sparse pixel data: zeros, written without holding them) sent by DCMTK's
# storescu. Prints the time, the server's peak resident memory (VmHWM) and whether the stored
# data set equals the sent one byte for byte (read in pieces, never whole).
source "$(dirname "$0")/common.sh"

SIZE_MB="${SIZE_MB:-1536}"
work=$(mktemp -d)
port=$(free_port)
"$PELLA" serve --port "$port" --dir "$work/db" --log-level 0 2>/dev/null &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null || true; rm -rf "$work"' EXIT
wait_for_port "$port"

/usr/bin/python3 - "$work/large.dcm" "$SIZE_MB" <<'PY'
import struct, sys
from pydicom.uid import generate_uid

path, megabytes = sys.argv[1], int(sys.argv[2])
SOP_CLASS, SYNTAX = b"1.2.840.10008.5.1.4.1.1.7.3", b"1.2.840.10008.1.2.1"

def even(b, pad=b"\0"):
    return b + pad if len(b) % 2 else b

def short(group, elem, vr, value):
    return struct.pack("<HH2sH", group, elem, vr, len(value)) + value

def long(group, elem, vr, length):
    return struct.pack("<HH2sHI", group, elem, vr, 0, length)

sop = even(generate_uid().encode())
frame = 512 * 512 * 2
frames = max(1, megabytes * 1024 * 1024 // frame)
meta = (long(2, 1, b"OB", 2) + b"\0\1" + short(2, 2, b"UI", even(SOP_CLASS)) + short(2, 3, b"UI", sop)
        + short(2, 0x10, b"UI", even(SYNTAX)) + short(2, 0x12, b"UI", even(b"1.2.3.4")))
meta = short(2, 0, b"UL", struct.pack("<I", len(meta))) + meta
data = (short(8, 0x16, b"UI", even(SOP_CLASS)) + short(8, 0x18, b"UI", sop) + short(0x10, 0x10, b"PN", b"LARGE^OBJECT")
        + short(0x20, 0x0D, b"UI", even(generate_uid().encode())) + short(0x20, 0x0E, b"UI", even(generate_uid().encode()))
        + short(0x28, 0x02, b"US", struct.pack("<H", 1)) + short(0x28, 0x04, b"CS", b"MONOCHROME2 ")
        + short(0x28, 0x08, b"IS", even(str(frames).encode(), b" "))
        + short(0x28, 0x10, b"US", struct.pack("<H", 512)) + short(0x28, 0x11, b"US", struct.pack("<H", 512))
        + short(0x28, 0x100, b"US", struct.pack("<H", 16)) + short(0x28, 0x101, b"US", struct.pack("<H", 16))
        + short(0x28, 0x102, b"US", struct.pack("<H", 15)) + short(0x28, 0x103, b"US", struct.pack("<H", 0))
        + long(0x7FE0, 0x10, b"OW", frames * frame))
with open(path, "wb") as f:
    f.write(bytes(128) + b"DICM" + meta + data)
    f.truncate(f.tell() + frames * frame)
PY
bytes=$(stat -c %s "$work/large.dcm")

peak_file="$work/peak"
( peak=0
  while kill -0 "$server" 2>/dev/null; do
    rss=$(awk '/VmHWM/ {print int($2 / 1024)}' "/proc/$server/status" 2>/dev/null || echo 0)
    echo "$rss" > "$peak_file"
    sleep 0.5
  done ) &
watcher=$!
start=$(date +%s.%N)
TCP_NODELAY=1 storescu 127.0.0.1 "$port" "$work/large.dcm"
end=$(date +%s.%N)
sleep 1
kill $watcher 2>/dev/null || true
stored=$(find "$work/db" -name '*.dcm' ! -path '*/.incoming/*')

same=$(/usr/bin/python3 - "$work/large.dcm" "$stored" <<'PY'
import struct, sys

def data_set_start(f):
    f.seek(132)
    group, elem, vr, length = struct.unpack("<HH2sH", f.read(8))
    value = struct.unpack("<I", f.read(4))[0]
    return 132 + 12 + value

with open(sys.argv[1], "rb") as a, open(sys.argv[2], "rb") as b:
    a.seek(data_set_start(a)); b.seek(data_set_start(b))
    while True:
        x, y = a.read(1 << 22), b.read(1 << 22)
        if x != y:
            print("differ"); break
        if not x:
            print("equal"); break
PY
)
printf '%d MB multi-frame object: sent in %.1f s, pella serve peak RSS %s MB, stored data set %s\n' \
  "$((bytes / 1048576))" "$(echo "$end - $start" | bc -l)" "$(cat "$peak_file")" "$same"
