#!/usr/bin/env bash
# Shared pieces of the benchmarks: a free port, a DCMTK peer started and stopped, timing.
# DCMTK's tools run with TCP_NODELAY=1: Debian's build otherwise stalls about 40 ms per message
# on loopback, which would flatter the ratio.
set -euo pipefail

export TCP_NODELAY=1
PELLA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PELLA="${PELLA:-$PELLA_ROOT/build/pella}"

free_port() {
  /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()'
}

wait_for_port() {
  for _ in $(seq 1 200); do
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
    sleep 0.05
  done
  echo "nothing listens on port $1" >&2
  return 1
}

# Seconds (with fractions) that the command takes.
seconds_of() {
  local start end
  start=$(date +%s.%N)
  "$@"
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}

ratio() { printf '%.3f' "$(echo "$1 / $2" | bc -l)"; }
