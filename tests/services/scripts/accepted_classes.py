#!/usr/bin/python3
"""Proposes SOP classes to a DICOM acceptor, 128 presentation contexts per association (implicit
VR little endian each), and prints the UIDs it accepts, one per line.

usage: accepted_classes.py HOST PORT UIDFILE   (UIDFILE: one UID per line)
"""
import socket
import struct
import sys


def item(kind, body):
    return struct.pack(">BBH", kind, 0, len(body)) + body


def associate_rq(uids):
    contexts = b""
    for n, uid in enumerate(uids):
        contexts += item(0x20, bytes([2 * n + 1, 0, 0, 0]) + item(0x30, uid.encode())
                         + item(0x40, b"1.2.840.10008.1.2"))
    user = item(0x50, item(0x51, struct.pack(">I", 16384)) + item(0x52, b"1.2.3.4"))
    body = (struct.pack(">HH", 1, 0) + b"ANY-SCP".ljust(16) + b"CLASSPROBE".ljust(16) + bytes(32)
            + item(0x10, b"1.2.840.10008.3.1.1.1") + contexts + user)
    return struct.pack(">BBI", 1, 0, len(body)) + body


def read_exactly(sock, count):
    data = b""
    while len(data) < count:
        piece = sock.recv(count - len(data))
        if not piece:
            raise ConnectionError("connection closed")
        data += piece
    return data


def accepted_ids(pdu):
    """Context IDs with result 0 in an A-ASSOCIATE-AC (header included)."""
    at, ids = 74, set()
    while at + 4 <= len(pdu):
        kind, length = pdu[at], struct.unpack(">H", pdu[at + 2:at + 4])[0]
        if kind == 0x21 and pdu[at + 6] == 0:
            ids.add(pdu[at + 4])
        at += 4 + length
    return ids


def probe(host, port, uids):
    with socket.create_connection((host, port), timeout=30) as sock:
        sock.sendall(associate_rq(uids))
        header = read_exactly(sock, 6)
        body = read_exactly(sock, struct.unpack(">I", header[2:6])[0])
        if header[0] != 2:
            raise RuntimeError("association not accepted (PDU type %d)" % header[0])
        ids = accepted_ids(header + body)
        sock.sendall(bytes([7, 0, 0, 0, 0, 4, 0, 0, 0, 0]))  # A-ABORT
    return [uid for n, uid in enumerate(uids) if 2 * n + 1 in ids]


def main():
    host, port, path = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    uids = [line.strip() for line in open(path) if line.strip()]
    for start in range(0, len(uids), 128):
        for uid in probe(host, port, uids[start:start + 128]):
            print(uid)


if __name__ == "__main__":
    main()
