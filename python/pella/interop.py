"""pydicom interplay, when pydicom is importable: Datasets in (written as Part 10 files) and out
(from the DICOM JSON model)."""
import os
import urllib.parse
from typing import Any, Dict

from . import _arguments


def _pydicom() -> Any:
    try:
        import pydicom
    except ImportError as error:
        raise ImportError("this call needs pydicom") from error
    return pydicom


def is_dataset(value: Any) -> bool:
    """Whether `value` is a pydicom Dataset (False when pydicom is not importable)."""
    try:
        from pydicom.dataset import Dataset
    except ImportError:
        return False
    return isinstance(value, Dataset)


def write_dataset(dataset: Any, path: str) -> str:
    """Writes a pydicom Dataset as a Part 10 file at `path`. A data set without file meta
    information gets one for explicit VR little endian, made from its SOP Class and Instance
    UIDs; the caller's Dataset is not changed."""
    pydicom = _pydicom()
    from pydicom.dataset import Dataset, FileMetaDataset
    from pydicom.uid import ExplicitVRLittleEndian

    meta = getattr(dataset, "file_meta", None)
    if meta is None or "TransferSyntaxUID" not in meta:
        dataset = Dataset(dataset)  # a new data set holding the same elements
        meta = FileMetaDataset()
        meta.MediaStorageSOPClassUID = dataset.SOPClassUID
        meta.MediaStorageSOPInstanceUID = dataset.SOPInstanceUID
        meta.TransferSyntaxUID = ExplicitVRLittleEndian
        dataset.file_meta = meta
        dataset.is_little_endian = True
        dataset.is_implicit_VR = False
    pydicom.dcmwrite(path, dataset, write_like_original=False)
    return path


def _read_bulk_data(uri: str) -> bytes:
    """The bytes a "file:///path?offset=N&length=M" reference of a dump names."""
    parts = urllib.parse.urlsplit(uri)
    if parts.scheme != "file":
        raise ValueError(f"cannot read bulk data from {uri!r}")
    query = urllib.parse.parse_qs(parts.query)
    offset = int(query.get("offset", ["0"])[0])
    length = int(query.get("length", ["-1"])[0])
    with open(urllib.parse.unquote(parts.path), "rb") as file:
        file.seek(offset)
        return file.read(length)


def to_dataset(json_object: Dict[str, Any]) -> Any:
    """A pydicom Dataset from one object of the DICOM JSON model (a dump, or a find or worklist
    match given as JSON). Bulk data references of a dump are read from their file."""
    _pydicom()
    from pydicom.dataset import Dataset

    return Dataset.from_json(json_object, bulk_data_uri_handler=_read_bulk_data)


def read_dataset(path: _arguments.PathLike) -> Any:
    """The data set of a Part 10 file as a pydicom Dataset, read by the library."""
    from .files import dump

    return to_dataset(dump(os.fspath(path)))
