"""C-STORE: sending files, folders and pydicom data sets, with the outcome of each."""
import os
import tempfile
from ctypes import c_char_p
from dataclasses import dataclass
from typing import Any, Dict, Iterable, List, Optional, Union

from . import _arguments
from ._native import StoreOutcomeCallback, failure_text, lib
from .errors import PellaError
from .files import is_dicom_file
from .interop import is_dataset, write_dataset

Source = Union[_arguments.PathLike, Any]  # a path, or a pydicom Dataset


@dataclass(frozen=True)
class StoreOutcome:
    """What became of one object: `status` is the C-STORE status (0 = stored), -1 when it was not
    sent or no valid response came, -2 for a response to another command; `reason` says why
    it was not stored (for status 0 it is empty, or notes another transfer syntax than wanted)."""

    source: Source  # the path or Dataset given (for a folder: the file found in it)
    file: str  # the file sent
    status: int
    reason: str
    bytes: int

    @property
    def stored(self) -> bool:
        return self.status == 0


class StoreError(PellaError):
    """Not every object was stored; `outcomes` holds the outcome of each."""

    def __init__(self, message: str, outcomes: List[StoreOutcome]) -> None:
        super().__init__(message)
        self.outcomes = outcomes


def _folder_files(folder: str) -> List[str]:
    """The Part 10 files below a folder, sorted by path (index files and others left out)."""
    found: List[str] = []
    for root, folders, names in os.walk(folder):
        folders.sort()
        found.extend(os.path.join(root, name) for name in names)
    return sorted(name for name in found if is_dicom_file(name))


def _as_list(paths: Union[Source, Iterable[Source]]) -> List[Source]:
    if isinstance(paths, (str, bytes, os.PathLike)) or is_dataset(paths):
        return [paths]
    return list(paths)


def _expand(sources: List[Source], scratch: str) -> Dict[str, Source]:
    """The files to send, in order, each with what the caller named."""
    files: Dict[str, Source] = {}
    for number, source in enumerate(sources):
        if is_dataset(source):
            files[write_dataset(source, os.path.join(scratch, f"{number}.dcm"))] = source
        elif os.path.isdir(source):
            files.update((name, name) for name in _folder_files(os.fsdecode(os.fspath(source))))
        else:
            files[os.fsdecode(os.fspath(source))] = source
    return files


def store(
    host: str,
    port: _arguments.Port,
    paths: Union[Source, Iterable[Source]],
    *,
    aet: Optional[str] = None,
    aec: Optional[str] = None,
    syntax: Optional[str] = None,
    convert: bool = False,
    check: bool = True,
) -> List[StoreOutcome]:
    """Sends files, the DICOM files below folders, and pydicom Datasets over one association
    (more only beyond 128 presentation contexts), and returns the outcome of each object.

    `syntax` is the transfer syntax wanted for images; with `convert` a data set is converted
    into the syntax the peer accepted. With `check` (the default) a StoreError carrying every
    outcome is raised unless every object was stored with status 0.
    """
    calling = _arguments.calling_buffer(aet)
    called = _arguments.title(aec, _arguments.DEFAULT_CALLED_TITLE)
    wanted = _arguments.text(syntax) if syntax else None
    with tempfile.TemporaryDirectory(prefix="pella-store-") as scratch:
        files = _expand(_as_list(paths), scratch)
        if not files:
            raise ValueError("no DICOM file to send")
        if len(files) >= 2**31:
            raise ValueError("too many files")
        by_name = {_arguments.path(name): name for name in files}
        outcomes: List[StoreOutcome] = []

        def heard(name: bytes, status: int, reason: bytes, size: int, _context: Any) -> None:
            file = by_name.get(name, os.fsdecode(name))
            text = reason.decode("utf-8", "replace") if reason else ""
            outcomes.append(StoreOutcome(files.get(file, file), file, status, text, size))

        names = (c_char_p * len(files))(*by_name)
        callback = StoreOutcomeCallback(heard)
        all_stored = lib().StoreFileList(
            _arguments.text(host), _arguments.port(port), calling, called, names, len(files), wanted,
            1 if convert else 0, callback, None)
        reason = "" if all_stored else failure_text()
    if check and not all_stored:
        failed = [o for o in outcomes if not o.stored]
        first = f"{failed[0].file}: {failed[0].reason}" if failed else reason
        message = f"{len(failed) or len(files)} of {len(files)} not stored ({first})"
        raise StoreError(message, outcomes)
    return outcomes
