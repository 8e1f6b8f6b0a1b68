#!/usr/bin/env bash
# Storage over TLS: the same series of 512 x 512 CT images on one association, in one run,
#   - pella send-series over plain TCP to storescp,
#   - pella send-series --tls to storescp +tls (server certificate checked, TLS 1.2 or 1.3 as
#     the two sides agree), and
#   - storescu +tls to storescp +tls,
# each receiver writing nothing (--ignore) so that the times are the sender's and the
# connection's, where TLS weighs most. Prints the times, pella's TLS / plain ratio (goal: at most
# 1.3) and pella TLS / storescu TLS (below 1.0: pella is faster). The certificates are made for
# the run by tests/support/make_tls_certificates.sh.
source "$(dirname "$0")/common.sh"

COUNT="${COUNT:-300}"
ROUNDS="${ROUNDS:-3}"
work=$(mktemp -d)
plain_port=$(free_port)
tls_port=$(free_port)
mkdir -p "$work/series" "$work/ignored"
bash "$(dirname "$0")/../tests/support/make_tls_certificates.sh" "$work/certs"
certs="$work/certs"

make_ct_series "$work/series" "$COUNT"

storescp --ignore --output-directory "$work/ignored" "$plain_port" >/dev/null 2>&1 &
plain_peer=$!
storescp --ignore --output-directory "$work/ignored" +tls "$certs/server.key" "$certs/server.crt" \
  +cf "$certs/ca.crt" -ic "$tls_port" >/dev/null 2>&1 &
tls_peer=$!
trap 'kill $plain_peer $tls_peer 2>/dev/null; wait $plain_peer $tls_peer 2>/dev/null || true; rm -rf "$work"' EXIT
wait_for_port "$plain_port"
wait_for_port "$tls_port"

# A failed run is noted (the timing's subshell cannot stop the script) and reported after the loop.
failed() { echo "$1" >>"$work/failed"; }
run_pella_plain()  { "$PELLA" send-series --no-progress 127.0.0.1 "$plain_port" "$work/series" >/dev/null || failed "pella (plain)"; }
run_pella_tls()    { "$PELLA" send-series --no-progress --tls --tls-ca "$certs/ca.crt" localhost "$tls_port" "$work/series" >/dev/null || failed "pella (TLS)"; }
run_storescu_tls() { storescu +tls "$certs/client.key" "$certs/client.crt" +cf "$certs/ca.crt" localhost "$tls_port" +sd "$work/series" || failed "storescu (TLS)"; }

# The fastest of ROUNDS runs of each, alternating, so that all meet the same machine state.
best() { if [ -z "$1" ] || [ "$(echo "$2 < $1" | bc -l)" = 1 ]; then echo "$2"; else echo "$1"; fi; }
pella_plain=""; pella_tls=""; storescu_tls=""
for _ in $(seq "$ROUNDS"); do
  p=$(seconds_of run_pella_plain); t=$(seconds_of run_pella_tls); d=$(seconds_of run_storescu_tls)
  [ ! -s "$work/failed" ] || { echo "failed: $(sort -u "$work/failed" | tr '\n' ' ')" >&2; exit 1; }
  pella_plain=$(best "$pella_plain" "$p"); pella_tls=$(best "$pella_tls" "$t"); storescu_tls=$(best "$storescu_tls" "$d")
done
mb=$(du -sm "$work/series" | cut -f1)
printf '%d CT images (%s MB) on one association, best of %d rounds, receivers --ignore\n' "$COUNT" "$mb" "$ROUNDS"
printf '  pella plain %.3f s, pella TLS %.3f s: TLS / plain %s (goal <= 1.3)\n' \
  "$pella_plain" "$pella_tls" "$(ratio "$pella_tls" "$pella_plain")"
printf '  storescu TLS %.3f s: pella TLS / storescu TLS %s (goal < 1.0)\n' \
  "$storescu_tls" "$(ratio "$pella_tls" "$storescu_tls")"
