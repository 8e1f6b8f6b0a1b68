#!/usr/bin/env bash
# Sets up the machine, builds Pella and runs its tests.
# Usage: scripts/test.sh [--sanitize | --tsan | --unit]
#   (none)      every test
#   --sanitize  every test in the AddressSanitizer + UBSan build
#   --tsan      the concurrency tests (storage server, associations, front end) in the
#               ThreadSanitizer build
#   --unit      the quick tests only: those that start no other process (label `unit`)
set -euo pipefail
cd "$(dirname "$0")/.."

build=() dir=build selection=()
case "${1:-}" in
  "") ;;
  --sanitize) build=(--sanitize) dir=build-sanitize ;;
  --tsan) build=(--tsan) dir=build-tsan ;;
  --unit) selection=(-L unit) ;;
  *) echo "usage: scripts/test.sh [--sanitize | --tsan | --unit]" >&2; exit 2 ;;
esac
bash scripts/install-deps.sh
bash scripts/build.sh "${build[@]}"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" "${selection[@]}"
