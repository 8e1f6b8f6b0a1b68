"""Fixtures of the package's tests: free ports, DCMTK peers started and stopped around a test,
pydicom's sample files and files made from them."""
import os
import pathlib
import socket
import subprocess
import time
from typing import Iterator, List

import pydicom
import pytest

SOURCE_DIR = pathlib.Path(__file__).resolve().parents[2]


def free_port() -> int:
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return int(probe.getsockname()[1])


def _listening(port: int) -> bool:
    with socket.socket() as probe:
        return probe.connect_ex(("127.0.0.1", port)) == 0


class Peer:
    """A peer program listening on `port`, started by `start` and stopped by `stop`."""

    def __init__(self, arguments: List[str], port: int, log: pathlib.Path) -> None:
        self.port = port
        self._log = open(log, "wb")
        self.process = subprocess.Popen(arguments, stdout=self._log, stderr=subprocess.STDOUT)

    def wait_listening(self) -> None:
        # Polls until the peer listens; gives up when it exits, or after two minutes (a start
        # on a loaded machine is slow, a peer that never listens is broken).
        deadline = time.monotonic() + 120
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise RuntimeError(f"{self.process.args[0]} exited with {self.process.returncode}")
            if _listening(self.port):
                return
            time.sleep(0.05)
        raise RuntimeError(f"{self.process.args[0]} does not listen on {self.port}")

    def stop(self) -> None:
        self.process.terminate()
        try:
            self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self._log.close()


@pytest.fixture
def start_peer(tmp_path: pathlib.Path) -> Iterator:
    """start_peer(arguments, port) starts a peer and waits until it listens; every peer is
    stopped when the test ends."""
    peers: List[Peer] = []

    def start(arguments: List[str], port: int) -> Peer:
        peer = Peer(arguments, port, tmp_path / f"{pathlib.Path(arguments[0]).name}-{len(peers)}.log")
        peers.append(peer)
        peer.wait_listening()
        return peer

    yield start
    for peer in peers:
        peer.stop()


def sample(name: str) -> str:
    """One of pydicom's sample files (PELLA_PYDICOM_DATA overrides their folder)."""
    folder = os.environ.get("PELLA_PYDICOM_DATA") or os.path.join(
        os.path.dirname(pydicom.__file__), "data", "test_files")
    return os.path.join(folder, name)


def generated_series(folder: pathlib.Path, count: int, patient: str = "GENERATED^SERIES") -> List[pathlib.Path]:
    """`count` images of one new series, copies of CT_small with new UIDs, in `folder`."""
    folder.mkdir(parents=True, exist_ok=True)
    source = pydicom.dcmread(sample("CT_small.dcm"))
    study, series = pydicom.uid.generate_uid(), pydicom.uid.generate_uid()
    files = []
    for number in range(1, count + 1):
        ds = source.copy()
        ds.PatientName, ds.PatientID = patient, "GEN" + str(count)
        ds.StudyInstanceUID, ds.SeriesInstanceUID = study, series
        ds.SOPInstanceUID = pydicom.uid.generate_uid()
        ds.file_meta.MediaStorageSOPInstanceUID = ds.SOPInstanceUID
        ds.InstanceNumber = number
        path = folder / f"image{number:02d}.dcm"
        ds.save_as(path, write_like_original=False)
        files.append(path)
    return files


def same_data_set(a: pydicom.Dataset, b: pydicom.Dataset) -> List[str]:
    """The tags whose elements differ between two data sets (file meta groups not compared;
    Data Set Trailing Padding, which carries no data, ignored)."""
    tags = (set(a.keys()) | set(b.keys())) - {pydicom.tag.Tag(0xFFFC, 0xFFFC)}
    return sorted(str(tag) for tag in tags if tag not in a or tag not in b or a[tag] != b[tag])
