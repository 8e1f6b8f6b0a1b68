#!/usr/bin/env bash
# Configures and builds Pella. Usage: scripts/build.sh [--sanitize | --tsan | --clang | --release | --cli]
# Builds the library, the tool, the front end and the tests into build/, build-sanitize/ with
# AddressSanitizer and UBSan, or build-tsan/ with ThreadSanitizer (without the fuzz replays, and
# with the tests of the concurrent code only); --clang builds the library and the tool alone
# with clang in the Release type into build-clang/, --release the same with GCC into
# build-release/. Warnings are errors in every one but --cli, which builds the library and the
# tool alone in the Release type into build-cli/ (what scripts/run.sh needs).
set -euo pipefail
cd "$(dirname "$0")/.."
# ccache (when installed) shares compiles between checkouts of the tree.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1

dir=build
type=RelWithDebInfo
flags=(-DPELLA_WERROR=ON -DPELLA_BUILD_APP=ON -DPELLA_BUILD_TESTS=ON)
case "${1:-}" in
  "") ;;
  --sanitize) dir=build-sanitize; flags+=(-DPELLA_SANITIZE=ON) ;;
  --tsan) dir=build-tsan; flags+=(-DPELLA_TSAN=ON) ;;
  --clang)
    dir=build-clang type=Release
    flags=(-DPELLA_WERROR=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
  --release) dir=build-release type=Release flags=(-DPELLA_WERROR=ON) ;;
  --cli) dir=build-cli type=Release flags=() ;;
  *) echo "usage: scripts/build.sh [--sanitize | --tsan | --clang | --release | --cli]" >&2; exit 2 ;;
esac
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE="$type" "${flags[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
