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
qr_port=$(free_port); serve_port=$(free_port); scp_port=$(free_port)
mkdir -p "$work/archive" "$work/series" "$work/serve" "$work/storescp"
study=1.2.826.0.1.3680043.9.99.2
series=$study.1

/usr/bin/python3 - "$work/series" "$COUNT" "$study" "$series" <<'PY'
import sys
import pydicom
from pydicom.data import get_testdata_file
folder, count, study, series = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
ds = pydicom.dcmread(get_testdata_file("CT_small.dcm"))
ds.StudyInstanceUID, ds.SeriesInstanceUID = study, series
for i in range(count):
    ds.SOPInstanceUID = f"{series}.{i + 1}"
    ds.file_meta.MediaStorageSOPInstanceUID = ds.SOPInstanceUID
    ds.InstanceNumber = i + 1
    ds.save_as(f"{folder}/ct{i:05d}.dcm", write_like_original=False)
PY

cat > "$work/dcmqrscp.cfg" <<CFG
NetworkTCPPort = $qr_port
MaxPDUSize = 65536
MaxAssociations = 16
HostTable BEGIN
PELLASERVE = (PELLASERVE, localhost, $serve_port)
STORESCP = (STORESCP, localhost, $scp_port)
HostTable END
VendorTable BEGIN
VendorTable END
AETable BEGIN
ARCHIVE $work/archive RW ($((COUNT + 100)), 4096mb) ANY
AETable END
CFG

pids=()
stop_peers() {
  kill "${pids[@]}" 2>/dev/null || true
  sleep 1
  kill -9 "${pids[@]}" 2>/dev/null || true
  rm -rf "$work"
}
trap stop_peers EXIT
# From here on DCMTK's tools keep Nagle's algorithm on, as Debian ships them.
unset TCP_NODELAY
dcmqrscp -c "$work/dcmqrscp.cfg" "$qr_port" >/dev/null 2>&1 & pids+=($!)
"$PELLA" serve --port "$serve_port" --dir "$work/serve" --log-level 0 --log /dev/null & pids+=($!)
storescp --output-directory "$work/storescp" "$scp_port" >/dev/null 2>&1 & pids+=($!)
wait_for_port "$qr_port"; wait_for_port "$serve_port"; wait_for_port "$scp_port"
TCP_NODELAY=1 storescu -aec ARCHIVE 127.0.0.1 "$qr_port" +sd "$work/series" >/dev/null 2>&1

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
