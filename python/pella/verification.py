"""C-ECHO: whether a remote application entity answers."""
from typing import Optional

from . import _arguments
from ._native import failure, lib


def echo(host: str, port: _arguments.Port, *, aet: Optional[str] = None, aec: Optional[str] = None) -> bool:
    """One verification (association, C-ECHO, release). True, or PellaError with the reason.

    `aet` is the calling AE title (None: the library's default), `aec` the called one
    (None: "ANY-SCP").
    """
    calling = _arguments.calling_buffer(aet)
    called = _arguments.title(aec, _arguments.DEFAULT_CALLED_TITLE)
    if not lib().EchoSCU(_arguments.text(host), _arguments.port(port), calling, called):
        raise failure(f"no verification with {host}:{port}")
    return True
