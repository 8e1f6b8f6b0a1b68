"""Compares every DICOM file below SOURCE_DIR with the copy below STORED_DIR that has the same
SOP Instance UID (found anywhere below it), as compare_stored.py does for one file.

Usage: compare_folders.py SOURCE_DIR STORED_DIR
Prints one line per source without a stored copy or with differences; exit code 0 when every
source has an equal stored copy."""
import os
import sys

import pydicom

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from compare_stored import differences  # noqa: E402


def files_below(folder):
    for root, _, names in os.walk(folder):
        for name in sorted(names):
            if not name.endswith(".dir") and not name.startswith("index.sqlite"):
                yield os.path.join(root, name)


def main():
    stored = {}
    for path in files_below(sys.argv[2]):
        ds = pydicom.dcmread(path, force=True)
        stored[str(ds.get("SOPInstanceUID", ""))] = ds
    failures = 0
    for path in files_below(sys.argv[1]):
        source = pydicom.dcmread(path)
        copy = stored.get(str(source.SOPInstanceUID))
        found = ["no stored copy"] if copy is None else differences(source, copy)
        for line in found:
            print(f"{os.path.basename(path)}: {line}")
        failures += bool(found)
    return 1 if failures else 0


sys.exit(main())
