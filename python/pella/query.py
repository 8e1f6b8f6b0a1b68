"""C-FIND (Study Root), the modality worklist and C-MOVE."""
import ctypes
from contextlib import contextmanager
from typing import Any, Callable, Dict, Iterator, List, Mapping, Optional

from . import _arguments, records
from ._native import FindMatchCallback, failure, lib
from .errors import PellaError
from .uids import MODALITY_WORKLIST_FIND, PATIENT_ROOT_FIND, PATIENT_ROOT_MOVE, STUDY_ROOT_FIND, STUDY_ROOT_MOVE

Keys = Optional[Mapping[str, records.KeyValue]]
MoveCounts = Dict[str, int]
MOVE_COUNT_NAMES = ("remaining", "completed", "failed", "warning")


@contextmanager
def _association(host: str, port: _arguments.Port, aet: Optional[str], aec: Optional[str],
                 sop_class: str) -> Iterator[int]:
    """An open association for one abstract syntax, released and freed on leaving."""
    calling = _arguments.calling_buffer(aet)
    called = _arguments.title(aec, _arguments.DEFAULT_CALLED_TITLE)
    native = lib()
    handle = native.NewPDU()
    if not handle:
        raise failure("no association handle could be made")
    try:
        if not native.OpenAssoc(handle, _arguments.text(host), _arguments.port(port), calling, called,
                                sop_class.encode("ascii"), None):
            raise failure(f"association with {host}:{port} not accepted")
        try:
            yield handle
        finally:
            native.CloseAssoc(handle)
    finally:
        native.DeletePDU(handle)


def _query(host: str, port: _arguments.Port, level: str, keys: Keys, aet: Optional[str],
           aec: Optional[str], as_json: bool, sop_class: str) -> List[Dict[str, Any]]:
    matches: List[Dict[str, Any]] = []
    problems: List[BaseException] = []  # an exception cannot cross the library: kept for after
    with records.Record(level, keys) as record:
        name = record.level

        def heard(match: int, _number: int, _context: Any) -> None:
            try:
                matches.append(records.read_match(name, match))
            except BaseException as problem:  # noqa: B902 - re-raised once the call returns
                problems.append(problem)

        callback = FindMatchCallback(heard)
        with _association(host, port, aet, aec, sop_class) as handle:
            status = lib().FindEach(handle, record.pointer, sop_class.encode("ascii"), name.encode("ascii"),
                                    callback, None)
            if status != 0:
                what = "no valid response" if status < 0 else f"final status 0x{status:04X}"
                raise failure(f"query ended without success: {what}", status)
    if problems:
        raise problems[0]
    if as_json:
        return [records.match_json(name, match) for match in matches]
    return matches


def find(host: str, port: _arguments.Port, level: str = "STUDY", keys: Keys = None, *,
         aet: Optional[str] = None, aec: Optional[str] = None, as_json: bool = False) -> List[Dict[str, Any]]:
    """Queries an archive (C-FIND) at "STUDY", "SERIES" or "IMAGE" level (Study Root), or at
    "PATIENT" level (Patient Root).

    Every field of the level's record is asked for; `keys` sets match values by keyword or tag
    ("gggg,eeee"); a list value becomes a multi-valued key. Returns the matches as dicts of
    keyword -> text (every field, "" when empty), or with `as_json` as objects of the DICOM JSON
    model. Raises PellaError (with `status`) unless the query ends with status success.
    """
    if level.upper() == "WORKLIST":
        raise ValueError("use worklist() for the modality worklist")
    model = PATIENT_ROOT_FIND if level.upper() == "PATIENT" else STUDY_ROOT_FIND
    return _query(host, port, level, keys, aet, aec, as_json, model)


def worklist(host: str, port: _arguments.Port, keys: Keys = None, *, aet: Optional[str] = None,
             aec: Optional[str] = None, as_json: bool = False) -> List[Dict[str, Any]]:
    """Asks a worklist provider for scheduled procedure steps (Modality Worklist C-FIND).

    Step keys such as Modality travel in the Scheduled Procedure Step Sequence; as JSON they
    stay nested in it. Otherwise as `find`.
    """
    return _query(host, port, "WORKLIST", keys, aet, aec, as_json, MODALITY_WORKLIST_FIND)


