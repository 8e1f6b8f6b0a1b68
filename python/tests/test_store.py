"""Verification and storage against DCMTK: echo and store to storescp, storescu to the package's
storage server, and the failure texts of a closed port."""
import pathlib
import subprocess

import pydicom
import pytest

import pella
from conftest import free_port, generated_series, same_data_set, sample


@pytest.fixture
def storescp(tmp_path, start_peer):
    received = tmp_path / "received"
    received.mkdir()
    port = free_port()
    start_peer(["storescp", "+xa", "-aet", "STORESCP", "-od", str(received), str(port)], port)
    return port, received


def received_by_uid(folder: pathlib.Path) -> dict:
    found = {}
    for path in folder.rglob("*"):
        if path.is_file() and pella.files.is_dicom_file(path):
            found[pydicom.dcmread(path).SOPInstanceUID] = path
    return found


def test_echo_store_files_folders_and_datasets(tmp_path, storescp):
    port, received = storescp
    assert pella.echo("localhost", port, aet="PYTEST", aec="STORESCP") is True

    series = generated_series(tmp_path / "folder" / "series", 3)
    (tmp_path / "folder" / "notes.txt").write_text("not DICOM")  # left out of a folder's files
    dataset = pydicom.Dataset(pydicom.dcmread(sample("MR_small.dcm")))  # without file meta
    dataset.PatientName = "FROM^PYDICOM"
    dataset.SOPInstanceUID = pydicom.uid.generate_uid()

    named = [sample("CT_small.dcm"), sample("rtplan.dcm")]
    outcomes = pella.store("localhost", str(port), named + [tmp_path / "folder", dataset],
                           aet="PYTEST", aec="STORESCP")

    assert [o.source for o in outcomes] == named + [str(p) for p in series] + [dataset]
    assert all(o.stored and o.status == 0 and o.bytes > 0 for o in outcomes), outcomes
    stored = received_by_uid(received)
    assert len(stored) == len(outcomes)
    sent = [pydicom.dcmread(p) for p in named + series] + [dataset]
    for original in sent:
        copy = pydicom.dcmread(stored[original.SOPInstanceUID])
        assert same_data_set(original, copy) == [], original.SOPInstanceUID
    assert str(pydicom.dcmread(stored[dataset.SOPInstanceUID]).PatientName) == "FROM^PYDICOM"


def test_store_reports_each_file_and_raises_unless_all_stored(tmp_path, storescp):
    port, _ = storescp
    broken = tmp_path / "broken.dcm"
    broken.write_bytes(b"\0" * 128 + b"DICM" + b"\x02\x00\x10")  # cut short in the meta group
    with pytest.raises(pella.StoreError) as raised:
        pella.store("localhost", port, [sample("CT_small.dcm"), broken], aec="STORESCP")
    outcomes = raised.value.outcomes
    assert [o.stored for o in outcomes] == [True, False]
    assert outcomes[1].reason and outcomes[1].reason in str(raised.value)
    # Without the check the outcomes come back as they are.
    again = pella.store("localhost", port, [broken], aec="STORESCP", check=False)
    assert len(again) == 1 and again[0].status == -1 and again[0].reason


def test_closed_port_failures_carry_the_library_text(tmp_path):
    port = free_port()  # nothing listens there
    with pytest.raises(pella.PellaError) as echo_error:
        pella.echo("localhost", port)
    text = str(echo_error.value)
    assert text and "no verification" not in text  # the library's own reason, not the fallback
    with pytest.raises(pella.StoreError) as store_error:
        pella.store("localhost", port, sample("CT_small.dcm"))
    [outcome] = store_error.value.outcomes
    assert outcome.status == -1 and outcome.reason
    with pytest.raises(pella.PellaError) as find_error:
        pella.find("localhost", port, "STUDY", {"PatientID": "X"})
    assert str(find_error.value) and "not accepted" not in str(find_error.value)
    with pytest.raises(ValueError):
        pella.echo("localhost", port, aec="A" * 17)


def test_storage_server_receives_from_storescu(tmp_path):
    series = generated_series(tmp_path / "send", 4)
    folder, database = tmp_path / "store", tmp_path / "db"
    with pella.StorageServer(folder, port=0, aet="PYSERVER", database=database,
                             require_called_aet=True) as server:
        assert server.running and server.port > 0
        assert pella.echo("localhost", server.port, aec="PYSERVER")
        with pytest.raises(pella.PellaError):
            pella.echo("localhost", server.port, aec="SOMEONE")  # rejected: another called title
        done = subprocess.run(["storescu", "-aec", "PYSERVER", "localhost", str(server.port)]
                              + [str(p) for p in series], capture_output=True)
        assert done.returncode == 0, done.stderr
        port = server.port
    assert not server.running
    for path in series:
        original = pydicom.dcmread(path)
        stored = folder / original.StudyInstanceUID / original.SeriesInstanceUID / (
            original.SOPInstanceUID + ".dcm")
        assert same_data_set(original, pydicom.dcmread(stored)) == []
    [index] = database.rglob("Image.dir")  # one series, one index of its images
    assert index.read_text().count("\n") == len(series)
    # Stopped: nothing listens any more, and a busy port is reported.
    with pytest.raises(pella.PellaError):
        pella.echo("localhost", port)
    with pella.StorageServer(folder, database=database) as first:
        with pytest.raises(pella.PellaError) as busy:
            pella.StorageServer(folder, port=first.port, database=database).start()
        assert str(busy.value)
