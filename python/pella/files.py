"""Files: the library's version, DICOM JSON dumps, transfer-syntax conversion, anonymization,
thumbnails."""
import ctypes
import json
import os
import pathlib
from typing import Any, Dict, Optional

from . import _arguments
from ._native import AnonymizeFileOptions, failure, lib

# Bytes Version() may write, the zero included.
_VERSION_BUFFER_SIZE = 32


def version() -> str:
    """The version of the loaded library ("MAJOR.MINOR.PATCH")."""
    buffer = ctypes.create_string_buffer(_VERSION_BUFFER_SIZE)
    lib().Version(buffer)
    return buffer.value.decode("ascii")


def dump(path: _arguments.PathLike, *, inline_limit: int = -1) -> Dict[str, Any]:
    """The data set of a Part 10 file in the DICOM JSON model (file meta elements left out).

    Binary values longer than `inline_limit` bytes are given as "BulkDataURI" file references;
    the default inlines every value.
    """
    if not -(2**31) <= inline_limit < 2**31:
        raise ValueError(f"inline_limit {inline_limit} is out of range")
    native = lib()
    pointer = native.DICOMJson(_arguments.path(path), inline_limit)
    if not pointer:
        raise failure(f"{os.fspath(path)}: not a readable DICOM Part 10 file")
    try:
        text = ctypes.string_at(pointer)
    finally:
        native.FreeText(pointer)
    result: Dict[str, Any] = json.loads(text.decode("utf-8"))
    return result


def convert(src: _arguments.PathLike, dst: _arguments.PathLike, syntax: str) -> pathlib.Path:
    """Writes the Part 10 file `src` to `dst` in the transfer syntax `syntax` (a UID)."""
    if not lib().ConvertFileTS(_arguments.path(dst), _arguments.path(src), _arguments.text(syntax)):
        raise failure(f"{os.fspath(src)} could not be converted to {syntax}")
    return pathlib.Path(dst)


class BurnedInTextError(Exception):
    """The file's pixels may show burned-in text; pass allow_burned_in=True to take it anyway."""


def anonymize(src: _arguments.PathLike, out_dir: _arguments.PathLike, key: str, *,
              retain_uids: bool = False, retain_device_identity: bool = False,
              retain_institution_identity: bool = False,
              retain_patient_characteristics: bool = False, retain_dates: bool = False,
              shift_dates: Optional[int] = None, clean_descriptors: bool = False,
              keep_private: bool = False, allow_burned_in: bool = False) -> pathlib.Path:
    """Writes an anonymized copy of the Part 10 file `src` into the folder `out_dir` (Basic
    Application Level Confidentiality Profile) and returns its path, "<new SOP Instance
    UID>.dcm". UIDs are mapped under `key`: the same key maps the same UID to the same new one.
    Raises BurnedInTextError for an image that may show burned-in text."""
    if not key:
        raise ValueError("anonymize needs a key for the UID mapping")
    if shift_dates is not None and retain_dates:
        raise ValueError("give retain_dates or shift_dates, not both")
    key_bytes = _arguments.text(key)
    options = AnonymizeFileOptions(
        ctypes.sizeof(AnonymizeFileOptions), key_bytes, int(retain_uids), int(retain_device_identity),
        int(retain_institution_identity), int(retain_patient_characteristics), int(retain_dates),
        int(shift_dates is not None), int(clean_descriptors), int(keep_private), int(allow_burned_in),
        int(shift_dates or 0))
    written = ctypes.create_string_buffer(4096)
    result = lib().AnonymizeFile(_arguments.path(src), _arguments.path(out_dir), ctypes.byref(options),
                                 written, len(written))
    if result == 2:
        raise BurnedInTextError(f"{os.fspath(src)}: its pixels may show burned-in text")
    if result != 1:
        raise failure(f"{os.fspath(src)} could not be anonymized")
    return pathlib.Path(os.fsdecode(written.value))


def thumbnail(src: _arguments.PathLike, dst: _arguments.PathLike, width: int) -> pathlib.Path:
    """Writes a JPEG thumbnail `width` pixels wide of the DICOM image `src`.

    The file written is `dst` with its extension replaced by ".jpg"; its path is returned.
    """
    if not 0 < width < 2**31:
        raise ValueError(f"a thumbnail width is a positive number, not {width}")
    if not lib().CreateThumbnail(_arguments.path(dst), _arguments.path(src), width):
        raise failure(f"no thumbnail could be made of {os.fspath(src)}")
    return pathlib.Path(dst).with_suffix(".jpg")


def is_dicom_file(path: _arguments.PathLike) -> bool:
    """Whether `path` is a regular file with the Part 10 preamble and "DICM"."""
    return bool(lib().CheckDICOMFile(_arguments.path(path)) == 0)
