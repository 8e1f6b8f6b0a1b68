#!/usr/bin/env bash
# The layering check passes on the tree and fails on each kind of upward include.
set -uo pipefail
src="${1:?usage: check_layers_test.sh SOURCE_DIR}"
check="$src/scripts/check-layers.sh"
failures=0

if ! bash "$check" "$src"; then
    echo "FAIL: the source tree has an upward include"; failures=$((failures + 1))
fi

tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
# Each case: the including file, the included header, and whether the include is allowed.
cases=(
    "data/model/element_list.h net/transport.h no"
    "data/io/dataset_reader.cpp data/convert/file_conversion.h no"
    "data/dump/memo_dump.cpp data/convert/image_geometry.h no"
    "net/dimse.cpp media/dicomdir.h no"
    "services/store.cpp api/boundary.h no"
    "log/protocol_log.cpp data/model/element_list.h no"
    "cli/dump.cpp services/store.h no"
    "app/main_window.cpp data/io/dataset_reader.h no"
    "data/model/element_list.cpp data/model/byte_vector.h yes"
    "services/print.cpp imaging/bitmap.h yes"
    "api/store.cpp services/store.h yes"
    "cli/dump.cpp pella.h yes"
    "tests/data/anything.cpp api/boundary.h yes"
)
for c in "${cases[@]}"; do
    read -r from to ok <<<"$c"
    rm -rf "$tmp/tree"; mkdir -p "$tmp/tree/$(dirname "$from")" "$tmp/tree/$(dirname "$to")"
    : >"$tmp/tree/$to"
    printf '#include <vector>\n#include "%s"\n' "$to" >"$tmp/tree/$from"
    out=$(bash "$check" "$tmp/tree" 2>&1); rc=$?
    if [ "$ok" = yes ] && [ $rc -ne 0 ]; then
        echo "FAIL: $from including $to was refused: $out"; failures=$((failures + 1))
    elif [ "$ok" = no ] && { [ $rc -eq 0 ] || [[ "$out" != *"$from:2:"* ]]; }; then
        echo "FAIL: $from including $to was not reported (exit $rc): $out"; failures=$((failures + 1))
    fi
done

echo "$(( ${#cases[@]} + 1 - failures )) passed, $failures failed"
[ $failures -eq 0 ]
