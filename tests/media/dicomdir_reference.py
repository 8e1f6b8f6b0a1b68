"""Prints the records of a DICOMDIR as pydicom decodes them, walked along their offsets.

Usage: /usr/bin/python3 dicomdir_reference.py DICOMDIR
One line per record taken (its type), then one line per top-level text attribute of the record
after its links and type: "  gggg,eeee=value". Upper-level records of another type than their
level's are skipped with their lower levels; offsets already visited end their level.
"""
import sys
import warnings

warnings.simplefilter("ignore")
import pydicom  # noqa: E402

TEXT_VRS = {"AE", "AS", "CS", "DA", "DS", "DT", "IS", "LO", "LT", "PN", "SH", "ST", "TM", "UI", "UT"}
LEVEL_TYPES = ["PATIENT", "STUDY", "SERIES"]
LINKS = {0x00041400, 0x00041410, 0x00041420, 0x00041430}


def text(element):
    raw = element.value
    if isinstance(raw, (list, pydicom.multival.MultiValue)):
        raw = "\\".join(str(v) for v in raw)
    return str(raw).rstrip(" \0")


def main(path):
    ds = pydicom.dcmread(path, force=True)
    records = {r.seq_item_tell: r for r in ds.get("DirectoryRecordSequence", [])}
    seen = set()

    def walk(offset, level):
        while offset and offset in records and offset not in seen:
            seen.add(offset)
            record = records[offset]
            kind = str(record.get("DirectoryRecordType", "")).strip()
            if level > 3 or kind == LEVEL_TYPES[level - 1]:
                print(kind)
                for element in record:
                    if int(element.tag) in LINKS or element.VR not in TEXT_VRS:
                        continue
                    value = text(element)
                    if value:
                        print("  %04X,%04X=%s" % (element.tag.group, element.tag.element, value))
                lower = record.get("OffsetOfReferencedLowerLevelDirectoryEntity", 0)
                if level < 4 and lower:
                    walk(lower, level + 1)
            offset = record.get("OffsetOfTheNextDirectoryRecord", 0)

    walk(ds.get("OffsetOfTheFirstDirectoryRecordOfTheRootDirectoryEntity", 0), 1)


main(sys.argv[1])