def _counts(values: "ctypes.Array[ctypes.c_int32]") -> MoveCounts:
    return {name: values[i] for i, name in enumerate(MOVE_COUNT_NAMES) if values[i] >= 0}


def move(host: str, port: _arguments.Port, destination: str, level: str = "STUDY", keys: Keys = None, *,
         aet: Optional[str] = None, aec: Optional[str] = None,
         progress: Optional[Callable[[MoveCounts], None]] = None) -> MoveCounts:
    """Asks an archive (C-MOVE, Study Root) to send the objects the keys select to the AE title
    `destination`. `progress` receives the counts of every pending response ("remaining",
    "completed", "failed", "warning", where the response has them). Returns the final counts;
    raises PellaError (with `status`) unless the final status is success.
    """
    target = _arguments.title(destination)
    if not target:
        raise ValueError("a move destination is an AE title of 1 to 16 characters")
    with records.Record(level, keys) as record:
        if record.level == "WORKLIST":
            raise ValueError("a move is made at PATIENT, STUDY, SERIES or IMAGE level")
        model = PATIENT_ROOT_MOVE if record.level == "PATIENT" else STUDY_ROOT_MOVE
        with _association(host, port, aet, aec, model) as handle:
            native = lib()
            requests = native.NewQueryRecordList()
            native.AppendQueryRecord(requests, record.pointer)
            record.pointer = None  # the list owns it now; the request frees it
            try:
                sent = native.WriteMoveRQ(handle, requests, model.encode("ascii"),
                                          record.level.encode("ascii"), target)
            finally:
                native.FreeQueryRecordList(requests, record.level.encode("ascii"))
            if not sent:
                raise failure("the move request could not be sent")
            values = (ctypes.c_int32 * 4)(-1, -1, -1, -1)
            while True:
                status = native.ReadMoveRSPCounts(handle, values)
                if status not in (0xFF00, 0xFF01):
                    break
                if progress is not None:
                    progress(_counts(values))
            if status != 0:
                what = "no valid response" if status < 0 else f"final status 0x{status:04X}"
                error = failure(f"move ended without success: {what}", status)
                raise PellaError(f"{error} ({_describe(_counts(values))})" if _counts(values) else str(error),
                                 status)
            return _counts(values)


def get(host: str, port: _arguments.Port, out_dir: _arguments.PathLike, level: str = "STUDY",
        keys: Keys = None, *, aet: Optional[str] = None, aec: Optional[str] = None,
        patient_root: bool = False) -> MoveCounts:
    """Fetches the objects the keys select (C-GET, Study Root or with `patient_root` Patient Root)
    on one association and files them below `out_dir` as <Study>/<Series>/<SOP Instance>.dcm.
    Returns the final counts; raises PellaError (with `status`) unless the final status is success.
    """
    folder = _arguments.path(out_dir)
    with records.Record(level, keys) as record:
        if record.level == "WORKLIST":
            raise ValueError("a get is made at PATIENT, STUDY, SERIES or IMAGE level")
        native = lib()
        requests = native.NewQueryRecordList()
        native.AppendQueryRecord(requests, record.pointer)
        record.pointer = None  # the list owns it now; the request frees it
        calling = _arguments.calling_buffer(aet)
        values = (ctypes.c_int32 * 4)(-1, -1, -1, -1)
        model = PATIENT_ROOT_MOVE if patient_root or record.level == "PATIENT" else STUDY_ROOT_MOVE
        try:
            status = native.GetSCU(_arguments.text(host), _arguments.port(port), calling,
                                   _arguments.title(aec, _arguments.DEFAULT_CALLED_TITLE), model.encode("ascii"),
                                   record.level.encode("ascii"), requests, folder, values)
        finally:
            native.FreeQueryRecordList(requests, record.level.encode("ascii"))
        if status != 0:
            what = "no valid response" if status < 0 else f"final status 0x{status:04X}"
            raise failure(f"get ended without success: {what}", status)
        return _counts(values)


def _describe(counts: MoveCounts) -> str:
    return ", ".join(f"{name} {value}" for name, value in counts.items())
