#!/usr/bin/env bash
# Senders that leave Nagle's algorithm on (Debian's DCMTK does unless TCP_NODELAY is set in the
# environment) against pella serve and against storescp receiving the same:
#  - storescu sending COUNT small files (pydicom's CT_small.dcm) on one association;
#  - dcmqrscp moving a study of COUNT such images (C-MOVE asked by pella move).
# A receiver that delays its acknowledgements holds such a sender about 40 ms per message.
# Prints the seconds of each and the ratio pella / storescp (about 1.0: no stall of its own).
source "$(dirname "$0")/common.sh"

COUNT="${COUNT:-500}"
work=$(mktemp -d)
study=1.2.826.0.1.3680043.9.99.2
series=$study.1
# DCMTK's tools keep Nagle's algorithm on from here, as Debian ships them.
unset TCP_NODELAY
start_archive_peers "$COUNT" "$study" "$series"

store_into() { storescu 127.0.0.1 "$1" +sd "$work/series" >/dev/null 2>&1; }
move_to() {
  "$PELLA" move -aec ARCHIVE -aem "$1" -k "StudyInstanceUID=$study" 127.0.0.1 "$qr_port" 2>/dev/null
}
count_files() { find "$1" -name '*.dcm' -o -type f -name 'CT.*' | grep -vc '/\.incoming/' || true; }

store_pella=$(seconds_of store_into "$serve_port")
store_scp=$(seconds_of store_into "$scp_port")
rm -rf "$work/serve"/* "$work/storescp"/*
move_pella=$(seconds_of move_to PELLASERVE)
move_scp=$(seconds_of move_to STORESCP)

printf 'storescu (Nagle on), %d files, one association: pella serve %.2f s, storescp %.2f s, ratio %s\n' \
  "$COUNT" "$store_pella" "$store_scp" "$(ratio "$store_pella" "$store_scp")"
printf 'C-MOVE from dcmqrscp (Nagle on), %d images: into pella serve %.2f s, into storescp %.2f s, ratio %s\n' \
  "$COUNT" "$move_pella" "$move_scp" "$(ratio "$move_pella" "$move_scp")"
echo "files received by the moves: pella serve $(count_files "$work/serve"), storescp $(count_files "$work/storescp")"
