"""Pella for Python: DICOM networking and files through libpella.

The library is loaded from PELLA_LIBRARY when set, else the installed "libpella.so.0". Every
failed library call raises PellaError carrying the library's failure text.
"""
# The package's version, kept equal to the library's (PELLA_VERSION); a test checks both.
__version__ = "0.1.0"

from .errors import PellaError  # noqa: E402
from .files import BurnedInTextError, anonymize, convert, dump, thumbnail, version
from .interop import read_dataset, to_dataset
from .query import find, get, move, worklist
from .server import StorageServer
from .storage import StoreError, StoreOutcome, store
from .uids import (EXPLICIT_VR_BIG_ENDIAN, EXPLICIT_VR_LITTLE_ENDIAN, IMPLICIT_VR_LITTLE_ENDIAN,
                   JPEG_BASELINE, JPEG_LOSSLESS_SV1)
from .verification import echo

__all__ = [
    "PellaError", "StoreError", "StoreOutcome", "StorageServer",
    "echo", "store", "find", "worklist", "move", "get",
    "dump", "convert", "anonymize", "BurnedInTextError", "thumbnail", "version",
    "read_dataset", "to_dataset",
    "IMPLICIT_VR_LITTLE_ENDIAN", "EXPLICIT_VR_LITTLE_ENDIAN", "EXPLICIT_VR_BIG_ENDIAN",
    "JPEG_BASELINE", "JPEG_LOSSLESS_SV1",
]
