#!/usr/bin/env bash
# Thumbnail speed: JPEG thumbnails (quality 60, width W) of the same 512 x 512 CT images, in one
# run: `pella thumbnail` over the folder in one process, and one process per file as a user
# would script it, against DCMTK's dcmj2pnm +oj +Jq 60 +Sxv W one process per file; `cat` over
# the same files is the floor. Prints the times and the ratios (goal: folder / dcmj2pnm <= 0.1).
source "$(dirname "$0")/common.sh"

COUNT="${COUNT:-500}"
WIDTH="${WIDTH:-128}"
ROUNDS="${ROUNDS:-3}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/series" "$work/pella" "$work/each" "$work/dcmtk"

make_ct_series "$work/series" "$COUNT"

run_folder()  { "$PELLA" thumbnail --width "$WIDTH" --out-dir "$work/pella" "$work/series" >/dev/null 2>&1; }
run_each()    { for f in "$work"/series/*.dcm; do n=${f##*/}; "$PELLA" thumbnail "$f" "$work/each/${n%.dcm}.jpg" "$WIDTH"; done; }
run_dcmtk()   { for f in "$work"/series/*.dcm; do n=${f##*/}; dcmj2pnm +oj +Jq 60 +Sxv "$WIDTH" "$f" "$work/dcmtk/${n%.dcm}.jpg"; done; }
run_cat()     { cat "$work"/series/*.dcm >/dev/null; }

count_jpg() { find "$1" -name '*.jpg' | wc -l; }

best_folder=""; best_each=""; best_dcmtk=""; best_cat=""
keep_best() { if [ -z "${!1}" ] || [ "$(echo "$2 < ${!1}" | bc -l)" = 1 ]; then printf -v "$1" '%s' "$2"; fi; }
for _ in $(seq "$ROUNDS"); do
  rm -f "$work"/pella/* "$work"/each/* "$work"/dcmtk/*
  keep_best best_cat "$(seconds_of run_cat)"
  keep_best best_folder "$(seconds_of run_folder)"
  keep_best best_each "$(seconds_of run_each)"
  keep_best best_dcmtk "$(seconds_of run_dcmtk)"
  for d in pella each dcmtk; do
    [ "$(count_jpg "$work/$d")" -eq "$COUNT" ] || { echo "$d: not every thumbnail was written" >&2; exit 1; }
  done
done
printf '%d CT images 512 x 512 to JPEG thumbnails %d wide (fastest of %d rounds):\n' "$COUNT" "$WIDTH" "$ROUNDS"
printf '  pella thumbnail, one process for the folder   %8.3f s\n' "$best_folder"
printf '  pella thumbnail, one process per file         %8.3f s\n' "$best_each"
printf '  dcmj2pnm +oj +Jq 60 +Sxv, one process per file %7.3f s\n' "$best_dcmtk"
printf '  cat over the same files (floor)               %8.3f s\n' "$best_cat"
printf 'ratio folder / dcmj2pnm %s (goal <= 0.1), per file / dcmj2pnm %s, floor / dcmj2pnm %s\n' \
  "$(ratio "$best_folder" "$best_dcmtk")" "$(ratio "$best_each" "$best_dcmtk")" "$(ratio "$best_cat" "$best_dcmtk")"
