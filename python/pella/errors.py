"""The one exception the package raises for a failed library call."""
from typing import Optional


class PellaError(Exception):
    """A library call failed.

    ``str(error)`` is the library's own failure text (what LastFailureText gives), or a short
    description when the library gave none. ``status`` is the DIMSE status of a response that
    ended a query, move or store with a status other than success, else None.
    """

    def __init__(self, message: str, status: Optional[int] = None) -> None:
        super().__init__(message)
        self.status = status
