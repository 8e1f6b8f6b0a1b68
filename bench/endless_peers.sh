#!/usr/bin/env bash
# Memory of pella serve under peers that never finish a data set: PEERS connections at once each
# send a C-STORE-RQ and then a data set whose pixel data never ends (zeros, as fast as the server
# takes them); when the server aborts one (past its object limit) the peer starts over. Runs for
# SECONDS and prints the server's peak resident memory (VmHWM) and how many data sets it aborted.
# SERVE_OPTIONS go to pella serve (default: --max-object-size 128M, so that the disk written
# stays small; pass SERVE_OPTIONS= for a build without that option).
source "$(dirname "$0")/common.sh"

PEERS="${PEERS:-32}"
SECONDS_TO_RUN="${SECONDS_TO_RUN:-20}"
SERVE_OPTIONS="${SERVE_OPTIONS---max-object-size 128M}"
work=$(mktemp -d)
port=$(free_port)
# shellcheck disable=SC2086
"$PELLA" serve --port "$port" --dir "$work/db" --log-level 0 $SERVE_OPTIONS 2>/dev/null &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null || true; rm -rf "$work"' EXIT
wait_for_port "$port"

/usr/bin/python3 - "$port" "$server" "$PEERS" "$SECONDS_TO_RUN" <<'PY'
import socket, struct, sys, threading, time

port, server, peers, seconds = (int(a) for a in sys.argv[1:5])
CT = b"1.2.840.10008.5.1.4.1.1.2"
IMPLICIT = b"1.2.840.10008.1.2"

def even(b):
    return b + b"\0" if len(b) % 2 else b

def item(kind, body):
    return struct.pack(">BBH", kind, 0, len(body)) + body

def associate_rq():
    context = item(0x20, bytes([1, 0, 0, 0]) + item(0x30, CT) + item(0x40, IMPLICIT))
    user = item(0x50, item(0x51, struct.pack(">I", 65536)))
    body = (struct.pack(">HH", 1, 0) + b"PELLA".ljust(16) + b"ENDLESS".ljust(16) + bytes(32)
            + item(0x10, b"1.2.840.10008.3.1.1.1") + context + user)
    return struct.pack(">BBI", 1, 0, len(body)) + body

def element(group, elem, value):
    value = even(value)
    return struct.pack("<HHI", group, elem, len(value)) + value

def pdata(control, payload):
    pdv = struct.pack(">IBB", len(payload) + 2, 1, control) + payload
    return struct.pack(">BBI", 4, 0, len(pdv)) + pdv

def command():
    body = (element(0, 0x0002, CT) + element(0, 0x0100, struct.pack("<H", 1))
            + element(0, 0x0110, struct.pack("<H", 1)) + element(0, 0x0700, struct.pack("<H", 0))
            + element(0, 0x0800, struct.pack("<H", 0)) + element(0, 0x1000, b"1.2.3.4.5"))
    return element(0, 0, struct.pack("<I", len(body))) + body

def data_head(n):
    uid = b"1.2.3.4.%d" % n
    return (element(0x0008, 0x0016, CT) + element(0x0008, 0x0018, uid) + element(0x0020, 0x000D, b"1.2.3")
            + element(0x0020, 0x000E, b"1.2.3.4") + struct.pack("<HHI", 0x7FE0, 0x0010, 0x7FFFFFFE))

aborted = 0
lock = threading.Lock()
deadline = time.time() + seconds

def peer(index):
    global aborted
    fragment = pdata(0, bytes(16000))
    block = fragment * 16
    while time.time() < deadline:
        try:
            s = socket.create_connection(("127.0.0.1", port))
            s.sendall(associate_rq())
            if s.recv(1)[:1] != b"\x02":
                s.close(); continue
            s.sendall(pdata(3, command()) + pdata(0, data_head(index)))
            while time.time() < deadline:
                s.sendall(block)
            s.close()
        except OSError:
            with lock:
                aborted += 1

def rss():
    values = {}
    with open(f"/proc/{server}/status") as status:
        for line in status:
            key, _, rest = line.partition(":")
            if key in ("VmRSS", "VmHWM"):
                values[key] = int(rest.split()[0]) // 1024
    return values

threads = [threading.Thread(target=peer, args=(i,), daemon=True) for i in range(peers)]
for t in threads:
    t.start()
peak = 0
while time.time() < deadline:
    peak = max(peak, rss().get("VmRSS", 0))
    time.sleep(0.2)
for t in threads:
    t.join(timeout=5)
final = rss()
print(f"{peers} peers sending endless data sets for {seconds} s: server peak RSS {final['VmHWM']} MB "
      f"(sampled peak {peak} MB), {aborted} data sets aborted by the server")
PY
