#!/usr/bin/env bash
# Deep nesting: `pella dump` (text and --json) of files holding LEVELS nested undefined-length
# sequences (explicit VR little endian, each level a private SQ header and an item
# header, 20 bytes, left open as a hostile file would). Prints per file and mode the exit code,
# the seconds and the peak memory; the target is under 1 s and 100 MB, or a clean failure.
# Usage: bench/deep_dump_bench.sh [LEVELS...]   (default: 16000 100000)
source "$(dirname "$0")/common.sh"

levels=("$@")
[ ${#levels[@]} -gt 0 ] || levels=(16000 100000)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

make_deep_file() {
  /usr/bin/python3 - "$1" "$2" <<'PY'
import struct, sys
levels, path = int(sys.argv[1]), sys.argv[2]
def explicit(group, element, vr, value):
    return struct.pack('<HH', group, element) + vr + struct.pack('<H', len(value)) + value
syntax = b'1.2.840.10008.1.2.1\0'
body = explicit(2, 0x10, b'UI', syntax)
meta = explicit(2, 0, b'UL', struct.pack('<I', len(body))) + body
level = struct.pack('<HH', 0x0009, 0x1010) + b'SQ\0\0' + struct.pack('<I', 0xFFFFFFFF) + \
        struct.pack('<HHI', 0xFFFE, 0xE000, 0xFFFFFFFF)
with open(path, 'wb') as f:
    f.write(b'\0' * 128 + b'DICM' + meta + level * levels)
PY
}

printf '%-8s %-6s %-9s %5s %8s %8s\n' levels mode bytes exit seconds MB
for n in "${levels[@]}"; do
  file="$work/deep$n.dcm"
  make_deep_file "$n" "$file"
  for mode in text json; do
    args=(dump "$file")
    [ "$mode" = json ] && args=(dump --json "$file")
    status=0
    /usr/bin/time -f '%e %M' -o "$work/time" timeout 120 "$PELLA" "${args[@]}" >/dev/null 2>"$work/err" || status=$?
    read -r seconds kilobytes < <(tail -n 1 "$work/time") || true
    [ "$status" -eq 124 ] && seconds=">120"
    printf '%-8s %-6s %-9s %5s %8s %8s\n' "$n" "$mode" "$(stat -c %s "$file")" "$status" "$seconds" \
      "$((${kilobytes:-0} / 1024))"
    [ "$status" -ne 0 ] && [ "$status" -ne 124 ] && sed -n 1p "$work/err" | cut -c1-160
  done
done
