#!/usr/bin/env bash
# Several `pella serve` nodes on one PostgreSQL index and one storage folder:
#   (a) the concurrent store rate (8 storescu per node at once, COUNT small CT objects in all)
#       with 1, 2 and 4 nodes on PostgreSQL, against one node on SQLite and against DCMTK's
#       storescp (--fork, one process per association) taking the same senders;
#   (b) C-FIND times on an index of ROWS instances (made directly in SQLite, copied into
#       PostgreSQL with `pella index migrate`, whose time is printed): study level with a
#       wildcard Patient's Name, image level in one series, PostgreSQL against SQLite.
# A throw-away PostgreSQL cluster (Debian's postgresql package) runs in a temporary folder, as
# the user nobody when run as root. Numbers on a shared machine under load are rough.
# Usage: COUNT=4000 ROWS=100000 ROUNDS=3 bench/postgres_nodes_bench.sh
source "$(dirname "$0")/common.sh"

COUNT="${COUNT:-4000}"
ROWS="${ROWS:-100000}"
ROUNDS="${ROUNDS:-3}"
SENDERS_PER_NODE=8
PG_BIN="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)"
[ -x "$PG_BIN/pg_ctl" ] || { echo "PostgreSQL's server programs are missing: install postgresql" >&2; exit 1; }

work=$(mktemp -d)
chmod 755 "$work"
pids=()
as_owner() { if [ "$(id -u)" -eq 0 ]; then runuser -u nobody -- "$@"; else "$@"; fi; }
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  [ -d "$work/pg" ] && (cd / && as_owner "$PG_BIN/pg_ctl" -D "$work/pg/data" -m fast -w stop >/dev/null 2>&1 || true)
  rm -rf "$work"
}
trap cleanup EXIT

# The cluster.
mkdir -p "$work/pg"
[ "$(id -u)" -eq 0 ] && chown nobody "$work/pg"
pg_port=$(free_port)
(cd / && as_owner "$PG_BIN/initdb" -D "$work/pg/data" -U pella -A trust -E SQL_ASCII --locale=C >/dev/null)
(cd / && as_owner "$PG_BIN/pg_ctl" -D "$work/pg/data" -l "$work/pg/log" -w \
  -o "-p $pg_port -k $work/pg -c listen_addresses=127.0.0.1 -c max_connections=300" start >/dev/null)
psql_() { "$PG_BIN/psql" -X -q -t -A -h 127.0.0.1 -p "$pg_port" -U pella "$@"; }
new_database() {
  psql_ -d postgres -c "CREATE DATABASE $1 ENCODING 'SQL_ASCII' TEMPLATE template0 LC_COLLATE 'C' LC_CTYPE 'C'"
  echo "postgresql://pella@127.0.0.1:$pg_port/$1"
}

# The objects, in one folder per sender of the largest run (4 nodes x 8), small CT images.
senders=$((4 * SENDERS_PER_NODE))
/usr/bin/python3 - "$work/sent" "$COUNT" "$senders" <<'PY'
import os, sys
import pydicom
from pydicom.data import get_testdata_file
from pydicom.uid import generate_uid
folder, count, senders = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
ds = pydicom.dcmread(get_testdata_file("CT_small.dcm"))
for s in range(senders):
    os.makedirs(f"{folder}/{s}")
    ds.StudyInstanceUID, ds.SeriesInstanceUID = generate_uid(), generate_uid()
    for i in range(s, count, senders):
        ds.SOPInstanceUID = ds.file_meta.MediaStorageSOPInstanceUID = generate_uid()
        ds.save_as(f"{folder}/{s}/ct{i:05d}.dcm", write_like_original=False)
PY
print_load


