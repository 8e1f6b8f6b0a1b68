"""Queries and moves against DCMTK's dcmqrscp, filled by the package's own store: the matches
hold what the stored files hold, as dicts and as DICOM JSON; a move lands in the package's
storage server; the worklist against wlmscpfs serving files made with dump2dcm."""
import subprocess

import pydicom
import pytest

import pella
from conftest import free_port, generated_series, same_data_set, sample


@pytest.fixture
def archive(tmp_path, start_peer):
    """dcmqrscp (AE ARCHIVE) knowing a pella storage server as PYSTORE, filled with two samples
    and a generated series of five images; yields (port, server, sent files)."""
    (tmp_path / "archive").mkdir()
    with pella.StorageServer(tmp_path / "moved", aet="PYSTORE", database=tmp_path / "moved-db") as server:
        port = free_port()
        config = tmp_path / "dcmqrscp.cfg"
        config.write_text(
            f"NetworkTCPPort = {port}\nMaxPDUSize = 16384\nMaxAssociations = 16\n"
            f"HostTable BEGIN\nPYSTORE = (PYSTORE, localhost, {server.port})\nHostTable END\n"
            "VendorTable BEGIN\nVendorTable END\nAETable BEGIN\n"
            f"ARCHIVE {tmp_path / 'archive'} RW (200, 1024mb) ANY\nAETable END\n")
        start_peer(["dcmqrscp", "-c", str(config), str(port)], port)
        files = [sample("CT_small.dcm"), sample("MR_small.dcm")] + generated_series(tmp_path / "gen", 5)
        pella.store("localhost", port, files + [named(*n) for n in NAMES], aec="ARCHIVE")
        yield port, server, [pydicom.dcmread(f) for f in files]


# Patients whose names are stored in Latin-1 and in UTF-8.
NAMES = [("LATIN1", "ISO_IR 100", "MÜLLER^JÖRG"), ("UTF8", "ISO_IR 192", "ŁUKASZ^ŻÓŁW=山田^太郎")]


def named(patient_id, character_set, name):
    """A pydicom data set of a new study, the patient's name in `character_set`."""
    dataset = pydicom.Dataset(pydicom.dcmread(sample("CT_small.dcm")))
    dataset.SpecificCharacterSet = character_set
    dataset.PatientID, dataset.PatientName = patient_id, name
    dataset.StudyInstanceUID = pydicom.uid.generate_uid()
    dataset.SOPInstanceUID = pydicom.uid.generate_uid()
    return dataset


def test_find_levels_match_the_stored_files(archive):
    port, _, sent = archive
    ct = sent[0]
    [study] = pella.find("localhost", port, "STUDY", {"PatientID": ct.PatientID}, aec="ARCHIVE")
    # Every field of the level's record is there, with what the stored file holds.
    assert set(study) == {field.keyword for field in pella.records.fields("STUDY")}
    for keyword in ("PatientName", "PatientID", "PatientSex", "PatientBirthDate", "StudyInstanceUID",
                    "StudyDate", "StudyTime", "StudyID", "StudyDescription", "AccessionNumber"):
        assert study[keyword] == str(ct.get(keyword, "")), keyword

    generated = sent[2:]
    series_uid = generated[0].SeriesInstanceUID
    images = pella.find("localhost", port, "image",
                        {"StudyInstanceUID": generated[0].StudyInstanceUID, "0020,000E": series_uid},
                        aec="ARCHIVE")
    assert sorted(m["SOPInstanceUID"] for m in images) == sorted(d.SOPInstanceUID for d in generated)
    assert sorted(int(m["InstanceNumber"]) for m in images) == [1, 2, 3, 4, 5]

    # A list value is a list of UIDs to match; JSON matches become pydicom data sets.
    wanted = [generated[0].SOPInstanceUID, generated[3].SOPInstanceUID]
    matches = pella.find("localhost", port, "IMAGE", {"StudyInstanceUID": generated[0].StudyInstanceUID,
                                                      "SeriesInstanceUID": series_uid,
                                                      "SOPInstanceUID": wanted},
                         aec="ARCHIVE", as_json=True)
    datasets = [pella.to_dataset(m) for m in matches]
    assert sorted(d.SOPInstanceUID for d in datasets) == sorted(wanted)
    assert {d.InstanceNumber for d in datasets} == {1, 4}
    assert all(isinstance(m["00200013"]["Value"][0], int) for m in matches)  # IS as a number

    # Names come back in the character set they were stored in, found by a non-ASCII key too.
    for patient_id, _, name in NAMES:
        [match] = pella.find("localhost", port, "STUDY", {"PatientID": patient_id}, aec="ARCHIVE")
        assert match["PatientName"] == name
    [muller] = pella.find("localhost", port, "STUDY", {"PatientName": "MÜLLER*"}, aec="ARCHIVE")
    assert muller["PatientID"] == "LATIN1"
    # The PATIENT level goes through the Patient Root model.
    [patient] = pella.find("localhost", port, "PATIENT", {"PatientName": "MÜLLER*"}, aec="ARCHIVE")
    assert patient["PatientID"] == "LATIN1"

    with pytest.raises(ValueError, match="no key of the STUDY record"):
        pella.find("localhost", port, "STUDY", {"Modality": "CT"})
    with pytest.raises(ValueError):
        pella.find("localhost", port, "FRAME", {})


