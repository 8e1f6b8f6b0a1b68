#!/usr/bin/env bash
# Storage over TLS: the same series of 512 x 512 CT images on one association, in one run,
#   - pella send-series over plain TCP to storescp,
#   - pella send-series --tls to storescp +tls (server certificate checked, TLS 1.2 or 1.3 as
#     the two sides agree), and
#   - storescu +tls to storescp +tls,
# each receiver writing nothing (--ignore) so that the times are the sender's and the
# connection's, where TLS weighs most; and pella send-series to pella serve (writing every
# object), plain and TLS, where Pella encrypts and decrypts both ends. Prints the times, pella's
# TLS / plain ratios (goal: at most 1.3) and pella TLS / storescu TLS (below 1.0: pella is
# faster). The certificates are made for the run by tests/support/make_tls_certificates.sh.
source "$(dirname "$0")/common.sh"

work=$(mktemp -d)
read -r plain_port tls_port serve_port serve_tls_port < <(echo "$(free_port) $(free_port) $(free_port) $(free_port)")
COUNT="${COUNT:-300}"
ROUNDS="${ROUNDS:-3}"
mkdir -p "$work/series" "$work/ignored" "$work/served" "$work/served-tls"
bash "$(dirname "$0")/../tests/support/make_tls_certificates.sh" "$work/certs"
certs="$work/certs"

make_ct_series "$work/series" "$COUNT"

storescp --ignore --output-directory "$work/ignored" "$plain_port" >/dev/null 2>&1 &
plain_peer=$!
storescp --ignore --output-directory "$work/ignored" +tls "$certs/server.key" "$certs/server.crt" \
  +cf "$certs/ca.crt" -ic "$tls_port" >/dev/null 2>&1 &
tls_peer=$!
"$PELLA" serve --port "$serve_port" --dir "$work/served" --log-level 0 >/dev/null 2>&1 &
serve=$!
"$PELLA" serve --port "$serve_tls_port" --dir "$work/served-tls" --log-level 0 \
  --tls-cert "$certs/server.crt" --tls-key "$certs/server.key" >/dev/null 2>&1 &
serve_tls=$!
peers="$plain_peer $tls_peer $serve $serve_tls"
trap 'kill $peers 2>/dev/null; wait $peers 2>/dev/null || true; rm -rf "$work"' EXIT
for p in "$plain_port" "$tls_port" "$serve_port" "$serve_tls_port"; do wait_for_port "$p"; done

# A failed run is noted (the timing's subshell cannot stop the script) and reported after the loop.
failed() { echo "$1" >>"$work/failed"; }
run_pella_plain()  { "$PELLA" send-series --no-progress 127.0.0.1 "$plain_port" "$work/series" >/dev/null || failed "pella (plain)"; }
run_pella_tls()    { "$PELLA" send-series --no-progress --tls --tls-ca "$certs/ca.crt" localhost "$tls_port" "$work/series" >/dev/null || failed "pella (TLS)"; }
run_serve_plain()  { "$PELLA" send-series --no-progress 127.0.0.1 "$serve_port" "$work/series" >/dev/null || failed "pella to pella serve (plain)"; }
run_serve_tls()    { "$PELLA" send-series --no-progress --tls --tls-ca "$certs/ca.crt" localhost "$serve_tls_port" "$work/series" >/dev/null || failed "pella to pella serve (TLS)"; }
# The served objects go between runs, so that every run writes all of them anew.
clear_served() { find "$work/served" "$work/served-tls" -name '*.dcm' -delete; }
run_storescu_tls() { storescu +tls "$certs/client.key" "$certs/client.crt" +cf "$certs/ca.crt" localhost "$tls_port" +sd "$work/series" || failed "storescu (TLS)"; }

# The fastest of ROUNDS runs of each, alternating, so that all meet the same machine state.
pella_plain=""; pella_tls=""; storescu_tls=""; serve_plain=""; serve_tls_time=""
for _ in $(seq "$ROUNDS"); do
  p=$(seconds_of run_pella_plain); t=$(seconds_of run_pella_tls); d=$(seconds_of run_storescu_tls)
  clear_served; sp=$(seconds_of run_serve_plain); clear_served; st=$(seconds_of run_serve_tls)
  [ ! -s "$work/failed" ] || { echo "failed: $(sort -u "$work/failed" | tr '\n' ' ')" >&2; exit 1; }
  pella_plain=$(smaller_of "$pella_plain" "$p"); pella_tls=$(smaller_of "$pella_tls" "$t"); storescu_tls=$(smaller_of "$storescu_tls" "$d")
  serve_plain=$(smaller_of "$serve_plain" "$sp"); serve_tls_time=$(smaller_of "$serve_tls_time" "$st")
done
# One line per comparison: what, the two times, the ratio and its goal.
report() { printf '  %s: %.3f s against %.3f s, ratio %s (goal %s)\n' "$1" "$2" "$3" "$(ratio "$2" "$3")" "$4"; }
echo "$COUNT CT images ($(du -sm "$work/series" | cut -f1) MB) on one association, best of $ROUNDS rounds"
report "pella TLS / pella plain, to storescp --ignore" "$pella_tls" "$pella_plain" "<= 1.3"
report "pella TLS / storescu TLS, to storescp +tls --ignore" "$pella_tls" "$storescu_tls" "< 1.0"
report "pella TLS / pella plain, to pella serve" "$serve_tls_time" "$serve_plain" "<= 1.3"
