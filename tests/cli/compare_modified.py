"""Compares a file changed by `pella modify` with the same file changed by dcmodify.

usage: compare_modified.py ORIGINAL OURS THEIRS [KEYWORD...]

Both are read with pydicom. The KEYWORDs name attributes given new UIDs by both tools: in each
file the value must be a UID other than the original's, and it is then left out of the
comparison. The meta group must name the data set's own SOP Instance UID in both; the
implementation class and version and the group length (which follows from them) differ
legitimately and are left out, as do two elements dcmodify drops and pella keeps as the file had
them: the meta group's Source Application Entity Title (0002,0016) and the Data Set Trailing
Padding (FFFC,FFFC). Every other element, of the meta group and of the data set at any
depth, must be equal, and the pixel data must be the original's. Prints one line per difference;
exits 1 when there is any.
"""
import re
import sys

import pydicom

UID = re.compile(r"^(0|[1-9][0-9]*)(\.(0|[1-9][0-9]*))*$")
META_IGNORED = {"FileMetaInformationGroupLength", "ImplementationClassUID", "ImplementationVersionName",
                "SourceApplicationEntityTitle"}
TRAILING_PADDING = 0xFFFCFFFC


def differences(a, b, where):
    found = []
    for tag in sorted(set(a.keys()) | set(b.keys())):
        name = f"{where}{tag}"
        if tag not in a or tag not in b:
            found.append(f"{name}: only in {'ours' if tag in a else 'theirs'}")
            continue
        x, y = a[tag], b[tag]
        if x.VR == "SQ" and y.VR == "SQ":
            if len(x.value) != len(y.value):
                found.append(f"{name}: {len(x.value)} items against {len(y.value)}")
                continue
            for i, (p, q) in enumerate(zip(x.value, y.value)):
                found += differences(p, q, f"{name}[{i}].")
        elif x.value != y.value:
            found.append(f"{name}: {x.value!r:.80} against {y.value!r:.80}")
    return found


def main():
    original, ours, theirs = (pydicom.dcmread(path) for path in sys.argv[1:4])
    problems = []
    for keyword in sys.argv[4:]:
        for label, ds in (("ours", ours), ("theirs", theirs)):
            value = str(ds.get(keyword, ""))
            if not UID.match(value) or value == str(original.get(keyword, "")):
                problems.append(f"{label}: {keyword} {value!r} is no new UID")
            if keyword in ds:
                del ds[keyword]
    for label, ds in (("ours", ours), ("theirs", theirs)):
        if "SOPInstanceUID" in sys.argv[4:]:
            continue  # deleted above; checked against the meta group below through the files
        if ds.file_meta.get("MediaStorageSOPInstanceUID") != ds.get("SOPInstanceUID"):
            problems.append(f"{label}: the meta group's SOP Instance UID is not the data set's")
    if "SOPInstanceUID" in sys.argv[4:]:
        for label, path in (("ours", sys.argv[2]), ("theirs", sys.argv[3])):
            ds = pydicom.dcmread(path)
            if ds.file_meta.MediaStorageSOPInstanceUID != ds.SOPInstanceUID:
                problems.append(f"{label}: the meta group's SOP Instance UID is not the new one")
        for ds in (ours, theirs):
            del ds.file_meta["MediaStorageSOPInstanceUID"]
    for ds in (ours, theirs):
        if TRAILING_PADDING in ds:
            del ds[TRAILING_PADDING]
        for keyword in META_IGNORED:
            if keyword in ds.file_meta:
                del ds.file_meta[keyword]
    problems += differences(ours.file_meta, theirs.file_meta, "meta ")
    problems += differences(ours, theirs, "")
    if "PixelData" in original and ours.get("PixelData") != original.PixelData:
        problems.append("ours: the pixel data changed")
    for line in problems:
        print(line)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