def test_move_reports_progress_and_lands_in_the_storage_server(archive, tmp_path):
    port, server, sent = archive
    generated = sent[2:]
    heard = []
    counts = pella.move("localhost", port, "PYSTORE", "SERIES",
                        {"StudyInstanceUID": generated[0].StudyInstanceUID,
                         "SeriesInstanceUID": generated[0].SeriesInstanceUID},
                        aec="ARCHIVE", progress=heard.append)
    assert counts.get("completed") == 5 and counts.get("failed", 0) == 0
    assert heard and all(set(h) <= {"remaining", "completed", "failed", "warning"} for h in heard)
    for original in generated:
        stored = (tmp_path / "moved" / original.StudyInstanceUID / original.SeriesInstanceUID
                  / (original.SOPInstanceUID + ".dcm"))
        assert same_data_set(original, pydicom.dcmread(stored)) == []
    with pytest.raises(pella.PellaError) as unknown:
        pella.move("localhost", port, "NOBODY", "STUDY", {"StudyInstanceUID": generated[0].StudyInstanceUID},
                   aec="ARCHIVE")
    assert unknown.value.status not in (None, 0)


def worklist_dump(name: str, patient: str, modality: str, step: str, station: str) -> str:
    return (
        "(0008,0005) CS [ISO_IR 100]\n"
        f"(0008,0050) SH [ACC{patient}]\n(0010,0010) PN [{name}]\n(0010,0020) LO [{patient}]\n"
        "(0010,0030) DA [19700101]\n(0010,0040) CS [F]\n"
        f"(0020,000d) UI [1.2.826.0.1.3680043.9.88.{int(patient[1:])}]\n"
        "(0032,1032) PN [REQ^DOC]\n(0032,1060) LO [PROCEDURE]\n(0040,0100) SQ\n(fffe,e000) na\n"
        f"(0008,0060) CS [{modality}]\n(0040,0001) AE [{station}]\n(0040,0002) DA [20260101]\n"
        f"(0040,0003) TM [080000]\n(0040,0006) PN [PERF^DOC]\n(0040,0007) LO [STEP {step}]\n"
        f"(0040,0009) SH [{step}]\n(0040,0010) SH [NAME]\n(0040,0011) SH [ROOM]\n"
        "(0040,0012) LO [NONE]\n(fffe,e00d) na\n(fffe,e0dd) na\n"
        f"(0040,1001) SH [RP{patient}]\n(0040,1003) SH [HIGH]\n")


@pytest.fixture
def worklist_provider(tmp_path, start_peer):
    """wlmscpfs (AE WLQ) serving one file per scheduled step; the second patient has two."""
    folder = tmp_path / "wl" / "WLQ"
    folder.mkdir(parents=True)
    steps = [("SMITH^JOHN", "P001", "CT", "S1", "CTSCANNER"), ("SMYTHE^ANNE", "P002", "MR", "S2", "MRSCANNER"),
             ("SMYTHE^ANNE", "P002", "CT", "S3", "CTSCANNER"), ("JONES^BOB", "P003", "MR", "S4", "MRSCANNER")]
    for entry in steps:
        dump = tmp_path / f"{entry[3]}.dump"
        dump.write_text(worklist_dump(*entry))
        subprocess.run(["dump2dcm", "-q", str(dump), str(folder / f"{entry[3]}.wl")], check=True)
    (folder / "lockfile").touch()
    port = free_port()
    start_peer(["wlmscpfs", "-dfp", str(tmp_path / "wl"), str(port)], port)
    return port


