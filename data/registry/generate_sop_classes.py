#!/usr/bin/python3
"""Writes data/registry/sop_classes_table.cpp, the SOP classes of the standard with their flags.

Input: the UID registry of DICOM PS3.6 as Debian's python3-pydicom ships it in
/usr/lib/python3/dist-packages/pydicom/_uid_dict.py; only its data is read (UID, name, type,
retired mark), the module is not imported.

Run at development time with Debian's /usr/bin/python3 from the repository root:
    /usr/bin/python3 data/registry/generate_sop_classes.py
and commit the regenerated data/registry/sop_classes_table.cpp.

Rows: every SOP Class and Meta SOP Class of the registry, retired ones included, sorted by UID
text. Flags:
- storage: the name says "Storage", except the classes that store nothing themselves (Storage
  Commitment, Media Storage Directory Storage, Storage Management); the classes a storage server
  accepts by default (old modalities still send retired ones).
- pixel data: a storage class not in NON_IMAGE. NON_IMAGE is the fixed set of classes that are
  never offered in a caller-wanted transfer syntax; classes added to the standard later count as
  image classes until they are listed here.
- original: the storage server's classic acceptance table (ORIGINAL).
- print meta: the print meta SOP classes whose presentation context the class travels on.
- query model and operation: from the Query/Retrieve and worklist information model names.
"""

import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "dictionary"))
from generate_dictionary import c_string, load_literals  # noqa: E402  (shared with the dictionary)

SOURCE = "/usr/lib/python3/dist-packages/pydicom/_uid_dict.py"
OUTPUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "sop_classes_table.cpp")
EXCLUDED = ("Storage Commitment", "Media Storage Directory Storage", "Storage Management")

PREFIX = "1.2.840.10008."
NON_IMAGE = {PREFIX + suffix for suffix in (
    "5.1.4.1.1.9.1.1", "5.1.4.1.1.9.1.2", "5.1.4.1.1.9.1.3", "5.1.4.1.1.9.2.1",
    "5.1.4.1.1.9.3.1", "5.1.4.1.1.9.4.1",                                 # waveforms
    "5.1.4.1.1.8", "5.1.4.1.1.9", "5.1.4.1.1.10", "5.1.4.1.1.11",         # standalone (retired)
    "5.1.4.1.1.11.1", "5.1.4.1.1.11.2", "5.1.4.1.1.11.3", "5.1.4.1.1.11.4",  # presentation states
    "5.1.4.1.1.4.2", "5.1.4.1.1.66", "5.1.4.1.1.66.1", "5.1.4.1.1.66.2", "5.1.4.1.1.67",
    "5.1.4.1.1.77.1.5.3",
    "5.1.4.1.1.88.11", "5.1.4.1.1.88.22", "5.1.4.1.1.88.33", "5.1.4.1.1.88.40",
    "5.1.4.1.1.88.50", "5.1.4.1.1.88.59", "5.1.4.1.1.88.65", "5.1.4.1.1.88.67",  # reports
    "5.1.4.1.1.104.1", "5.1.4.1.1.129",
    "5.1.4.1.1.481.2", "5.1.4.1.1.481.3", "5.1.4.1.1.481.4", "5.1.4.1.1.481.5",
    "5.1.4.1.1.481.6", "5.1.4.1.1.481.7",                                 # radiotherapy
    "5.1.1.27",                                                           # stored print (retired)
)}
ORIGINAL = {PREFIX + suffix for suffix in (
    "1.1",                                                                # verification
    "5.1.4.1.1.1", "5.1.4.1.1.1.1", "5.1.4.1.1.1.1.1", "5.1.4.1.1.1.2", "5.1.4.1.1.1.2.1",
    "5.1.4.1.1.2", "5.1.4.1.1.3.1", "5.1.4.1.1.4", "5.1.4.1.1.6.1", "5.1.4.1.1.7",
    "5.1.4.1.1.12.1", "5.1.4.1.1.12.2", "5.1.4.1.1.20", "5.1.4.1.1.128",
    "5.1.4.1.1.88.11", "5.1.4.1.1.88.22", "5.1.4.1.1.104.1",
)}
GRAYSCALE_PRINT_META = PREFIX + "5.1.1.9"
COLOR_PRINT_META = PREFIX + "5.1.1.18"
# Printer, film session, film box and the image box of the meta class's colour.
PRINT_MEMBERS = {
    PREFIX + "5.1.1.16": "kGrayscalePrint | kColorPrint",
    PREFIX + "5.1.1.1": "kGrayscalePrint | kColorPrint",
    PREFIX + "5.1.1.2": "kGrayscalePrint | kColorPrint",
    PREFIX + "5.1.1.4": "kGrayscalePrint",
    PREFIX + "5.1.1.4.1": "kColorPrint",
}
QUERY_MODELS = (
    ("Patient Root Query/Retrieve Information Model", "kPatientRoot"),
    ("Study Root Query/Retrieve Information Model", "kStudyRoot"),
    ("Patient/Study Only Query/Retrieve Information Model", "kPatientStudyOnly"),
    ("Modality Worklist Information Model", "kModalityWorklist"),
)
OPERATIONS = {"FIND": "kFind", "MOVE": "kMove", "GET": "kGet"}