# Sends every sender folder at once, spread over the ports; the seconds it took.
send_all() {
  local ports=("$@") i=0 p=()
  for folder in "$work"/sent/*; do
    storescu -nh +sd 127.0.0.1 "${ports[$((i % ${#ports[@]}))]}" "$folder" >/dev/null 2>&1 &
    p+=($!)
    i=$((i + 1))
  done
  wait "${p[@]}"
}

# One run: NODES servers (pella on INDEX, "" for SQLite, or storescp) on a fresh folder; the rate.
run_store() {
  local nodes=$1 index=$2 kind=$3 folder="$work/store-$RANDOM$RANDOM" ports=() servers=()
  mkdir -p "$folder"
  for _ in $(seq "$nodes"); do
    local port
    port=$(free_port)
    if [ "$kind" = storescp ]; then
      storescp --fork --output-directory "$folder" "$port" >/dev/null 2>&1 &
    else
      "$PELLA" serve --port "$port" --dir "$folder" --log-level 0 ${index:+--index "$index"} \
        --max-associations 64 2>/dev/null &
    fi
    servers+=($!)
    ports+=("$port")
  done
  for port in "${ports[@]}"; do wait_for_port "$port"; done
  local seconds
  seconds=$(seconds_of send_all "${ports[@]}")
  kill "${servers[@]}" 2>/dev/null || true
  wait "${servers[@]}" 2>/dev/null || true
  local got
  got=$(received_objects "$folder")
  [ "$got" -eq "$COUNT" ] || { echo "$kind x$nodes: $got of $COUNT objects on disk" >&2; exit 1; }
  rm -rf "$folder"
  echo "$COUNT / $seconds" | bc -l
}

best_rate() { # the best of ROUNDS rates
  local b=0 r
  for round in $(seq "$ROUNDS"); do
    r=$(run_store "$1" "$([ -n "$2" ] && new_database "s${1}r${round}x$RANDOM" || true)" "$3")
    if [ "$(echo "$r > $b" | bc -l)" = 1 ]; then b=$r; fi
  done
  [ "$(echo "$b > 0" | bc -l)" = 1 ] || { echo "no run of $3 x$1 stored every object" >&2; exit 1; }
  echo "$b"
}

storescp_rate=$(best_rate 1 "" storescp) || exit 1
sqlite_rate=$(best_rate 1 "" pella) || exit 1
printf 'concurrent stores, %d objects from %d storescu at once, best of %d, objects/s:\n' \
  "$COUNT" "$senders" "$ROUNDS"
printf '  storescp --fork                 %8.0f\n' "$storescp_rate"
printf '  pella serve, SQLite, 1 node     %8.0f   ratio to storescp %s\n' "$sqlite_rate" \
  "$(ratio "$storescp_rate" "$sqlite_rate")"
for nodes in 1 2 4; do
  rate=$(best_rate "$nodes" pg pella) || exit 1
  printf '  pella serve, PostgreSQL, %d %-5s %8.0f   ratio to SQLite %s, to storescp %s\n' "$nodes" \
    "$([ "$nodes" = 1 ] && echo node || echo nodes)" "$rate" "$(ratio "$sqlite_rate" "$rate")" \
    "$(ratio "$storescp_rate" "$rate")"
done
echo "  (ratio: the other's rate / this one's; below 1.0 this one is faster)"

# (b) An index of ROWS instances: 10 per series, 2 series per study, 5 studies per patient,
# made by pella serve's own schema (an empty folder gets it) and filled with SQL.
mkdir -p "$work/find"
port=$(free_port)
"$PELLA" serve --port "$port" --dir "$work/find" --log-level 0 2>/dev/null &
pid=$!
wait_for_port "$port"
kill "$pid"; wait "$pid" 2>/dev/null || true
/usr/bin/python3 - "$work/find/index.sqlite" "$ROWS" <<'PY'
import sqlite3, sys
path, rows = sys.argv[1], int(sys.argv[2])
db = sqlite3.connect(path)
names = ["ADAMS", "BAKER", "CLARK", "DAVIS", "EVANS", "FOSTER", "GREEN", "HILL"]
def columns(table):
    return [c[1] for c in db.execute(f"PRAGMA table_info({table})") if c[1] != "id"]
def insert(table, values):
    cols = columns(table)
    row = [values.get(c, "") for c in cols]
    return db.execute(f"INSERT INTO {table} ({', '.join(cols)}) VALUES ({', '.join('?' * len(cols))})", row).lastrowid
root = "1.2.826.0.1.3680043.9.72"
for i in range(rows):
    if i % 100 == 0:
        p = i // 100
        patient = insert("patients", {"patient_id": "PID%06d" % p, "patient_name": "%s^P%d" % (names[p % 8], p),
                                      "charset": "ISO_IR 100"})
    if i % 20 == 0:
        s = i // 20
        study = insert("studies", {"patient_ref": patient, "study_uid": f"{root}.{s + 1}", "study_date": "2024%04d" % (101 + s % 28),
                                   "charset": "ISO_IR 100"})
    if i % 10 == 0:
        r = (i % 20) // 10
        series = insert("series", {"study_ref": study, "series_uid": f"{root}.{s + 1}.{r + 1}", "modality": "CT",
                                   "charset": "ISO_IR 100"})
    insert("instances", {"series_ref": series, "sop_uid": f"{root}.{s + 1}.{r + 1}.{i + 1}", "instance_number": str(i + 1),
                         "sop_class": "1.2.840.10008.5.1.4.1.1.2", "transfer_syntax": "1.2.840.10008.1.2.1",
                         "path": f"{root}.{s + 1}/{root}.{s + 1}.{r + 1}/{root}.{s + 1}.{r + 1}.{i + 1}.dcm",
                         "charset": "ISO_IR 100"})
db.commit()
PY
find_index=$(new_database findrows)
migrate_seconds=$(seconds_of "$PELLA" index migrate --quiet --from "$work/find" --to "$find_index")
sqlite_port=$(free_port)
pg_find_port=$(free_port)
"$PELLA" serve --port "$sqlite_port" --dir "$work/find" --log-level 0 2>/dev/null &
pids+=($!)
"$PELLA" serve --port "$pg_find_port" --dir "$work/find" --index "$find_index" --log-level 0 2>/dev/null &
pids+=($!)
wait_for_port "$sqlite_port"
wait_for_port "$pg_find_port"

study=1.2.826.0.1.3680043.9.72.1
study_keys=(-k 0008,0052=STUDY -k "0010,0010=C*" -k 0010,0020 -k 0020,000D -k 0008,0020 -k 0008,0061)
image_keys=(-k 0008,0052=IMAGE -k "0020,000D=$study" -k "0020,000E=$study.1" -k 0008,0018 -k 0020,0013)
find_at() { findscu -S "${@:2}" 127.0.0.1 "$1" >/dev/null 2>&1; }
count_at() { mkdir -p "$2"; findscu -S -X -od "$2" "${@:3}" 127.0.0.1 "$1" >/dev/null 2>&1; ls "$2" | wc -l; }
n1=$(count_at "$sqlite_port" "$work/c1" "${study_keys[@]}"); n2=$(count_at "$pg_find_port" "$work/c2" "${study_keys[@]}")
n3=$(count_at "$sqlite_port" "$work/c3" "${image_keys[@]}"); n4=$(count_at "$pg_find_port" "$work/c4" "${image_keys[@]}")
[ "$n1" = "$n2" ] && [ "$n3" = "$n4" ] && [ "$n1" -gt 0 ] ||
  { echo "match counts differ: study $n1/$n2, image $n3/$n4" >&2; exit 1; }
ss=$(best find_at "$sqlite_port" "${study_keys[@]}"); ps_=$(best find_at "$pg_find_port" "${study_keys[@]}")
si=$(best find_at "$sqlite_port" "${image_keys[@]}"); pi=$(best find_at "$pg_find_port" "${image_keys[@]}")
printf 'index of %d instances; pella index migrate into PostgreSQL %.1f s\n' "$ROWS" "$migrate_seconds"
printf 'study-level C-FIND, PatientName=C*, %d matches: PostgreSQL %.3f s, SQLite %.3f s, ratio %s\n' \
  "$n1" "$ps_" "$ss" "$(ratio "$ps_" "$ss")"
printf 'image-level C-FIND in one series, %d matches: PostgreSQL %.3f s, SQLite %.3f s, ratio %s\n' \
  "$n3" "$pi" "$si" "$(ratio "$pi" "$si")"
