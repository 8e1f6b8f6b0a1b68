"""Exits 0 when two DICOM files hold the same data set (file meta group aside): every element,
nested sequences included, with the same tag and value, pixel data included (OW
values compared in little-endian order). Prints the first
difference otherwise. Run with Debian's python3 (pydicom)."""
import sys

import pydicom


def flatten(ds, prefix="", little_endian=True):
    out = []
    for elem in ds:
        if elem.tag.group == 0x0002 or elem.tag == 0xFFFCFFFC:  # meta; padding senders drop
            continue
        path = f"{prefix}{elem.tag}"
        if elem.VR == "SQ":
            out.append((path, "SQ", len(elem.value)))
            for i, item in enumerate(elem.value):
                out.extend(flatten(item, f"{path}[{i}]", little_endian))
        else:
            value = elem.value
            if isinstance(value, bytes) and elem.VR == "OW" and not little_endian:
                value = bytes(b for pair in zip(value[1::2], value[0::2]) for b in pair)
            if isinstance(value, bytes):
                value = value.rstrip(b"\0 ")
            elif isinstance(value, str):
                value = value.rstrip("\0 ")
            out.append((path, str(value)))
    return out


def main():
    a, b = (pydicom.dcmread(f, force=True) for f in sys.argv[1:3])
    first = flatten(a, little_endian=a.is_little_endian)
    second = flatten(b, little_endian=b.is_little_endian)
    for a, b in zip(first, second):
        if a != b:
            print(f"differ: {a[0]}: {str(a[1:])[:80]} / {b[0]}: {str(b[1:])[:80]}")
            return 1
    if len(first) != len(second):
        print(f"differ: {len(first)} elements / {len(second)} elements")
        return 1
    return 0


sys.exit(main())
