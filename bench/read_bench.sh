#!/usr/bin/env bash
# Reading speed: `pella dump` over a folder of 512 x 512 CT images in one process against
# DCMTK's dcmdump over the same files in one process, with `cat` of the files as the floor.
# Also pella dump --jobs 1 (one thread, as dcmdump) and pella dump --json.
# Prints the time of each and the ratios against dcmdump (below 1.0: pella is faster).
source "$(dirname "$0")/common.sh"

COUNT="${COUNT:-500}"
ROUNDS="${ROUNDS:-3}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/series"
make_ct_series "$work/series" "$COUNT"
files=("$work"/series/*.dcm)

run_cat()       { cat "${files[@]}" >/dev/null; }
run_dcmdump()   { dcmdump "${files[@]}" >/dev/null; }
run_pella()     { "$PELLA" dump "$work/series" >/dev/null; }
run_pella_one() { "$PELLA" dump --jobs 1 "$work/series" >/dev/null; }
run_json()      { "$PELLA" dump --json "$work/series" >/dev/null; }

# Both tools must read every file.
[ "$("$PELLA" dump "$work/series" | grep -c '^# ')" -eq "$COUNT" ] || { echo "pella: not every file dumped" >&2; exit 1; }
[ "$("$PELLA" dump --json "$work/series" | wc -l)" -eq "$COUNT" ] || { echo "pella --json: not every file" >&2; exit 1; }
dcmdump "${files[@]}" >/dev/null || { echo "dcmdump failed" >&2; exit 1; }

# The fastest of ROUNDS runs of each, taken in turn, so that all meet the same machine state.
declare -A best
for _ in $(seq "$ROUNDS"); do
  for name in cat dcmdump pella pella_one json; do
    t=$(seconds_of "run_$name")
    if [ -z "${best[$name]:-}" ] || [ "$(echo "$t < ${best[$name]}" | bc -l)" = 1 ]; then best[$name]=$t; fi
  done
done
mb=$(du -sm "$work/series" | cut -f1)
printf '%d CT images (%s MB), one process each:\n' "$COUNT" "$mb"
printf '  cat (floor)            %.3f s\n' "${best[cat]}"
printf '  dcmdump                %.3f s\n' "${best[dcmdump]}"
printf '  pella dump             %.3f s  ratio %s\n' "${best[pella]}" "$(ratio "${best[pella]}" "${best[dcmdump]}")"
printf '  pella dump --jobs 1    %.3f s  ratio %s\n' "${best[pella_one]}" "$(ratio "${best[pella_one]}" "${best[dcmdump]}")"
printf '  pella dump --json      %.3f s  ratio %s\n' "${best[json]}" "$(ratio "${best[json]}" "${best[dcmdump]}")"
