#!/usr/bin/env bash
# What the archive index costs the receiver: SENDERS storescu processes of PER_SENDER small MR
# images each (a series of their own), all at once, into pella serve of this build (which records
# every object in index.sqlite) against pella serve of BASE_PELLA, a build from before the archive
# index (make one with `git worktree add --detach /tmp/base 6e475a7 && /tmp/base/scripts/build.sh
# --cli`), with DCMTK's storescp --fork as the reference. Rounds are interleaved, every run into a
# fresh folder; prints the load, median (min-max) times and the per-round ratios.
# Usage: BASE_PELLA=/tmp/base/build-cli/pella [SERIES=ct] SENDERS=8 PER_SENDER=250 ROUNDS=5 bench/index_cost_bench.sh
source "$(dirname "$0")/common.sh"

SENDERS="${SENDERS:-8}"
PER_SENDER="${PER_SENDER:-250}"
ROUNDS="${ROUNDS:-5}"
[ -x "${BASE_PELLA:-}" ] || { echo "set BASE_PELLA to a pella built from before the archive index" >&2; exit 2; }
work=$(mktemp -d)
# SERIES=ct sends 512 x 512 CT images (the receiver benchmark's concurrent case) instead.
for s in $(seq "$SENDERS"); do
  mkdir -p "$work/senders/$s"
  if [ "${SERIES:-mr}" = ct ]; then make_ct_series "$work/senders/$s" "$PER_SENDER"; else make_small_mr_series "$work/senders/$s" "$PER_SENDER"; fi
done
total=$((SENDERS * PER_SENDER))
print_load

trap 'rm -rf "$work"' EXIT

with_index=(); without=(); reference=()
for round in $(seq "$ROUNDS"); do
  without+=("$(receiver_run base "$total" all_senders "$work/senders" "$BASE_PELLA")")
  with_index+=("$(receiver_run indexed "$total" all_senders "$work/senders" "$PELLA")")
  reference+=("$(receiver_run fork "$total" all_senders "$work/senders" storescp --fork)")
  [ "$round" = "$ROUNDS" ] || discard_old_folders
done
indexed_rows=$(/usr/bin/python3 -c 'import sqlite3,sys; print(sqlite3.connect(sys.argv[1]).execute("select count(*) from instances").fetchone()[0])' "$work/indexed/index.sqlite")
printf '%d storescu senders x %d %s images at once, %d rounds, median (min-max):\n' "$SENDERS" "$PER_SENDER" \
  "$([ "${SERIES:-mr}" = ct ] && echo "512 x 512 CT" || echo "small MR")" "$ROUNDS"
printf '  storescp --fork                         %s s\n' "$(median_range "${reference[@]}")"
printf '  pella serve before the archive index    %s s   ratio %s to storescp --fork\n' \
  "$(median_range "${without[@]}")" "$(paired_ratios without reference)"
printf '  pella serve with the archive index      %s s   ratio %s to storescp --fork\n' \
  "$(median_range "${with_index[@]}")" "$(paired_ratios with_index reference)"
printf '  indexed / before                        %s   (%s rows in the last run'"'"'s index)\n' \
  "$(paired_ratios with_index without)" "$indexed_rows"
print_load
