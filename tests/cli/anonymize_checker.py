#!/usr/bin/python3
"""Checks anonymized copies against their originals with pydicom, independently of Pella's code.

Usage: anonymize_checker.py KEY PAIRS_FILE
PAIRS_FILE holds the lines `pella anonymize` printed: "INPUT -> OUTPUT". For every pair:
- the output reads with pydicom and dcmdump without errors;
- no attribute of the list below (taken from the standard's confidentiality profile table,
  written here by hand, apart from Pella's generated table) keeps a non-empty value the input
  had for it anywhere, and those the profile only removes are absent at every depth;
- no private attribute is left;
- Patient Identity Removed is YES and the first method code is 113100;
- the SOP, series and study UIDs are "2.25." and the first 128 bits of HMAC-SHA256(key, old
  UID) in decimal;
- the transfer syntax and the pixel data bytes are unchanged.
Prints "N passed, M failed" and one line per problem; exits 1 on any problem.
"""

import hashlib
import hmac
import subprocess
import sys

import pydicom

# (group, element): the basic profile's code.
PROFILE = {
    (0x0008, 0x0050): "Z", (0x0008, 0x0080): "X/Z/D", (0x0008, 0x0081): "X",
    (0x0008, 0x0090): "Z", (0x0008, 0x0092): "X", (0x0008, 0x0094): "X",
    (0x0008, 0x1010): "X/Z/D", (0x0008, 0x1030): "X", (0x0008, 0x103E): "X",
    (0x0008, 0x1040): "X", (0x0008, 0x1048): "X", (0x0008, 0x1050): "X",
    (0x0008, 0x1060): "X", (0x0008, 0x1070): "X/Z/D", (0x0008, 0x0020): "Z",
    (0x0008, 0x0021): "X/D", (0x0008, 0x0022): "X/Z", (0x0008, 0x0023): "Z/D",
    (0x0008, 0x0030): "Z", (0x0008, 0x0031): "X/D", (0x0008, 0x0032): "X/Z",
    (0x0008, 0x0033): "Z/D", (0x0008, 0x2111): "X", (0x0008, 0x4000): "X",
    (0x0010, 0x0010): "Z", (0x0010, 0x0020): "Z", (0x0010, 0x0021): "X",
    (0x0010, 0x0030): "Z", (0x0010, 0x0032): "X", (0x0010, 0x0040): "Z",
    (0x0010, 0x1000): "X", (0x0010, 0x1001): "X", (0x0010, 0x1010): "X",
    (0x0010, 0x1020): "X", (0x0010, 0x1030): "X", (0x0010, 0x1040): "X",
    (0x0010, 0x2154): "X", (0x0010, 0x2160): "X", (0x0010, 0x21B0): "X",
    (0x0010, 0x4000): "X", (0x0018, 0x1000): "X/Z/D", (0x0018, 0x1030): "X/D",
    (0x0018, 0x1400): "X/D", (0x0018, 0x4000): "X", (0x0020, 0x0010): "Z",
    (0x0020, 0x4000): "X", (0x0032, 0x1032): "X", (0x0032, 0x1060): "X/Z",
    (0x0040, 0x0244): "X", (0x0040, 0x0245): "X", (0x0040, 0x0253): "X",
    (0x0040, 0x0254): "X", (0x0040, 0x0275): "X", (0x0040, 0xA123): "D",
    (0x0040, 0xA075): "D", (0x0040, 0xA027): "D", (0x0040, 0xA730): "D",
    (0x0088, 0x0140): "U", (0x300A, 0x0002): "D", (0x300A, 0x0003): "X",
    (0x300A, 0x0004): "X", (0x300A, 0x0006): "X/D", (0x300A, 0x0007): "X/D",
    (0x300A, 0x00B2): "X", (0x300E, 0x0008): "X/Z",
    (0x0008, 0x0018): "U", (0x0020, 0x000D): "U", (0x0020, 0x000E): "U",
    (0x0020, 0x0052): "U", (0x0008, 0x1155): "U", (0x0008, 0x0014): "U",
}
REMOVED_ONLY = {tag for tag, code in PROFILE.items() if code == "X"}
MAPPED = [(0x0008, 0x0018), (0x0020, 0x000E), (0x0020, 0x000D)]


def mapped_uid(uid, key):
    digest = hmac.new(key.encode(), uid.encode(), hashlib.sha256).digest()
    return "2.25." + str(int.from_bytes(digest[:16], "big"))


def walk(dataset):
    for element in dataset:
        yield element
        if element.VR == "SQ":
            for item in element.value:
                yield from walk(item)


def tag_pair(element):
    return (element.tag.group, element.tag.elem)


def raw_text(element):
    value = element.value
    if value is None:
        return ""
    if isinstance(value, bytes):
        return value.rstrip(b"\0 ").decode("latin-1")
    return str(value).strip()


def original_values(dataset):
    values = {}
    for element in walk(dataset):
        tag = tag_pair(element)
        if tag in PROFILE and element.VR != "SQ":
            text = raw_text(element)
            if text:
                values.setdefault(tag, set()).add(text)
    return values


def check_pair(source, target, key):
    problems = []
    original = pydicom.dcmread(source, force=True)
    copy = pydicom.dcmread(target)  # a copy must read without force
    dump = subprocess.run(["dcmdump", "-q", target], capture_output=True, text=True)
    if dump.returncode != 0 or "E: " in dump.stderr:
        problems.append("dcmdump: " + dump.stderr.strip()[:200])
    kept = original_values(original)
    for element in walk(copy):
        tag = tag_pair(element)
        if element.tag.is_private:
            problems.append("private attribute %s left" % element.tag)
        if tag in REMOVED_ONLY:
            problems.append("%s is still present" % element.tag)
        elif tag in kept and element.VR != "SQ" and raw_text(element) in kept[tag]:
            problems.append("%s keeps its value %r" % (element.tag, raw_text(element)))
    if copy.get("PatientIdentityRemoved") != "YES":
        problems.append("Patient Identity Removed is not YES")
    codes = copy.get("DeidentificationMethodCodeSequence") or []
    if not codes or codes[0].CodeValue != "113100" or codes[0].CodingSchemeDesignator != "DCM":
        problems.append("no 113100 code for the basic profile")
    for group, element in MAPPED:
        if (group, element) in original and original[group, element].value:
            want = mapped_uid(str(original[group, element].value), key)
            got = str(copy[group, element].value) if (group, element) in copy else ""
            if got != want:
                problems.append("(%04X,%04X) is %r, not %r" % (group, element, got, want))
    if original.file_meta.TransferSyntaxUID != copy.file_meta.TransferSyntaxUID:
        problems.append("transfer syntax changed")
    if "PixelData" in original and copy.get("PixelData") != original.PixelData:
        problems.append("pixel data changed")
    return problems


def main():
    key, pairs_file = sys.argv[1], sys.argv[2]
    passed = failed = 0
    with open(pairs_file, encoding="utf-8") as pairs:
        for line in pairs:
            if " -> " not in line:
                continue
            source, target = line.rstrip("\n").split(" -> ", 1)
            try:
                problems = check_pair(source, target, key)
            except Exception as error:  # noqa: BLE001  (any failure to read is a finding)
                problems = ["cannot be checked: %s" % error]
            if problems:
                failed += 1
                for problem in problems:
                    print("%s: %s" % (source, problem))
            else:
                passed += 1
    print("%d passed, %d failed" % (passed, failed))
    sys.exit(1 if failed or not passed else 0)


if __name__ == "__main__":
    main()
