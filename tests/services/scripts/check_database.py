"""Checks that a storage database is consistent: every image line of every Image.dir names a
file of its series folder that pydicom reads whole (pixel data of the announced size), every
stored .dcm file has exactly one image line, and every study and series folder has its one
line in KPStudy.dir and Series.dir. Temporary files below .incoming are ignored. When the
archive index (index.sqlite) is there, its instance rows name exactly the indexed files (path,
SOP Instance UID, study and series) and every study and series folder has its row.

Usage: check_database.py DATABASE
Prints the SOP Instance UID of every indexed object, one per line, and each problem on a line
of its own starting "problem: "; any problem makes the exit code 1."""
import os
import sqlite3
import sys

import pydicom


def lines(path):
    with open(path, "rb") as f:
        return [l for l in f.read().split(b"\r\n") if l]


def archive_problems(root, listed):
    """What the archive index holds that the files and their lines do not, or lacks."""
    path = os.path.join(root, "index.sqlite")
    if not os.path.exists(path):
        return []
    db = sqlite3.connect("file:" + path + "?mode=ro", uri=True)
    rows = db.execute("SELECT i.sop_uid, i.path, se.series_uid, st.study_uid FROM instances i "
                      "JOIN series se ON se.id = i.series_ref JOIN studies st ON st.id = se.study_ref").fetchall()
    problems = []
    for sop, rel, series, study in rows:
        if rel != f"{study}/{series}/{sop}.dcm" or not os.path.isfile(os.path.join(root, rel)):
            problems.append(f"archive row {sop} names {rel}, which is not its file")
    indexed = sorted(r[0] for r in rows)
    if indexed != sorted(listed):
        missing = sorted(set(listed) - set(indexed))[:5]
        extra = sorted(set(indexed) - set(listed))[:5]
        problems.append(f"archive rows {len(indexed)}, indexed files {len(listed)}; missing {missing}, extra {extra}")
    return problems


def main(root):
    problems = []
    listed = []
    studies = [l.split(b",")[0].decode() for l in lines(os.path.join(root, "KPStudy.dir"))] \
        if os.path.exists(os.path.join(root, "KPStudy.dir")) else []
    if len(studies) != len(set(studies)):
        problems.append("a study has more than one line")
    folders = sorted(n for n in os.listdir(root) if os.path.isdir(os.path.join(root, n)) and n != ".incoming")
    if sorted(studies) != folders:
        problems.append(f"study lines {sorted(studies)} but folders {folders}")
    for study in folders:
        study_dir = os.path.join(root, study)
        series_index = os.path.join(study_dir, "Series.dir")
        series = [l.split(b",")[1].decode() for l in lines(series_index)] if os.path.exists(series_index) else []
        series_folders = sorted(n for n in os.listdir(study_dir) if os.path.isdir(os.path.join(study_dir, n)))
        if sorted(series) != series_folders:
            problems.append(f"{study}: series lines {sorted(series)} but folders {series_folders}")
        for s in series_folders:
            folder = os.path.join(study_dir, s)
            index = os.path.join(folder, "Image.dir")
            uids = [l.split(b",")[2].decode() for l in lines(index)] if os.path.exists(index) else []
            files = sorted(n[:-4] for n in os.listdir(folder) if n.endswith(".dcm"))
            if sorted(uids) != files:
                problems.append(f"{s}: image lines {len(uids)} ({len(set(uids))} distinct), files {len(files)}")
            for uid in uids:
                path = os.path.join(folder, uid + ".dcm")
                try:
                    ds = pydicom.dcmread(path)
                    if "PixelData" in ds:
                        expected = ds.Rows * ds.Columns * ds.SamplesPerPixel * ds.BitsAllocated // 8
                        if len(ds.PixelData) < expected:
                            problems.append(f"{uid}: pixel data cut short")
                    listed.append(uid)
                except Exception as error:  # noqa: BLE001 - any failure to read is the finding
                    problems.append(f"{uid}: {error}")
    problems += archive_problems(root, listed)
    for uid in listed:
        print(uid)
    for p in problems:
        print("problem: " + p)
    return 1 if problems else 0


sys.exit(main(sys.argv[1]))
