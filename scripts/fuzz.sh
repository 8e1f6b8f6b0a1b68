#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer + UBSan) into build-fuzz/ and runs
# them. Usage: scripts/fuzz.sh [TARGET|all] [SECONDS]   (defaults: all, 30 seconds per target)
#
# Each target starts from its seeds (made by fuzz/make_corpus.py from pydicom's samples and by
# fuzz_pdu_seeds from the PDUs the tests build), its regression inputs and what earlier runs
# found (build-fuzz/corpus/<target>). An input that crashes, leaks, times out or runs out of
# memory is copied to fuzz/regressions/<target>/ (commit it with the fix: the test suite replays
# that folder) and the script fails. The last line per target gives executions and coverage.
set -euo pipefail
cd "$(dirname "$0")/.."

target="${1:-all}"
seconds="${2:-30}"
dir=build-fuzz
targets=(dicom_file dump_list convert_dataset pdu_acceptor pdu_requestor dimse_message store_session dicomdir image_pages film_box_response frame_codec)

if [ "$target" != all ] && [[ ! " ${targets[*]} " =~ " $target " ]]; then
  echo "unknown target '$target'; one of: all ${targets[*]}" >&2
  exit 2
fi

launcher=()
# ccache (when installed) shares compiles between checkouts of the tree.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELLA_BUILD_FUZZ=ON \
  -DPELLA_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build "$dir" --target fuzz_all -j"$(nproc)" >/dev/null

# Seeds are made once per build folder; delete build-fuzz/seeds to make them again.
if [ ! -d "$dir/seeds" ]; then
  /usr/bin/python3 fuzz/make_corpus.py "$dir/seeds.tmp" >/dev/null
  "$dir/fuzz/fuzz_pdu_seeds" "$dir/seeds.tmp"
  mv "$dir/seeds.tmp" "$dir/seeds"
fi

dictionary_of() {
  case "$1" in
    dicom_file|dump_list|convert_dataset|dicomdir|image_pages|film_box_response) echo fuzz/dict/dicom.dict ;;
    frame_codec) echo fuzz/dict/frame_codec.dict ;;
    *) echo fuzz/dict/pdu.dict ;;
  esac
}

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# fontconfig (used by cairo for the ECG page) keeps process-lifetime caches.
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan_suppressions.txt"

run_one() {
  local name=$1 artifacts="$dir/artifacts/$1" log="$dir/logs/$1.log" status=0
  rm -rf "$artifacts"  # only this run's findings
  mkdir -p "$dir/corpus/$name" "$dir/seeds/$name" "$artifacts" "$dir/logs" "fuzz/regressions/$name"
  "$dir/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=65536 -dict="$(dictionary_of "$name")" -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$dir/corpus/$name" "$dir/seeds/$name" \
    "fuzz/regressions/$name" >"$log" 2>&1 || status=$?
  local executions coverage
  executions=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
  coverage=$(grep -E '^#[0-9]+' "$log" | grep -o 'cov: [0-9]* ft: [0-9]*' | tail -1 || true)
  if [ "$status" -ne 0 ]; then
    shopt -s nullglob
    for found in "$artifacts"/*; do
      known=""
      for kept in "fuzz/regressions/$name"/*; do cmp -s "$found" "$kept" && known="$kept"; done
      if [ -n "$known" ]; then
        echo "$name: $known fails again" >&2
      else
        cp "$found" "fuzz/regressions/$name/"
        echo "$name: finding kept as fuzz/regressions/$name/$(basename "$found")" >&2
      fi
    done
    shopt -u nullglob
    grep -E 'ERROR|SUMMARY|runtime error' "$log" | head -5 >&2 || true
    echo "$name: FAILED (exit $status, log $log)" >&2
    return 1
  fi
  echo "$name: ${executions:-?} executions, ${coverage:-no coverage line} in ${seconds} s"
}

failed=0
for name in "${targets[@]}"; do
  [ "$target" = all ] || [ "$target" = "$name" ] || continue
  run_one "$name" || failed=1
done
exit "$failed"
