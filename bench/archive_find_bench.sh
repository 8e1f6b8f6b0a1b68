#!/usr/bin/env bash
# The archive's C-FIND against DCMTK's dcmqrscp holding the same files: COUNT small instances
# (no pixel data) in STUDIES studies of SERIES series each, stored into both with storescu;
# then findscu at study level with a wildcard Patient's Name, and findscu at image level in one
# series, against each (the same client, so the servers are compared). Prints the time of the
# fill into pella serve (the indexing rate), of each query and the ratios pella / dcmqrscp.
# Usage: COUNT=100000 STUDIES=1000 SERIES=2 ROUNDS=3 bench/archive_find_bench.sh
source "$(dirname "$0")/common.sh"

COUNT="${COUNT:-100000}"
STUDIES="${STUDIES:-1000}"
SERIES="${SERIES:-2}"
ROUNDS="${ROUNDS:-3}"
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/gen" "$work/qr" "$work/serve"
/usr/bin/python3 - "$work/gen" "$COUNT" "$STUDIES" "$SERIES" <<'PY'
import sys
import pydicom
from pydicom.data import get_testdata_file

folder, count, studies, series = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
ds = pydicom.dcmread(get_testdata_file("CT_small.dcm"))
del ds.PixelData
per_study = max(count // studies, 1)
names = ["ADAMS", "BAKER", "CLARK", "DAVIS", "EVANS", "FOSTER", "GREEN", "HILL"]
for i in range(count):
    s = i // per_study
    r = (i % per_study) % series
    ds.PatientName = "%s^P%d" % (names[s % len(names)], s)
    ds.PatientID = "PID%05d" % s
    ds.StudyInstanceUID = "1.2.826.0.1.3680043.9.71.%d" % (s + 1)
    ds.SeriesInstanceUID = "1.2.826.0.1.3680043.9.71.%d.%d" % (s + 1, r + 1)
    ds.SOPInstanceUID = "1.2.826.0.1.3680043.9.71.%d.%d.%d" % (s + 1, r + 1, i + 1)
    ds.file_meta.MediaStorageSOPInstanceUID = ds.SOPInstanceUID
    ds.InstanceNumber = i + 1
    ds.save_as("%s/i%07d.dcm" % (folder, i), write_like_original=False)
PY

qr_port=$(free_port)
cat >"$work/dcmqrscp.cfg" <<CFG
NetworkTCPPort = $qr_port
MaxPDUSize = 16384
MaxAssociations = 16
HostTable BEGIN
HostTable END
VendorTable BEGIN
VendorTable END
AETable BEGIN
ARCHIVE $work/qr RW ($((STUDIES + 10)), 1024mb) ANY
AETable END
CFG
dcmqrscp -c "$work/dcmqrscp.cfg" "$qr_port" &
pids+=($!)
serve_port=$(free_port)
"$PELLA" serve --port "$serve_port" --dir "$work/serve" --log-level 0 &
pids+=($!)
wait_for_port "$qr_port"
wait_for_port "$serve_port"

store() { storescu -aec ARCHIVE +sd 127.0.0.1 "$1" "$work/gen" >/dev/null 2>&1; }
fill_pella=$(seconds_of store "$serve_port")
fill_qr=$(seconds_of store "$qr_port")

study=1.2.826.0.1.3680043.9.71.1
study_keys=(-k 0008,0052=STUDY -k "0010,0010=C*" -k 0010,0020 -k 0020,000D -k 0008,0020 -k 0008,0050)
image_keys=(-k 0008,0052=IMAGE -k "0020,000D=$study" -k "0020,000E=$study.1" -k 0008,0018 -k 0020,0013)
find_at() { findscu -S -aec ARCHIVE "${@:2}" 127.0.0.1 "$1" >/dev/null 2>&1; }
count_at() { findscu -S -aec ARCHIVE -X -od "$3" "${@:4}" 127.0.0.1 "$1" >/dev/null 2>&1; ls "$3" | wc -l; }

mkdir -p "$work/c1" "$work/c2" "$work/c3" "$work/c4"
n1=$(count_at "$serve_port" x "$work/c1" "${study_keys[@]}"); n2=$(count_at "$qr_port" x "$work/c2" "${study_keys[@]}")
n3=$(count_at "$serve_port" x "$work/c3" "${image_keys[@]}"); n4=$(count_at "$qr_port" x "$work/c4" "${image_keys[@]}")
[ "$n1" = "$n2" ] && [ "$n3" = "$n4" ] || { echo "match counts differ: study $n1/$n2, image $n3/$n4" >&2; exit 1; }

ps_=$(best find_at "$serve_port" "${study_keys[@]}"); qs=$(best find_at "$qr_port" "${study_keys[@]}")
pi=$(best find_at "$serve_port" "${image_keys[@]}"); qi=$(best find_at "$qr_port" "${image_keys[@]}")

printf 'fill: %d instances in %d studies; pella serve %.1f s (%.0f instances/s), dcmqrscp %.1f s\n' \
  "$COUNT" "$STUDIES" "$fill_pella" "$(echo "$COUNT / $fill_pella" | bc -l)" "$fill_qr"
printf 'study-level C-FIND, PatientName=C*, %d matches: pella %.3f s, dcmqrscp %.3f s, ratio %s\n' \
  "$n1" "$ps_" "$qs" "$(ratio "$ps_" "$qs")"
printf 'image-level C-FIND in one series, %d matches: pella %.3f s, dcmqrscp %.3f s, ratio %s\n' \
  "$n3" "$pi" "$qi" "$(ratio "$pi" "$qi")"
