#!/usr/bin/env bash
# Query and retrieve speed against DCMTK's dcmqrscp holding one study of COUNT images:
#  - pella find -L IMAGE against findscu -v for the same keys, both printing every match
#    (to /dev/null);
#  - pella move of the study into pella serve against movescu of it into storescp (a
#    comparison of the receivers as much as of the movers).
# Prints the time of each and the ratios pella / DCMTK (below 1.0: pella is faster).
source "$(dirname "$0")/common.sh"

COUNT="${COUNT:-2000}"
ROUNDS="${ROUNDS:-3}"
work=$(mktemp -d)
study=1.2.826.0.1.3680043.9.99.1
series=$study.1
start_archive_peers "$COUNT" "$study" "$series"

# Every key of the image record, as pella find sends them.
image_keys=(0008,0008 0008,0016 0008,0018 0008,0022 0008,0023 0008,0032 0008,0033 0020,0011
            0020,0012 0020,0013 0020,0030 0020,0032 0020,0037 0020,0052 0020,1041 0028,0008)
findscu_keys=(-k 0008,0052=IMAGE -k "0020,000D=$study" -k "0020,000E=$series")
for k in "${image_keys[@]}"; do findscu_keys+=(-k "$k"); done

run_pella_find() {
  "$PELLA" find -aec ARCHIVE -L IMAGE -k "StudyInstanceUID=$study" -k "SeriesInstanceUID=$series" \
    127.0.0.1 "$qr_port" >/dev/null 2>&1
}
run_findscu() { findscu -v -S -aec ARCHIVE "${findscu_keys[@]}" 127.0.0.1 "$qr_port" >/dev/null 2>&1; }
run_pella_move() {
  "$PELLA" move -aec ARCHIVE -aem PELLASERVE -k "StudyInstanceUID=$study" 127.0.0.1 "$qr_port" 2>/dev/null
}
run_movescu() {
  movescu -S -aec ARCHIVE -aem STORESCP -k 0008,0052=STUDY -k "0020,000D=$study" 127.0.0.1 "$qr_port" \
    >/dev/null 2>&1
}

matches=$("$PELLA" find -aec ARCHIVE -L IMAGE -k "StudyInstanceUID=$study" 127.0.0.1 "$qr_port" 2>/dev/null | grep -c '^# match')
[ "$matches" -eq "$COUNT" ] || { echo "pella find: $matches matches, $COUNT expected" >&2; exit 1; }

best_pf=""; best_ff=""; best_pm=""; best_mm=""
better() { [ -z "$1" ] || [ "$(echo "$2 < $1" | bc -l)" = 1 ]; }
for _ in $(seq "$ROUNDS"); do
  t=$(seconds_of run_pella_find); better "$best_pf" "$t" && best_pf=$t
  t=$(seconds_of run_findscu); better "$best_ff" "$t" && best_ff=$t
  rm -rf "${work:?}/serve"/*; t=$(seconds_of run_pella_move); better "$best_pm" "$t" && best_pm=$t
  [ "$(find "$work/serve" -name '*.dcm' | wc -l)" -eq "$COUNT" ] || { echo "pella move: not every object arrived" >&2; exit 1; }
  rm -rf "${work:?}/storescp"/*; t=$(seconds_of run_movescu); better "$best_mm" "$t" && best_mm=$t
  [ "$(find "$work/storescp" -type f | wc -l)" -eq "$COUNT" ] || { echo "movescu: not every object arrived" >&2; exit 1; }
done
printf 'find, %d image matches: pella %.3f s, findscu -v %.3f s, ratio %s\n' \
  "$COUNT" "$best_pf" "$best_ff" "$(ratio "$best_pf" "$best_ff")"
printf 'move of %d images: pella move -> pella serve %.3f s, movescu -> storescp %.3f s, ratio %s\n' \
  "$COUNT" "$best_pm" "$best_mm" "$(ratio "$best_pm" "$best_mm")"
