"""Prints the study (without its filing date), series and image index lines of a DICOM file,
one per line, from the attribute bytes as pydicom reads them."""
import sys

import pydicom

STUDY = [0x0020000D, 0x00080020, 0x00080030, 0x00100020, 0x00100030, 0x00100010,
         0x00080090, 0x00080050, 0x00080061, 0x00081030]
SERIES = [0x00200011, 0x0020000E, 0x00200012, 0x00080021, 0x00080031, 0x0008103E,
          0x00185100, 0x00180015, 0x00080070, 0x00200052]
IMAGE = [0x00200012, 0x00200013, 0x00080018, 0x00080023, 0x00080033, 0x00180086,
         0x00280008, 0x00201041, 0x00080016, 0x00280010, 0x00280011, 0x00080008]
TRIM = "".join(chr(c) for c in range(33))


def field(ds, tag):
    raw = ds.get_item(tag)
    if raw is None or raw.value is None or len(raw.value) == 0:
        return b""
    value = raw.value
    if tag in (0x00280010, 0x00280011):
        order = "little" if ds.is_little_endian else "big"
        return str(int.from_bytes(value[:2], order)).encode()
    text = value.split(b"\0")[0].decode("latin-1")
    if tag == 0x00100010:
        text = text.replace(",", "^")
    return text.strip(TRIM).encode("latin-1")


def line(ds, tags):
    return b",".join(field(ds, t) for t in tags)


ds = pydicom.dcmread(sys.argv[1])
for tags in (STUDY, SERIES, IMAGE):
    sys.stdout.buffer.write(line(ds, tags) + b"\n")
