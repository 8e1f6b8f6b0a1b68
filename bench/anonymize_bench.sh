#!/usr/bin/env bash
# Anonymizing speed: `pella anonymize` over a folder of 500 CT images of 512 x 512 pixels in one
# process against GDCM's gdcmanon (its basic profile, with a throw-away certificate for the
# encrypted original attributes it keeps) run once per file, as a script over a folder would.
# Prints both times and the ratio (goal: at most 0.2).
source "$(dirname "$0")/common.sh"

COUNT="${COUNT:-500}"
ROUNDS="${ROUNDS:-3}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/series" "$work/gdcm"
make_ct_series "$work/series" "$COUNT"
files=("$work"/series/*.dcm)
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=bench \
  -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1

run_pella() {
  rm -rf "$work/pella"
  "$PELLA" anonymize --key bench-key --out-dir "$work/pella" "$work/series" >/dev/null
}
run_gdcmanon() {
  local f
  for f in "${files[@]}"; do
    gdcmanon -c "$work/cert.pem" -i "$f" -o "$work/gdcm/${f##*/}" >/dev/null 2>&1
  done
}

# Both must anonymize every file.
run_pella
[ "$(find "$work/pella" -name '*.dcm' | wc -l)" -eq "$COUNT" ] || { echo "pella: not every file" >&2; exit 1; }
run_gdcmanon
[ "$(find "$work/gdcm" -name '*.dcm' | wc -l)" -eq "$COUNT" ] || { echo "gdcmanon: not every file" >&2; exit 1; }

declare -A best
for _ in $(seq "$ROUNDS"); do
  for name in pella gdcmanon; do
    t=$(seconds_of "run_$name")
    if [ -z "${best[$name]:-}" ] || [ "$(echo "$t < ${best[$name]}" | bc -l)" = 1 ]; then best[$name]=$t; fi
  done
done
printf '%d CT images of 512 x 512:\n' "$COUNT"
printf '  gdcmanon, one process per file   %.3f s\n' "${best[gdcmanon]}"
printf '  pella anonymize, one process     %.3f s  ratio %s (goal <= 0.2)\n' "${best[pella]}" \
  "$(ratio "${best[pella]}" "${best[gdcmanon]}")"
