#!/usr/bin/env bash
# RLE speed: the same COUNT CT images of 512 x 512 16-bit pixels encoded into RLE and decoded
# back, in one run: `pella convert` one process per file and over the folder in one process
# (--out-dir, --jobs 1 so that the comparison is one core against one core), against DCMTK's
# dcmcrle and dcmdrle one process per file. Prints the times and the ratios (goals: per file /
# DCMTK <= 0.5, folder / DCMTK <= 0.2).
source "$(dirname "$0")/common.sh"

COUNT="${COUNT:-50}"
ROUNDS="${ROUNDS:-3}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/series" "$work/rle" "$work/pella-enc" "$work/pella-dec" "$work/each-enc" "$work/each-dec" \
  "$work/dcmtk-enc" "$work/dcmtk-dec"

make_ct_series "$work/series" "$COUNT"
# The decoders all start from DCMTK's RLE files.
for f in "$work"/series/*.dcm; do dcmcrle "$f" "$work/rle/${f##*/}"; done

enc_folder() { "$PELLA" convert --syntax rle --jobs 1 --out-dir "$work/pella-enc" "$work/series" >/dev/null; }
dec_folder() { "$PELLA" convert --syntax explicit --jobs 1 --out-dir "$work/pella-dec" "$work/rle" >/dev/null; }
enc_each() { for f in "$work"/series/*.dcm; do "$PELLA" convert "$f" "$work/each-enc/${f##*/}" rle; done; }
dec_each() { for f in "$work"/rle/*.dcm; do "$PELLA" convert "$f" "$work/each-dec/${f##*/}" explicit; done; }
enc_dcmtk() { for f in "$work"/series/*.dcm; do dcmcrle "$f" "$work/dcmtk-enc/${f##*/}"; done; }
dec_dcmtk() { for f in "$work"/rle/*.dcm; do dcmdrle "$f" "$work/dcmtk-dec/${f##*/}"; done; }

declare -A best
keep_best() { if [ -z "${best[$1]:-}" ] || [ "$(echo "$2 < ${best[$1]}" | bc -l)" = 1 ]; then best[$1]=$2; fi; }
for _ in $(seq "$ROUNDS"); do
  for run in enc_folder dec_folder enc_each dec_each enc_dcmtk dec_dcmtk; do keep_best "$run" "$(seconds_of "$run")"; done
done
for d in pella-enc pella-dec each-enc each-dec dcmtk-enc dcmtk-dec; do
  [ "$(find "$work/$d" -name '*.dcm' | wc -l)" -eq "$COUNT" ] || { echo "$d: not every file was written" >&2; exit 1; }
done
# What Pella encoded decodes in DCMTK to the original pixels.
first=$(ls "$work/series" | head -1)
dcmdrle "$work/pella-enc/$first" "$work/check.dcm"
/usr/bin/python3 - "$work/check.dcm" "$work/series/$first" <<'PY' ||
import sys, pydicom
a, b = (pydicom.dcmread(f).PixelData for f in sys.argv[1:3])
sys.exit(0 if a == b else 1)
PY
  { echo "Pella's RLE does not decode to the original pixels in dcmdrle" >&2; exit 1; }

printf '%d CT images 512 x 512, 16 bits, RLE (fastest of %d rounds):\n' "$COUNT" "$ROUNDS"
printf '  encode: pella folder %8.3f s, pella per file %8.3f s, dcmcrle per file %8.3f s\n' \
  "${best[enc_folder]}" "${best[enc_each]}" "${best[enc_dcmtk]}"
printf '  decode: pella folder %8.3f s, pella per file %8.3f s, dcmdrle per file %8.3f s\n' \
  "${best[dec_folder]}" "${best[dec_each]}" "${best[dec_dcmtk]}"
printf 'ratio encode per file / dcmcrle %s (goal <= 0.5), folder / dcmcrle %s (goal <= 0.2)\n' \
  "$(ratio "${best[enc_each]}" "${best[enc_dcmtk]}")" "$(ratio "${best[enc_folder]}" "${best[enc_dcmtk]}")"
printf 'ratio decode per file / dcmdrle %s (goal <= 0.5), folder / dcmdrle %s (goal <= 0.2)\n' \
  "$(ratio "${best[dec_each]}" "${best[dec_dcmtk]}")" "$(ratio "${best[dec_folder]}" "${best[dec_dcmtk]}")"
