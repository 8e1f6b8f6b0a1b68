#!/usr/bin/env bash
# JSON output speed: `pella dump --json --bulk` over a folder of 512 x 512 CT images in one
# process against DCMTK's dcm2json run once per file (it takes one file), every value inline in
# both. Prints the fastest of ROUNDS runs of each and the ratio (goal <= 0.04).
source "$(dirname "$0")/common.sh"

COUNT="${COUNT:-500}"
ROUNDS="${ROUNDS:-3}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/series"
make_ct_series "$work/series" "$COUNT"
files=("$work"/series/*.dcm)

run_dcm2json() { for f in "${files[@]}"; do dcm2json "$f" >/dev/null; done; }
run_pella()    { "$PELLA" dump --json --bulk "$work/series" >/dev/null; }

[ "$("$PELLA" dump --json --bulk "$work/series" | grep -c "^{")" -eq "$COUNT" ] || { echo "pella: not every file" >&2; exit 1; }
dcm2json "${files[0]}" >/dev/null || { echo "dcm2json failed" >&2; exit 1; }

declare -A best
for _ in $(seq "$ROUNDS"); do
  for name in dcm2json pella; do
    t=$(seconds_of "run_$name")
    if [ -z "${best[$name]:-}" ] || [ "$(echo "$t < ${best[$name]}" | bc -l)" = 1 ]; then best[$name]=$t; fi
  done
done
printf '%d CT images, every value inline (load %s):\n' "$COUNT" "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '  dcm2json, per file            %.3f s\n' "${best[dcm2json]}"
printf '  pella dump --json --bulk      %.3f s  ratio %s (goal <= 0.04)\n' "${best[pella]}" \
  "$(ratio "${best[pella]}" "${best[dcm2json]}")"
