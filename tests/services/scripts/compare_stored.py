"""Compares a source DICOM file with the copy a storage server wrote into a folder.

Usage: compare_stored.py SOURCE FOLDER|FILE
Finds the file in FOLDER with the source's SOP Instance UID (or takes FILE) and compares the
two data sets
element by element (sequences recursively, pixel data as bytes; the file meta group is not
compared; OW values of a big-endian file are compared in little-endian order). Prints the stored file's transfer syntax on the first line, then one line per
difference. Exit code 0 when the data sets are equal, 1 when they differ, 2 when no stored copy
was found.
"""
import os
import sys

import pydicom


def as_bytes(value):
    if value is None:
        return b""
    if isinstance(value, str):
        return value.encode("latin-1")
    return bytes(value)


def is_empty(value):
    return value is None or (hasattr(value, "__len__") and len(value) == 0)


# Data Set Trailing Padding carries no data; DCMTK drops it when it reads a data set.
IGNORED = {0xFFFCFFFC}


def little_endian_bytes(element, dataset):
    data = as_bytes(element.value)
    if element.VR == "OW" and not dataset.is_little_endian:
        data = bytes(b for pair in zip(data[1::2], data[0::2]) for b in pair)
    return data


def differences(a, b, path=""):
    out = []
    tags = sorted((set(a.keys()) | set(b.keys())) - IGNORED)
    for tag in tags:
        where = f"{path}{tag}"
        if tag not in a or tag not in b:
            out.append(f"{where}: only in {'stored' if tag in b else 'source'}")
            continue
        x, y = a[tag], b[tag]
        if x.VR == "SQ" or y.VR == "SQ":
            xs, ys = list(x.value or []), list(y.value or [])
            if len(xs) != len(ys):
                out.append(f"{where}: {len(xs)} items against {len(ys)}")
                continue
            for i, (p, q) in enumerate(zip(xs, ys)):
                out.extend(differences(p, q, f"{where}[{i}]."))
            continue
        xv, yv = x.value, y.value
        if is_empty(xv) and is_empty(yv):
            continue  # an empty value reads as None or "" depending on the VR known
        if isinstance(xv, bytes) or isinstance(yv, bytes):
            # Bytes compare as stored, less the one pad byte an odd value may have gained.
            xb, yb = little_endian_bytes(x, a), little_endian_bytes(y, b)
            if xb.rstrip(b"\0 ") != yb.rstrip(b"\0 "):
                out.append(f"{where}: bytes differ ({len(xb)} against {len(yb)})")
        elif str(xv) != str(yv):
            out.append(f"{where}: {xv!r} against {yv!r}")
    return out


def report(stored_transfer_syntax, found):
    print(stored_transfer_syntax)
    for line in found:
        print(line)
    return 1 if found else 0


def main():
    source = pydicom.dcmread(sys.argv[1])
    if os.path.isfile(sys.argv[2]):
        stored = pydicom.dcmread(sys.argv[2])
        return report(stored.file_meta.TransferSyntaxUID, differences(source, stored))
    uid = str(source.SOPInstanceUID)
    for name in sorted(os.listdir(sys.argv[2])):
        path = os.path.join(sys.argv[2], name)
        try:
            stored = pydicom.dcmread(path)
        except Exception:
            continue
        if str(stored.get("SOPInstanceUID", "")) != uid:
            continue
        return report(stored.file_meta.TransferSyntaxUID, differences(source, stored))
    print("no stored copy of", uid)
    return 2


if __name__ == "__main__":
    sys.exit(main())
