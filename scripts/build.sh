#!/usr/bin/env bash
# Configures and builds Pella. Usage: scripts/build.sh [--sanitize | --tsan]
# Builds into build/, build-sanitize/ with AddressSanitizer and UBSan, or build-tsan/ with
# ThreadSanitizer (without the fuzz replays, and with the tests of the concurrent code only).
set -euo pipefail
cd "$(dirname "$0")/.."
# ccache (when installed) shares compiles between checkouts of the tree.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1

dir=build
flags=()
case "${1:-}" in
  "") ;;
  --sanitize) dir=build-sanitize; flags+=(-DPELLA_SANITIZE=ON) ;;
  --tsan) dir=build-tsan; flags+=(-DPELLA_TSAN=ON) ;;
  *) echo "usage: scripts/build.sh [--sanitize | --tsan]" >&2; exit 2 ;;
esac
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${flags[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
