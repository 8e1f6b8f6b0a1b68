#!/usr/bin/env bash
# The archive's C-FIND against DCMTK's dcmqrscp: COUNT small instances (no pixel data) in
# STUDIES studies of SERIES series each. dcmqrscp cannot hold that many (its index file stops at
# 32 MiB, some 7,000 instances), so the first DCMTK_COUNT instances are stored into both dcmqrscp
# and one pella serve, all COUNT into a second pella serve, each with storescu. Then findscu at
# study level with a wildcard Patient's Name and at image level in one series, against each
# (the same client, so the servers are compared), each timed as REPEAT queries on one
# association (findscu --repeat) so that starting findscu does not hide the servers' work. Prints
# the fill times (the indexing rate during stores), each query's best time per query, and the
# ratios to dcmqrscp on the same files; the
# full archive's times are set against dcmqrscp's on its smaller one, which flatters dcmqrscp.
# Usage: COUNT=100000 STUDIES=1000 SERIES=2 DCMTK_COUNT=5000 ROUNDS=3 REPEAT=20 bench/archive_find_bench.sh
source "$(dirname "$0")/common.sh"

COUNT="${COUNT:-100000}"
STUDIES="${STUDIES:-1000}"
SERIES="${SERIES:-2}"
ROUNDS="${ROUNDS:-3}"
REPEAT="${REPEAT:-20}"
DCMTK_COUNT="${DCMTK_COUNT:-5000}"
[ "$DCMTK_COUNT" -le "$COUNT" ] || DCMTK_COUNT=$COUNT
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/gen" "$work/qr" "$work/serve" "$work/serve-all" "$work/part"
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
# The first DCMTK_COUNT instances (whole studies first), linked into a folder of their own.
find "$work/gen" -name 'i*.dcm' | sort | sed -n "1,${DCMTK_COUNT}p" | xargs ln -t "$work/part"

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
"$PELLA" serve --port "$serve_port" --dir "$work/serve" --log-level 0 2>/dev/null &
pids+=($!)
all_port=$(free_port)
"$PELLA" serve --port "$all_port" --dir "$work/serve-all" --log-level 0 2>/dev/null &
pids+=($!)
wait_for_port "$qr_port"
wait_for_port "$serve_port"
wait_for_port "$all_port"

store() { storescu -aec ARCHIVE +sd 127.0.0.1 "$1" "$2" >/dev/null 2>&1; }
fill_all=$(seconds_of store "$all_port" "$work/gen")
fill_pella=$(seconds_of store "$serve_port" "$work/part")
fill_qr=$(seconds_of store "$qr_port" "$work/part")

study=1.2.826.0.1.3680043.9.71.1
study_keys=(-k 0008,0052=STUDY -k "0010,0010=C*" -k 0010,0020 -k 0020,000D -k 0008,0020 -k 0008,0050)
image_keys=(-k 0008,0052=IMAGE -k "0020,000D=$study" -k "0020,000E=$study.1" -k 0008,0018 -k 0020,0013)
find_at() { findscu -S -aec ARCHIVE --repeat "$REPEAT" "${@:2}" 127.0.0.1 "$1" >/dev/null 2>&1; }
count_at() { findscu -S -aec ARCHIVE -X -od "$3" "${@:4}" 127.0.0.1 "$1" >/dev/null 2>&1; ls "$3" | wc -l; }

mkdir -p "$work/c1" "$work/c2" "$work/c3" "$work/c4"
n1=$(count_at "$serve_port" x "$work/c1" "${study_keys[@]}"); n2=$(count_at "$qr_port" x "$work/c2" "${study_keys[@]}")
n3=$(count_at "$serve_port" x "$work/c3" "${image_keys[@]}"); n4=$(count_at "$qr_port" x "$work/c4" "${image_keys[@]}")
[ "$n1" = "$n2" ] && [ "$n3" = "$n4" ] || { echo "match counts differ: study $n1/$n2, image $n3/$n4" >&2; exit 1; }

# The best of ROUNDS runs of REPEAT queries, per query.
per_query() { echo "$(best "$@") / $REPEAT" | bc -l; }
mkdir -p "$work/c5" "$work/c6"
n5=$(count_at "$all_port" x "$work/c5" "${study_keys[@]}"); n6=$(count_at "$all_port" x "$work/c6" "${image_keys[@]}")
ps_=$(per_query find_at "$serve_port" "${study_keys[@]}"); qs=$(per_query find_at "$qr_port" "${study_keys[@]}")
pi=$(per_query find_at "$serve_port" "${image_keys[@]}"); qi=$(per_query find_at "$qr_port" "${image_keys[@]}")
as_=$(per_query find_at "$all_port" "${study_keys[@]}"); ai=$(per_query find_at "$all_port" "${image_keys[@]}")

print_load
rate() { printf '%.0f' "$(echo "$1 / $2" | bc -l)"; }
printf 'fill, storescu: %d instances into pella serve %.1f s (%s instances/s); the first %d into pella serve %.1f s (%s/s) and dcmqrscp %.1f s (%s/s)\n' \
  "$COUNT" "$fill_all" "$(rate "$COUNT" "$fill_all")" "$DCMTK_COUNT" "$fill_pella" "$(rate "$DCMTK_COUNT" "$fill_pella")" \
  "$fill_qr" "$(rate "$DCMTK_COUNT" "$fill_qr")"
printf 'on the same %d instances:\n' "$DCMTK_COUNT"
printf '  study-level C-FIND, PatientName=C*, %d matches: pella %.4f s, dcmqrscp %.4f s, ratio %s\n' \
  "$n1" "$ps_" "$qs" "$(ratio "$ps_" "$qs")"
printf '  image-level C-FIND in one series, %d matches: pella %.4f s, dcmqrscp %.4f s, ratio %s\n' \
  "$n3" "$pi" "$qi" "$(ratio "$pi" "$qi")"
printf 'pella serve holding all %d instances, against dcmqrscp holding %d:\n' "$COUNT" "$DCMTK_COUNT"
printf '  study-level C-FIND, PatientName=C*, %d matches: pella %.4f s, ratio %s\n' "$n5" "$as_" "$(ratio "$as_" "$qs")"
printf '  image-level C-FIND in one series, %d matches: pella %.4f s, ratio %s\n' "$n6" "$ai" "$(ratio "$ai" "$qi")"