def test_worklist_steps_as_dicts_and_nested_json(worklist_provider):
    port = worklist_provider
    every = pella.worklist("localhost", port, aec="WLQ")
    assert sorted((m["PatientID"], m["Modality"]) for m in every) == [
        ("P001", "CT"), ("P002", "CT"), ("P002", "MR"), ("P003", "MR")]
    assert {m["ScheduledProcedureStepID"]: m["ScheduledStationAETitle"] for m in every}["S3"] == "CTSCANNER"
    smiths = pella.worklist("localhost", port, {"PatientName": "SM*", "Modality": "CT"}, aec="WLQ")
    assert sorted(m["ScheduledProcedureStepID"] for m in smiths) == ["S1", "S3"]

    steps = pella.worklist("localhost", port, {"Modality": "MR"}, aec="WLQ", as_json=True)
    assert len(steps) == 2
    for step in steps:
        assert "00080060" not in step  # the step's attributes stay inside its sequence
        [item] = step["00400100"]["Value"]
        assert item["00080060"] == {"vr": "CS", "Value": ["MR"]}
        dataset = pella.to_dataset(step)
        assert dataset.ScheduledProcedureStepSequence[0].ScheduledStationAETitle == "MRSCANNER"
        assert str(dataset.PatientName) in ("SMYTHE^ANNE", "JONES^BOB")


def test_get_fetches_equal_data_sets_on_one_association(archive, tmp_path):
    port, _, sent = archive
    ct = sent[0]
    counts = pella.get("localhost", port, tmp_path / "got", "STUDY", {"StudyInstanceUID": ct.StudyInstanceUID},
                       aec="ARCHIVE")
    assert counts.get("completed") == 1 and counts.get("failed", 0) == 0
    stored = tmp_path / "got" / ct.StudyInstanceUID / ct.SeriesInstanceUID / (ct.SOPInstanceUID + ".dcm")
    assert same_data_set(ct, pydicom.dcmread(stored)) == []
    # Patient Root at the study level, with the patient's ID.
    mr = sent[1]
    pella.get("localhost", port, tmp_path / "got", "STUDY",
              {"PatientID": mr.PatientID, "StudyInstanceUID": mr.StudyInstanceUID}, aec="ARCHIVE",
              patient_root=True)
    assert (tmp_path / "got" / mr.StudyInstanceUID / mr.SeriesInstanceUID / (mr.SOPInstanceUID + ".dcm")).exists()


def test_the_package_server_moves_what_it_stored_to_its_peers(tmp_path):
    with pella.StorageServer(tmp_path / "destination", aet="DEST", database=tmp_path / "dest-db") as destination:
        peers = tmp_path / "peers.txt"
        peers.write_text(f"# the archive's peers\nDEST 127.0.0.1 {destination.port}\nQUIET 127.0.0.1 0\n")
        with pella.StorageServer(tmp_path / "archive", aet="ARCH", peers=peers) as archive:
            ct = pydicom.dcmread(sample("CT_small.dcm"))
            pella.store("localhost", archive.port, [sample("CT_small.dcm")], aec="ARCH")
            counts = pella.move("localhost", archive.port, "DEST", "STUDY", {"StudyInstanceUID": ct.StudyInstanceUID},
                                aec="ARCH")
            assert counts.get("completed") == 1
            moved = tmp_path / "destination" / ct.StudyInstanceUID / ct.SeriesInstanceUID / (ct.SOPInstanceUID + ".dcm")
            assert same_data_set(ct, pydicom.dcmread(moved)) == []
            for never in ("QUIET", "NOBODY"):
                with pytest.raises(pella.PellaError) as refused:
                    pella.move("localhost", archive.port, never, "STUDY", {"StudyInstanceUID": ct.StudyInstanceUID},
                               aec="ARCH")
                assert refused.value.status == 0xA801
