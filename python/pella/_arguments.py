"""Python arguments turned into what the library's calls take: bytes, title buffers, paths."""
import ctypes
import os
from typing import Optional, Union

PathLike = Union[str, "os.PathLike[str]"]
Port = Union[int, str]

# The called AE title when none is given (as the command-line tool uses).
DEFAULT_CALLED_TITLE = "ANY-SCP"


def text(value: str) -> bytes:
    return value.encode("utf-8")


def port(value: Port) -> bytes:
    if isinstance(value, bool) or not isinstance(value, (int, str)):
        raise TypeError(f"a port is a number or a service name, not {value!r}")
    return str(value).encode("ascii")


def title(value: Optional[str], default: str = "") -> bytes:
    """An AE title: 16 ASCII characters at most. None gives `default`."""
    chosen = default if value is None else value
    try:
        encoded = chosen.encode("ascii")
    except UnicodeEncodeError:
        raise ValueError(f"AE title {chosen!r} is not ASCII") from None
    if len(encoded) > 16:
        raise ValueError(f"AE title {chosen!r} is longer than 16 characters")
    return encoded


def calling_buffer(value: Optional[str]) -> ctypes.Array:  # type: ignore[type-arg]
    """The writable 17-byte buffer the calls take for the calling title (empty: the library's)."""
    return ctypes.create_string_buffer(title(value), 17)


def path(value: PathLike) -> bytes:
    return os.fsencode(os.fspath(value))
