#!/usr/bin/env bash
# Configures and builds Pella. Usage: scripts/build.sh [--sanitize]
# Builds into build/ (or build-sanitize/ with AddressSanitizer and UBSan).
set -euo pipefail
cd "$(dirname "$0")/.."
# ccache (when installed) shares compiles between checkouts of the tree.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1

dir=build
flags=()
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-sanitize
  flags+=(-DPELLA_SANITIZE=ON)
fi
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${flags[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