def load_uids(path):
    return load_literals(path, ["UID_dictionary"])[0]


def is_storage(kind, name):
    return kind == "SOP Class" and "Storage" in name and not any(w in name for w in EXCLUDED)


def query_model(name):
    match = re.fullmatch(r"(.*) - (FIND|MOVE|GET)", name)
    if match:
        for prefix, model in QUERY_MODELS:
            if match.group(1) == prefix:
                return model, OPERATIONS[match.group(2)]
    return "kNone", "kNone"


def sop_classes(uids):
    rows = []
    for uid, (name, kind, _info, retired, _keyword) in uids.items():
        if kind not in ("SOP Class", "Meta SOP Class"):
            continue
        storage = is_storage(kind, name)
        model, operation = query_model(name)
        rows.append((uid, name, storage, storage and uid not in NON_IMAGE, uid in ORIGINAL,
                     PRINT_MEMBERS.get(uid, "0"), model, operation, retired == "Retired"))
    rows.sort()
    known = {row[0] for row in rows}
    for wanted in NON_IMAGE | ORIGINAL | set(PRINT_MEMBERS) | {GRAYSCALE_PRINT_META, COLOR_PRINT_META}:
        if wanted not in known:
            raise SystemExit("%s is not a SOP class of the registry" % wanted)
    return rows


def flag(value):
    return "true" if value else "false"


def render(rows):
    lines = [
        "// Generated by data/registry/generate_sop_classes.py from the DICOM UID registry;",
        "// do not edit by hand. Sorted by UID text.",
        '#include "data/registry/sop_classes.h"',
        "",
        "namespace pella {",
        "",
        "namespace {",
        "",
        "using namespace print_meta;",
        "",
        "// uid, name, storage, pixel data, original, print meta, query model, operation, retired",
        "constexpr SopClassInfo kSopClasses[] = {",
    ]
    for uid, name, storage, pixels, original, printing, model, operation, retired in rows:
        lines.append("    {%s, %s, %s, %s, %s, %s, %s, %s, %s}," % (
            c_string(uid), c_string(name), flag(storage), flag(pixels), flag(original),
            printing, "QueryModel::" + model, "QueryOperation::" + operation, flag(retired)))
    lines += [
        "};",
        "",
        "}  // namespace",
        "",
        "std::span<const SopClassInfo> SopClasses() { return kSopClasses; }",
        "",
        "}  // namespace pella",
        "",
    ]
    return "\n".join(lines)


def main():
    output = sys.argv[1] if len(sys.argv) > 1 else OUTPUT  # another file: to compare with the committed one
    rows = sop_classes(load_uids(SOURCE))
    with open(output, "w", encoding="ascii") as f:
        f.write(render(rows))
    print("%d SOP classes (%d storage) written to %s" % (
        len(rows), sum(1 for r in rows if r[2]), os.path.normpath(output)), file=sys.stderr)


if __name__ == "__main__":
    main()
