"""The library, found and loaded once, with the signature of every function the package calls.

PELLA_LIBRARY names the file to load; without it the installed "libpella.so.0" is found by the
system's loader. Loading happens at the first call, so that ``import pella`` works without it.
"""
import ctypes
import os
import threading
from ctypes import POINTER, c_char_p, c_int32, c_uint8, c_uint16, c_uint32, c_uint64, c_void_p
from typing import Any, Optional

from .errors import PellaError

INSTALLED_NAME = "libpella.so.0"

# Callback types of the header.
StoreOutcomeCallback = ctypes.CFUNCTYPE(None, c_char_p, c_int32, c_char_p, c_uint64, c_void_p)
FindMatchCallback = ctypes.CFUNCTYPE(None, c_void_p, c_int32, c_void_p)


class StoreServerOptions(ctypes.Structure):
    """The header's StoreServerOptions; `size` is set to this structure's size."""

    _fields_ = [
        ("size", c_uint32),
        ("aeTitle", c_char_p),
        ("requireCalledAETitle", c_uint8),
        ("originalSopClasses", c_uint8),
        ("sync", c_uint8),
        ("maxAssociations", c_int32),
        ("acseTimeoutSeconds", c_int32),
        ("dimseTimeoutSeconds", c_int32),
        ("maxObjectSize", ctypes.c_uint64),
        ("minFreeBytes", ctypes.c_uint64),
        ("maxPduLength", c_uint32),
        ("peersFile", c_char_p),
    ]


class AnonymizeFileOptions(ctypes.Structure):
    """The header's AnonymizeFileOptions; `size` is set to this structure's size."""

    _fields_ = [
        ("size", c_uint32),
        ("key", c_char_p),
        ("retainUids", c_uint8),
        ("retainDeviceIdentity", c_uint8),
        ("retainInstitutionIdentity", c_uint8),
        ("retainPatientCharacteristics", c_uint8),
        ("retainFullDates", c_uint8),
        ("shiftDates", c_uint8),
        ("cleanDescriptors", c_uint8),
        ("keepPrivate", c_uint8),
        ("allowBurnedIn", c_uint8),
        ("dateShiftDays", c_int32),
    ]


# name: (result type, argument types)
_SIGNATURES = {
    "Version": (None, [c_char_p]),
    "LastFailureText": (c_int32, [c_char_p, c_int32]),
    "FreeText": (None, [c_void_p]),
    "CheckDICOMFile": (c_int32, [c_char_p]),
    "DICOMJson": (c_void_p, [c_char_p, c_int32]),
    "ConvertFileTS": (c_uint8, [c_char_p, c_char_p, c_char_p]),
    "AnonymizeFile": (c_int32, [c_char_p, c_char_p, POINTER(AnonymizeFileOptions), c_char_p, c_int32]),
    "CreateThumbnail": (c_uint8, [c_char_p, c_char_p, c_int32]),
    "EchoSCU": (c_uint8, [c_char_p, c_char_p, c_char_p, c_char_p]),
    "StoreFileList": (
        c_uint8,
        [c_char_p, c_char_p, c_char_p, c_char_p, POINTER(c_char_p), c_int32, c_char_p, c_uint8,
         StoreOutcomeCallback, c_void_p],
    ),
    "NewPDU": (c_void_p, []),
    "DeletePDU": (None, [c_void_p]),
    "OpenAssoc": (c_uint8, [c_void_p, c_char_p, c_char_p, c_char_p, c_char_p, c_char_p, c_char_p]),
    "CloseAssoc": (c_uint8, [c_void_p]),
    "NewQueryRecord": (c_void_p, [c_char_p]),
    "FreeQueryRecord": (None, [c_void_p, c_char_p]),
    "QueryFieldCount": (c_int32, [c_char_p]),
    "QueryFieldInfo": (
        c_uint8,
        [c_char_p, c_int32, POINTER(c_uint16), POINTER(c_uint16), c_char_p, POINTER(c_char_p)],
    ),
    "QueryFieldSequence": (c_uint8, [c_char_p, c_int32, POINTER(c_uint16), POINTER(c_uint16)]),
    "SetQueryField": (c_uint8, [c_void_p, c_char_p, c_int32, c_char_p]),
    "GetQueryField": (c_char_p, [c_void_p, c_char_p, c_int32]),
    "NewQueryRecordList": (c_void_p, []),
    "AppendQueryRecord": (None, [c_void_p, c_void_p]),
    "FreeQueryRecordList": (None, [c_void_p, c_char_p]),
    "FindEach": (c_int32, [c_void_p, c_void_p, c_char_p, c_char_p, FindMatchCallback, c_void_p]),
    "WriteMoveRQ": (c_uint8, [c_void_p, c_void_p, c_char_p, c_char_p, c_char_p]),
    "ReadMoveRSPCounts": (c_int32, [c_void_p, POINTER(c_int32)]),
    "GetSCU": (
        c_int32,
        [c_char_p, c_char_p, c_char_p, c_char_p, c_char_p, c_char_p, c_void_p, c_char_p, POINTER(c_int32)],
    ),
    "StartStoreServerWithOptions": (
        c_void_p,
        [c_char_p, c_char_p, c_char_p, POINTER(StoreServerOptions)],
    ),
    "StoreServerPort": (c_int32, [c_void_p]),
    "StopStoreServer": (None, [c_void_p]),
}

_lock = threading.Lock()
_library: Optional[ctypes.CDLL] = None


def _load() -> ctypes.CDLL:
    name = os.environ.get("PELLA_LIBRARY") or INSTALLED_NAME
    try:
        library = ctypes.CDLL(name)
    except OSError as error:
        raise PellaError(f"cannot load libpella ({name}): {error}") from error
    for function, (result, arguments) in _SIGNATURES.items():
        entry = getattr(library, function)
        entry.restype = result
        entry.argtypes = arguments
    return library


def lib() -> Any:
    """The loaded library, its functions declared (loaded on the first call)."""
    global _library
    with _lock:
        if _library is None:
            _library = _load()
        return _library


def failure_text() -> str:
    """The calling thread's last failure reason; read right after the failing call."""
    buffer = ctypes.create_string_buffer(1024)
    lib().LastFailureText(buffer, len(buffer))
    return buffer.value.decode("utf-8", "replace")


def failure(fallback: str, status: Optional[int] = None) -> PellaError:
    """A PellaError carrying the library's failure reason, or `fallback` when it gave none."""
    return PellaError(failure_text() or fallback, status)
