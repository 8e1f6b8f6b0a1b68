"""Query records: the library's fields per level, records built from keys, and matches read
back as keyword dicts or as objects of the DICOM JSON model."""
import ctypes
import functools
from dataclasses import dataclass
from typing import Any, Dict, List, Mapping, Optional, Tuple, Union

from . import _arguments
from ._native import lib

LEVELS = ("PATIENT", "STUDY", "SERIES", "IMAGE", "WORKLIST")
KeyValue = Union[str, int, float, List[Any], Tuple[Any, ...], None]


@dataclass(frozen=True)
class Field:
    position: int
    group: int
    element: int
    vr: str
    keyword: str
    sequence: Optional[str]  # "GGGGEEEE" of the sequence whose item holds it, or None

    @property
    def tag(self) -> str:
        return f"{self.group:04X}{self.element:04X}"


@functools.lru_cache(maxsize=None)
def fields(level: str) -> Tuple[Field, ...]:
    """The fields of a level's record, as the library describes them (unused positions left out)."""
    native = lib()
    name = level.encode("ascii")
    found = []
    for position in range(native.QueryFieldCount(name)):
        group, element = ctypes.c_uint16(), ctypes.c_uint16()
        vr = ctypes.create_string_buffer(3)
        keyword = ctypes.c_char_p()
        if not native.QueryFieldInfo(name, position, group, element, vr, keyword) or group.value == 0:
            continue
        sequence: Optional[str] = None
        outer_group, outer_element = ctypes.c_uint16(), ctypes.c_uint16()
        if native.QueryFieldSequence(name, position, outer_group, outer_element):
            sequence = f"{outer_group.value:04X}{outer_element.value:04X}"
        found.append(Field(position, group.value, element.value, vr.value.decode("ascii"),
                           (keyword.value or b"").decode("ascii"), sequence))
    return tuple(found)


def _normalize_level(level: str) -> str:
    upper = level.upper()
    if upper not in LEVELS:
        raise ValueError(f"level {level!r} is none of {', '.join(LEVELS)}")
    return upper


def _find_field(level: str, key: str) -> Field:
    """The field of a key given by keyword or tag ("gggg,eeee" or "GGGGEEEE")."""
    compact = key.replace(",", "").replace("(", "").replace(")", "").upper()
    for field in fields(level):
        if key == field.keyword or compact == field.tag:
            return field
    accepted = ", ".join(f.keyword for f in fields(level))
    raise ValueError(f"{key!r} is no key of the {level} record; accepted keys: {accepted}")


def _value_text(value: KeyValue) -> str:
    if value is None:
        return ""
    if isinstance(value, (list, tuple)):
        return "\\".join(_value_text(v) for v in value)
    return str(value)


class Record:
    """A query record of the library, freed when the `with` block ends."""

    def __init__(self, level: str, keys: Optional[Mapping[str, KeyValue]]) -> None:
        self.level = _normalize_level(level)
        self._name = self.level.encode("ascii")
        settings = [(_find_field(self.level, key), _value_text(value)) for key, value in (keys or {}).items()]
        self.pointer = lib().NewQueryRecord(self._name)
        if not self.pointer:
            raise MemoryError("no query record could be made")
        for field, value in settings:
            lib().SetQueryField(self.pointer, self._name, field.position, _arguments.text(value))

    def __enter__(self) -> "Record":
        return self

    def __exit__(self, *_exc: object) -> None:
        self.release()

    def release(self) -> None:
        """Frees the record unless the library took it."""
        if self.pointer:
            lib().FreeQueryRecord(self.pointer, self._name)
            self.pointer = None


def _decoded(value: bytes) -> str:
    """A field's bytes as received (records keep no character set): UTF-8 when they are valid
    UTF-8, else Latin-1, the two sets a request's keys are sent in; the padding removed."""
    try:
        text = value.decode("utf-8")
    except UnicodeDecodeError:
        text = value.decode("latin-1")
    return text.rstrip(" \0")


def read_match(level: str, record: int) -> Dict[str, str]:
    """The fields of a library record as keyword -> text (every field; "" when empty)."""
    native = lib()
    name = level.encode("ascii")
    match = {}
    for field in fields(level):
        value = native.GetQueryField(record, name, field.position) or b""
        match[field.keyword] = _decoded(value)
    return match


def _json_value(vr: str, text: str) -> Any:
    """One value in the DICOM JSON model: numbers for IS and DS where they parse, person names
    as objects, other texts as strings."""
    text = text.strip(" \0")
    if vr == "PN":
        return {"Alphabetic": text}
    try:
        if vr == "IS":
            return int(text)
        if vr == "DS":
            return float(text)
    except ValueError:
        pass
    return text


def _json_attribute(field: Field, text: str) -> Dict[str, Any]:
    attribute: Dict[str, Any] = {"vr": field.vr}
    if text:
        attribute["Value"] = [_json_value(field.vr, part) for part in text.split("\\")]
    return attribute


def match_json(level: str, match: Mapping[str, str]) -> Dict[str, Any]:
    """A match (keyword -> text) as an object of the DICOM JSON model, tags in order; fields of a
    sequence item (the worklist's step) nested in that sequence's one item."""
    top: Dict[str, Any] = {}
    items: Dict[str, Dict[str, Any]] = {}
    for field in fields(level):
        attribute = _json_attribute(field, match.get(field.keyword, ""))
        target = top if field.sequence is None else items.setdefault(field.sequence, {})
        target[field.tag] = attribute
    for sequence, item in items.items():
        top[sequence] = {"vr": "SQ", "Value": [dict(sorted(item.items()))]}
    return dict(sorted(top.items()))
