"""Compares `pella dump --json` with pydicom's to_json_dict() for DICOM files.

usage: compare_with_pydicom.py [--refused NAME,...] PELLA FILE...

For every file pydicom reads, every element both produce must agree. Prints one line per
disagreement and a summary; exits 1 when any element disagrees, or when pella refuses a file
pydicom reads that is not named by --refused (file names without folder), or reads one that is.

Two runs of pella per file: with --bulk (every binary value inline) the JSON is compared with
pydicom's element by element; with --inline-limit 0 (every binary value a BulkDataURI) the bytes
each URI names in the file must equal pydicom's value of that element exactly.

The known, intended differences are normalised away:
- binary values inline: pydicom inlines every value; compared by decoded length (the bytes are
  compared exactly through the BulkDataURIs);
- an empty sequence: pydicom writes "Value": [], pella leaves "Value" out (no value);
- a multi-valued text with an empty entry: pydicom writes "", pella null;
- a person name's empty component groups: pydicom writes "", pella leaves the group out;
- DS values: compared as numbers, to a relative 1e-9;
- VRs: pydicom resolves "US or SS" and "OB or OW" from other elements, and replaces UN by the
  dictionary's VR; pella keeps the VR of the file and, for implicit data, its dictionary's one.
  An element whose VR differs for these reasons is compared by value only where both are texts
  or numbers, else by length.
"""
import base64
import json
import math
import os
import subprocess
import sys
import urllib.parse

import pydicom

NOTES = []
AMBIGUOUS = {("US", "SS"), ("SS", "US"), ("OB", "OW"), ("OW", "OB")}


def binary_length(attr):
    if "InlineBinary" in attr:
        return len(base64.b64decode(attr["InlineBinary"]))
    return None


def same_number(a, b):
    if isinstance(a, (int, float)) and isinstance(b, (int, float)):
        if isinstance(a, float) or isinstance(b, float):
            if math.isnan(a) and math.isnan(b):
                return True
            return math.isclose(a, b, rel_tol=1e-6, abs_tol=1e-12)
        return a == b
    return False


def normalise_entry(vr, v):
    if isinstance(v, str) and vr not in ("ST", "LT", "UT", "UR"):
        v = v.strip(" ")
    if v == "":
        return None
    if vr == "PN" and isinstance(v, dict):
        return {k: x for k, x in v.items() if x != ""} or None
    return v


def compare_values(path, tag, vr, mine, theirs, out):
    if len(mine) != len(theirs):
        out.append(f"{path} {tag} {vr}: {len(mine)} values, pydicom {len(theirs)}: {mine!r:.200} / {theirs!r:.200}")
        return
    for a, b in zip(mine, theirs):
        b = normalise_entry(vr, b)
        if a == b or same_number(a, b):
            continue
        out.append(f"{path} {tag} {vr}: {a!r:.200} / pydicom {b!r:.200}")
        return


def compare_object(path, mine, theirs, out, prefix=""):
    for tag in sorted(set(mine) | set(theirs)):
        where = prefix + tag
        if tag not in mine or tag not in theirs:
            out.append(f"{path} {where}: only in {'pella' if tag in mine else 'pydicom'}")
            continue
        a, b = mine[tag], theirs[tag]
        vr_a, vr_b = a.get("vr"), b.get("vr")
        if vr_a != vr_b:
            if (vr_a, vr_b) not in AMBIGUOUS and "UN" not in (vr_a, vr_b):
                out.append(f"{path} {where}: vr {vr_a} / pydicom {vr_b}")
                continue
            NOTES.append(f"note: {path} {where}: vr {vr_a} / pydicom {vr_b}")
        len_a, len_b = binary_length(a), binary_length(b)
        if len_a is not None or len_b is not None:
            if len_a is not None and len_b is not None and len_a != len_b:
                out.append(f"{path} {where}: {len_a} binary bytes / pydicom {len_b}")
            continue
        if vr_a == "SQ":
            items_a, items_b = a.get("Value", []), b.get("Value", [])
            if len(items_a) != len(items_b):
                out.append(f"{path} {where}: {len(items_a)} items / pydicom {len(items_b)}")
                continue
            for i, (x, y) in enumerate(zip(items_a, items_b)):
                compare_object(path, x, y, out, f"{where}[{i}].")
            continue
        values_a, values_b = a.get("Value", []), b.get("Value", [])
        if all(normalise_entry(vr_b, v) is None for v in values_b):
            values_b = []
        compare_values(path, where, vr_a, values_a, values_b, out)


def uri_bytes(uri):
    parts = urllib.parse.urlparse(uri)
    query = urllib.parse.parse_qs(parts.query)
    offset, length = int(query["offset"][0]), int(query["length"][0])
    with open(urllib.parse.unquote(parts.path), "rb") as f:
        f.seek(offset)
        return f.read(length)


def compare_bulk(path, mine, theirs, out, prefix=""):
    """Every BulkDataURI of `mine` names exactly the bytes of pydicom's value."""
    global BULK_CHECKED
    for tag, a in mine.items():
        b = theirs.get(tag)
        if b is None:
            continue
        if a.get("vr") == "SQ" and b.get("vr") == "SQ":
            for i, (x, y) in enumerate(zip(a.get("Value", []), b.get("Value", []))):
                compare_bulk(path, x, y, out, f"{prefix}{tag}[{i}].")
        elif "BulkDataURI" in a and "InlineBinary" in b:
            BULK_CHECKED += 1
            if uri_bytes(a["BulkDataURI"]) != base64.b64decode(b["InlineBinary"]):
                out.append(f"{path} {prefix}{tag}: the BulkDataURI's bytes differ from pydicom's value")


def pella_json(pella, path, *options):
    run = subprocess.run([pella, "dump", "--json", *options, path], capture_output=True)
    if run.returncode != 0:
        return None, run.stderr.decode(errors="replace").strip()
    return json.loads(run.stdout), ""


BULK_CHECKED = 0


def main():
    args = sys.argv[1:]
    refused_expected = set()
    if args and args[0] == "--refused":
        refused_expected = set(filter(None, args[1].split(",")))
        args = args[2:]
    pella, files = args[0], args[1:]
    problems, compared, skipped, refused = [], 0, 0, []
    for path in files:
        try:
            theirs = pydicom.dcmread(path).to_json_dict()
        except Exception:  # pydicom cannot read it: nothing to compare
            skipped += 1
            continue
        name = os.path.basename(path)
        mine, why = pella_json(pella, path, "--bulk")
        if mine is None:
            refused.append(f"{path}: {why}")
            if name not in refused_expected:
                problems.append(f"{path}: pella refused a file pydicom reads: {why}")
            continue
        if name in refused_expected:
            problems.append(f"{path}: pella read a file it was expected to refuse")
        compare_object(path, mine, theirs, problems)
        with_uris, why = pella_json(pella, path, "--inline-limit", "0")
        if with_uris is None:
            problems.append(f"{path}: pella failed with --inline-limit 0: {why}")
        else:
            compare_bulk(path, with_uris, theirs, problems)
        compared += 1
    for line in NOTES + ["refused: " + r for r in refused] + problems:
        print(line)
    print(f"compared {compared} files ({BULK_CHECKED} bulk data values byte for byte), "
          f"{skipped} not read by pydicom, {len(refused)} refused by pella, "
          f"{len(problems)} differences")
    return 1 if problems or compared == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
