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
    "data/model/element_list.h net/transport/transport.h no"
    "net/transport/transport.cpp net/pdu/pdu_buffer.h no"
    "net/pdu/pdu_records.cpp net/acse/association.h no"
    "net/acse/acceptor.cpp net/dimse/dimse.h no"
    "net/dimse/dimse.cpp media/dicomdir.h no"
    "imaging/bitmap.cpp net/pdu/pdu_buffer.h no"
    "net/acse/acceptor.cpp <services/storage/store.h> no"
    "services/verification/echo.cpp services/storage/store.h no"
    "services/storage/store.cpp services/query/find.h no"
    "services/query/find.cpp services/print/print_user.h no"
    "services/storage/store_server.cpp services/verification/echo.h yes"
    "services/query/find.cpp net/dimse/dimse.h yes"
    "net/dimse/dimse.cpp net/transport/transport.h yes"
    "api/store.cpp <services/storage/store.h> yes"
    "data/io/dataset_reader.cpp data/convert/file_conversion.h no"
    "data/dump/memo_dump.cpp data/convert/image_geometry.h no"
        "services/storage/store.cpp api/boundary.h no"
    "log/protocol_log.cpp data/model/element_list.h no"
    "cli/dump.cpp services/storage/store.h no"
    "cli/dump.cpp <data/io/dataset_reader.h> no"
    "app/main_window.cpp data/io/dataset_reader.h no"
    "data/model/element_list.cpp data/model/byte_vector.h yes"
    "services/print/print_user.cpp imaging/bitmap.h yes"
    "api/store.cpp services/storage/store.h yes"
    "cli/dump.cpp pella.h yes"
    "tests/data/anything.cpp api/boundary.h yes"
)
for c in "${cases[@]}"; do
    read -r from to ok <<<"$c"
    include="\"$to\""
    if [[ "$to" == "<"* ]]; then to=${to#<}; to=${to%>}; include="<$to>"; fi
    rm -rf "$tmp/tree"; mkdir -p "$tmp/tree/$(dirname "$from")" "$tmp/tree/$(dirname "$to")"
    : >"$tmp/tree/$to"
    printf '#include <vector>\n#include %s\n' "$include" >"$tmp/tree/$from"
    out=$(bash "$check" "$tmp/tree" 2>&1); rc=$?
    if [ "$ok" = yes ] && [ $rc -ne 0 ]; then
        echo "FAIL: $from including $to was refused: $out"; failures=$((failures + 1))
    elif [ "$ok" = no ] && { [ $rc -eq 0 ] || [[ "$out" != *"$from:2:"* ]]; }; then
        echo "FAIL: $from including $to was not reported (exit $rc): $out"; failures=$((failures + 1))
    fi
done

echo "$(( ${#cases[@]} + 1 - failures )) passed, $failures failed"
[ $failures -eq 0 ]
