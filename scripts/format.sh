#!/usr/bin/env bash
# Formats the C and C++ sources with clang-format (.clang-format at the top of the tree).
# Generated tables are left as their generators write them.
# Usage: scripts/format.sh [--check]   (--check: list files that are not formatted, exit 1 if any)
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(git ls-files '*.h' '*.cpp' '*.inc' |
                     grep -v -e '_table\.cpp$' -e '^fuzz/regressions/')
if [ "${1:-}" = "--check" ]; then
    clang-format --dry-run --Werror "${files[@]}"
else
    clang-format -i "${files[@]}"
fi
