#!/usr/bin/env bash
# Storage-server speed, for the same series of 512 x 512 CT images in one run:
#   (a) storescu -> pella serve       against  storescu -> DCMTK storescp
#   (b) pella send-series -> pella serve  against  storescu -> DCMTK storescp
# Both servers write every object to disk. Prints the fastest of ROUNDS runs of each and the
# ratios (below 1.0: pella is faster).
source "$(dirname "$0")/common.sh"

COUNT="${COUNT:-500}"
ROUNDS="${ROUNDS:-3}"
work=$(mktemp -d)
mkdir -p "$work/series" "$work/storescp" "$work/pella"
make_ct_series "$work/series" "$COUNT"

dcmtk_port=$(free_port)
storescp --output-directory "$work/storescp" "$dcmtk_port" >/dev/null 2>&1 &
dcmtk=$!
pella_port=$(free_port)
"$PELLA" serve --port "$pella_port" --dir "$work/pella" --log-level 0 2>/dev/null &
pella=$!
trap 'kill $dcmtk $pella 2>/dev/null; wait $dcmtk $pella 2>/dev/null || true; rm -rf "$work"' EXIT
wait_for_port "$dcmtk_port"
wait_for_port "$pella_port"

received() { find "$1" -type f ! -name '*.dir' | wc -l; }
check() { [ "$(received "$1")" -eq "$COUNT" ] || { echo "$2: $(received "$1") of $COUNT objects on disk" >&2; exit 1; }; }
clear_folder() { rm -rf "${1:?}"/*; }

to_storescp()      { storescu 127.0.0.1 "$dcmtk_port" +sd "$work/series"; }
storescu_to_pella(){ storescu 127.0.0.1 "$pella_port" +sd "$work/series"; }
pella_to_pella()   { "$PELLA" send-series --no-progress 127.0.0.1 "$pella_port" "$work/series" >/dev/null; }

base=(); a=(); b=()
for _ in $(seq "$ROUNDS"); do
  clear_folder "$work/storescp"; base+=("$(seconds_of to_storescp)");       check "$work/storescp" "storescu -> storescp"
  clear_folder "$work/pella";    a+=("$(seconds_of storescu_to_pella)");    check "$work/pella" "storescu -> pella serve"
  clear_folder "$work/pella";    b+=("$(seconds_of pella_to_pella)");       check "$work/pella" "pella send-series -> pella serve"
done
t0=$(fastest "${base[@]}"); ta=$(fastest "${a[@]}"); tb=$(fastest "${b[@]}")
mb=$(du -sm "$work/series" | cut -f1)
printf '%d CT images (%s MB), one association each run, fastest of %d:\n' "$COUNT" "$mb" "$ROUNDS"
printf '  storescu -> storescp                 %.3f s\n' "$t0"
printf '  (a) storescu -> pella serve          %.3f s   ratio %s\n' "$ta" "$(ratio "$ta" "$t0")"
printf '  (b) pella send-series -> pella serve %.3f s   ratio %s\n' "$tb" "$(ratio "$tb" "$t0")"
