#!/usr/bin/env python3
"""Peers that crowd or trickle against `pella serve` (see connection_limits_bench.sh).

trickle PORT PEERS INTERVAL CAP: PEERS connections each send an A-ASSOCIATE-RQ one byte every
INTERVAL seconds (never reconnecting); echoscu probes every half second. Prints the seconds
until the first probe is served (or that none was within CAP seconds).

crowd PORT COUNT: COUNT connections at once each send an A-ASSOCIATE-RQ; an A-ASSOCIATE-AC is
released at once. Prints how many got the rejection (transient, presentation provider, local
limit exceeded), service, or nothing, and the slowest answer.
"""
import resource
import selectors
import socket
import subprocess
import sys
import threading
import time


def item(kind, body):
    return bytes([kind, 0]) + len(body).to_bytes(2, "big") + body


def text(kind, value):
    return item(kind, value.encode())


def request():
    context = item(0x20, bytes([1, 0, 0, 0]) + text(0x30, "1.2.840.10008.1.1") + text(0x40, "1.2.840.10008.1.2"))
    user = item(0x50, bytes([0x51, 0, 0, 4]) + (16384).to_bytes(4, "big") + text(0x52, "1.2.826.0.1.3680043.9.99"))
    body = (1).to_bytes(2, "big") + b"\0\0" + b"PELLA".ljust(16) + b"BENCH".ljust(16) + bytes(32)
    body += text(0x10, "1.2.840.10008.3.1.1.1") + context + user
    return bytes([1, 0]) + len(body).to_bytes(4, "big") + body


REJECTED = bytes([0x03, 0, 0, 0, 0, 4, 0, 2, 3, 2])
RELEASE_RQ = bytes([0x05, 0, 0, 0, 0, 4, 0, 0, 0, 0])


def trickle(port, peers, interval, cap):
    stop = threading.Event()
    rq = request()

    def trickler():
        with socket.create_connection(("127.0.0.1", port)) as s:
            for byte in rq:
                try:
                    s.sendall(bytes([byte]))
                except OSError:
                    return
                if stop.wait(interval):
                    return

    threads = [threading.Thread(target=trickler, daemon=True) for _ in range(peers)]
    start = time.monotonic()
    for t in threads:
        t.start()
    time.sleep(0.2)
    served = None
    while time.monotonic() - start < cap:
        probe = subprocess.run(["echoscu", "-ta", "5", "-to", "5", "127.0.0.1", str(port)],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               env={"TCP_NODELAY": "1", "PATH": "/usr/bin:/bin"})
        if probe.returncode == 0:
            served = time.monotonic() - start
            break
        time.sleep(0.5)
    stop.set()
    if served is None:
        print(f"{peers} trickling peers: no echoscu probe served within {cap} s")
    else:
        print(f"{peers} trickling peers: echoscu served after {served:.1f} s")


def crowd(port, count):
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (max(soft, min(hard, count + 100)), hard))
    rq = request()
    chooser = selectors.DefaultSelector()
    state = {}
    start = time.monotonic()
    for _ in range(count):
        s = socket.socket()
        s.setblocking(False)
        s.connect_ex(("127.0.0.1", port))
        state[s] = {"out": rq, "in": b"", "done": None, "result": "nothing", "released": False}
        chooser.register(s, selectors.EVENT_WRITE | selectors.EVENT_READ)
    open_count = count
    while open_count and time.monotonic() - start < 60:
        for key, events in chooser.select(timeout=1):
            s, st = key.fileobj, state[key.fileobj]
            finished = False
            if events & selectors.EVENT_WRITE and st["out"]:
                try:
                    st["out"] = st["out"][s.send(st["out"]):]
                except OSError:
                    finished = True
                if not st["out"] and not finished:
                    chooser.modify(s, selectors.EVENT_READ)
            if events & selectors.EVENT_READ and not finished:
                try:
                    data = s.recv(65536)
                except OSError:
                    data = b""
                st["in"] += data
                if st["done"] is None and len(st["in"]) >= 10:
                    st["done"] = time.monotonic() - start
                    if st["in"][:10] == REJECTED:
                        st["result"] = "rejected"
                    elif st["in"][0] == 0x02:
                        st["result"] = "served"
                if st["result"] == "served" and not st["released"]:
                    st["released"] = True
                    s.setblocking(True)
                    s.sendall(RELEASE_RQ)
                    s.setblocking(False)
                if not data:
                    finished = True
            if finished:
                chooser.unregister(s)
                s.close()
                open_count -= 1
    results = [st["result"] for st in state.values()]
    times = sorted(st["done"] for st in state.values() if st["done"] is not None)
    slowest = f"{times[-1]:.2f} s" if times else "none"
    median = f"{times[len(times) // 2]:.2f} s" if times else "none"
    print(f"{count} connections at once: rejected {results.count('rejected')}, served {results.count('served')}, "
          f"nothing {results.count('nothing')}; answer median {median}, slowest {slowest}")


if __name__ == "__main__":
    if sys.argv[1] == "trickle":
        trickle(int(sys.argv[2]), int(sys.argv[3]), float(sys.argv[4]), float(sys.argv[5]))
    else:
        crowd(int(sys.argv[2]), int(sys.argv[3]))
