#!/usr/bin/env bash
# What the archive index costs the receiver: SENDERS storescu processes of PER_SENDER small MR
# images each (a series of their own), all at once, into pella serve of this build (which records
# every object in index.sqlite) against pella serve of BASE_PELLA, a build from before the archive
# index (make one with `git worktree add --detach /tmp/base 6e475a7 && /tmp/base/scripts/build.sh
# --cli`), with DCMTK's storescp --fork as the reference. Rounds are interleaved, every run into a
# fresh folder; prints the load, median (min-max) times and the per-round ratios.
# Usage: BASE_PELLA=/tmp/base/build-cli/pella SENDERS=8 PER_SENDER=250 ROUNDS=5 bench/index_cost_bench.sh
source "$(dirname "$0")/common.sh"

SENDERS="${SENDERS:-8}"
PER_SENDER="${PER_SENDER:-250}"
ROUNDS="${ROUNDS:-5}"
[ -x "${BASE_PELLA:-}" ] || { echo "set BASE_PELLA to a pella built from before the archive index" >&2; exit 2; }
work=$(mktemp -d)
for s in $(seq "$SENDERS"); do mkdir -p "$work/senders/$s"; make_small_mr_series "$work/senders/$s" "$PER_SENDER"; done
total=$((SENDERS * PER_SENDER))
print_load

# Each run gets a server of its own on a fresh folder (the index is a file the server keeps open).
server_pid=""
trap 'kill $server_pid 2>/dev/null; wait $server_pid 2>/dev/null || true; rm -rf "$work"' EXIT
start_server() { # NAME COMMAND...: starts the server on a fresh folder, sets port and server_pid
  local folder; folder=$(fresh_folder "$1"); shift
  port=$(free_port)
  case "$1" in
    storescp) storescp --fork --output-directory "$folder" "$port" >/dev/null 2>&1 & ;;
    *) "$1" serve --port "$port" --dir "$folder" --log-level 0 2>/dev/null & ;;
  esac
  server_pid=$!
  wait_for_port "$port"
}
stop_server() { kill "$server_pid" 2>/dev/null; wait "$server_pid" 2>/dev/null || true; server_pid=""; }
# One run: NAME, the server command; prints the seconds of all senders at once.
run() {
  start_server "$1" "$2"
  local t; t=$(seconds_of all_senders "$port" "$work/senders")
  stop_server
  echo "$t"
}

received() { find "$work/$1" -type f ! -name '*.dir' ! -name 'index.sqlite*' ! -path '*/.incoming/*' | wc -l; }
check() { [ "$(received "$1")" -eq "$total" ] || { echo "$1: $(received "$1") of $total objects on disk" >&2; exit 1; }; }

with_index=(); without=(); reference=()
for _ in $(seq "$ROUNDS"); do
  without+=("$(run base "$BASE_PELLA")");  check base
  with_index+=("$(run indexed "$PELLA")"); check indexed
  reference+=("$(run fork storescp)");     check fork
  discard_old_folders
done
indexed_rows=$(/usr/bin/python3 -c 'import sqlite3,sys; print(sqlite3.connect(sys.argv[1]).execute("select count(*) from instances").fetchone()[0])' "$work/indexed/index.sqlite")
printf '%d storescu senders x %d small MR images at once, %d rounds, median (min-max):\n' "$SENDERS" "$PER_SENDER" "$ROUNDS"
printf '  storescp --fork                         %s s\n' "$(median_range "${reference[@]}")"
printf '  pella serve before the archive index    %s s   ratio %s to storescp --fork\n' \
  "$(median_range "${without[@]}")" "$(paired_ratios without reference)"
printf '  pella serve with the archive index      %s s   ratio %s to storescp --fork\n' \
  "$(median_range "${with_index[@]}")" "$(paired_ratios with_index reference)"
printf '  indexed / before                        %s   (%s rows in the last run'"'"'s index)\n' \
  "$(paired_ratios with_index without)" "$indexed_rows"
print_load
