#!/usr/bin/env bash
# System calls of a receiver per small object: COUNT small MR images sent by storescu on one
# association to pella serve (with and without --sync) and to DCMTK storescp, each server run
# under `strace -c -f`. Prints the calls per object, in all and for the most frequent calls.
source "$(dirname "$0")/common.sh"

COUNT="${COUNT:-1000}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/series"
make_small_mr_series "$work/series" "$COUNT"
print_load

# Runs the server (the arguments, with PORT and OUT standing for the port and a fresh output
# folder) under strace, sends the series with storescu, stops the server and prints its calls per
# object, in all and for the most frequent ones.
count_calls() {
  local label=$1; shift
  local port out tracer server args=()
  port=$(free_port)
  out=$(fresh_folder "out-$label")
  for a in "$@"; do a=${a//PORT/$port}; args+=("${a//OUT/$out}"); done
  strace -c -f -o "$work/strace-$label" "${args[@]}" >/dev/null 2>&1 &
  tracer=$!
  wait_for_port "$port"
  storescu 127.0.0.1 "$port" +sd "$work/series" >/dev/null 2>&1
  server=$(pgrep -P "$tracer")
  kill -TERM "$server"; wait "$tracer" 2>/dev/null || true
  stored=$(find "$out" -type f \( -name '*.dcm' -o -name 'MR.*' \) | wc -l)
  local table
  table=$(awk -v n="$COUNT" '/^-+/ { section++; next }
    section == 1 && NF >= 5 { printf "%s %.2f\n", $NF, $4 / n }' "$work/strace-$label" | sort -k2,2gr)
  printf '%-18s %d stored, %5.1f calls per object:' "$label" "$stored" \
    "$(awk '{ t += $2 } END { print t }' <<< "$table")"
  head -14 <<< "$table" | tr '\n' ' ' | sed 's/ $//; s/^/ /'
  echo
}

count_calls storescp storescp --output-directory OUT PORT
count_calls "pella serve" "$PELLA" serve --port PORT --dir OUT --log-level 0 --log /dev/null
count_calls "pella serve --sync" "$PELLA" serve --port PORT --dir OUT --sync --log-level 0 --log /dev/null
discard_old_folders
