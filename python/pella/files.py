"""Files: the library's version, DICOM JSON dumps, transfer-syntax conversion, thumbnails."""
import ctypes
import json
import os
import pathlib
from typing import Any, Dict

from . import _arguments
from ._native import failure, lib

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
