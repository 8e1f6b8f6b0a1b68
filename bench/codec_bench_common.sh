#!/usr/bin/env bash
# The codec benchmarks' shared run: COUNT CT images of 512 x 512 encoded into a compressed syntax
# and decoded back to explicit VR little endian, by `pella convert` one process per file and
# over the folder in one process, against a reference tool one process per file; every output is
# checked to exist. Prints the fastest of ROUNDS rounds and the ratios (goals: per file <= 0.5,
# folder <= 0.2 of the reference).
# Usage (from a script that sourced common.sh): codec_bench NAME SYNTAX ENCODE_TOOL DECODE_TOOL
#   SYNTAX: the target syntax for pella convert (a name or a UID); *_TOOL: a command taking IN
#   OUT (word-split). The folder runs need `pella convert --syntax S --out-dir DIR`; a tool
#   without that form reports them as not run. Output names are cut with parameter expansion:
#   a basename process per file would add the same fork to both sides of each per-file ratio.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

COUNT="${COUNT:-50}"
ROUNDS="${ROUNDS:-3}"
EXPLICIT=1.2.840.10008.1.2.1

codec_bench() {
  local name=$1 syntax=$2 encode_tool=$3 decode_tool=$4
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  mkdir -p "$work/series" "$work/ref_enc" "$work/ref_dec" "$work/each_enc" "$work/each_dec" "$work/dir_enc" \
    "$work/dir_dec"
  make_ct_series "$work/series" "$COUNT"

  run_ref_encode()  { for f in "$work"/series/*.dcm; do $encode_tool "$f" "$work/ref_enc/${f##*/}"; done; }
  run_ref_decode()  { for f in "$work"/ref_enc/*.dcm; do $decode_tool "$f" "$work/ref_dec/${f##*/}"; done; }
  run_each_encode() { for f in "$work"/series/*.dcm; do "$PELLA" convert "$f" "$work/each_enc/${f##*/}" "$syntax"; done; }
  run_each_decode() { for f in "$work"/each_enc/*.dcm; do "$PELLA" convert "$f" "$work/each_dec/${f##*/}" "$EXPLICIT"; done; }
  run_dir_encode()  { "$PELLA" convert --syntax "$syntax" --out-dir "$work/dir_enc" "$work/series" >/dev/null; }
  run_dir_decode()  { "$PELLA" convert --syntax "$EXPLICIT" --out-dir "$work/dir_dec" "$work/each_enc" >/dev/null; }

  count_dcm() { find "$1" -name '*.dcm' | wc -l; }
  local step steps=(ref_encode ref_decode each_encode each_decode) folders=0
  declare -A best
  if "$PELLA" convert --help 2>&1 | grep -q -- '--out-dir'; then
    steps+=(dir_encode dir_decode)
    folders=1
  fi
  for _ in $(seq "$ROUNDS"); do
    rm -rf "${work:?}"/{ref_enc,ref_dec,each_enc,each_dec,dir_enc,dir_dec}/*
    # Encoders first: each decoder reads its own side's encoded files.
    for step in "${steps[@]}"; do
      local t
      t=$(seconds_of "run_$step")
      if [ -z "${best[$step]:-}" ] || [ "$(echo "$t < ${best[$step]}" | bc -l)" = 1 ]; then best[$step]=$t; fi
    done
    for d in ref_enc ref_dec each_enc each_dec $([ "$folders" = 1 ] && echo dir_enc dir_dec); do
      [ "$(count_dcm "$work/$d")" -eq "$COUNT" ] || { echo "$d: not every file was written" >&2; exit 1; }
    done
  done
  folder_line() {
    if [ "$folders" = 1 ]; then
      printf '          %-28s %8.3f s   ratio %s (goal <= 0.2)\n' "pella convert, folder" "${best[dir_$1]}" \
        "$(ratio "${best[dir_$1]}" "${best[ref_$1]}")"
    else
      printf '          %-28s not run: this pella convert has no --out-dir\n' "pella convert, folder"
    fi
  }
  local raw enc
  raw=$(du -sb "$work/series" | cut -f1)
  enc=$(du -sb "$work/each_enc" | cut -f1)
  printf '%d CT images 512 x 512, %s (fastest of %d rounds; pella size %s of the original):\n' "$COUNT" "$name" \
    "$ROUNDS" "$(ratio "$enc" "$raw")"
  printf '  encode: %-28s %8.3f s\n' "$encode_tool, per file" "${best[ref_encode]}"
  printf '          %-28s %8.3f s   ratio %s (goal <= 0.5)\n' "pella convert, per file" "${best[each_encode]}" \
    "$(ratio "${best[each_encode]}" "${best[ref_encode]}")"
  folder_line encode
  printf '  decode: %-28s %8.3f s\n' "$decode_tool, per file" "${best[ref_decode]}"
  printf '          %-28s %8.3f s   ratio %s (goal <= 0.5)\n' "pella convert, per file" "${best[each_decode]}" \
    "$(ratio "${best[each_decode]}" "${best[ref_decode]}")"
  folder_line decode
}
