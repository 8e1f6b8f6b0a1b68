"""A storage server (C-STORE and C-ECHO acceptor) run by the library, as a context manager."""
import ctypes
import os
from typing import Optional

from . import _arguments
from ._native import StoreServerOptions, failure, lib


class StorageServer:
    """Receives objects into `folder` as <folder>/<Study UID>/<Series UID>/<SOP Instance UID>.dcm,
    indexed below `database` (None: "./Database" below the current folder, the library's default).

        with pella.StorageServer(folder, port=0) as server:
            pella.echo("localhost", server.port, aec=server.aet)

    Port 0 picks a free port. With `require_called_aet` an association called another title than
    `aet` is rejected; `original_sop_classes` takes only the library's original storage classes;
    `sync` flushes every object to the device before its sender hears success. A zero limit or
    time-out means the library's default; `max_object_size` (bytes of one object, default 4 GiB)
    and `min_free` (free bytes kept on the folder's file system, default 1 GiB) likewise. `peers`
    names a peers file ("AE HOST PORT [SERVICES]" a line): the destinations C-MOVE sends what the
    server stored to. The server runs on the library's own threads.
    """

    def __init__(self, folder: _arguments.PathLike, port: _arguments.Port = 0, aet: str = "PELLA", *,
                 database: Optional[_arguments.PathLike] = None, require_called_aet: bool = False,
                 original_sop_classes: bool = False, sync: bool = False, max_associations: int = 0,
                 acse_timeout: int = 0, dimse_timeout: int = 0, max_object_size: int = 0,
                 min_free: int = 0, peers: Optional[_arguments.PathLike] = None) -> None:
        self.folder = os.fspath(folder)
        self.aet = aet
        self._port = _arguments.port(port)
        self._database = _arguments.path(database) if database is not None else None
        self._title = _arguments.title(aet)
        for name, value in (("max_associations", max_associations), ("acse_timeout", acse_timeout),
                            ("dimse_timeout", dimse_timeout)):
            if not 0 <= value < 2**31:
                raise ValueError(f"{name} {value} is out of range")
        for name, value in (("max_object_size", max_object_size), ("min_free", min_free)):
            if not 0 <= value < 2**64:
                raise ValueError(f"{name} {value} is out of range")
        self._options = StoreServerOptions(
            ctypes.sizeof(StoreServerOptions), self._title, int(require_called_aet),
            int(original_sop_classes), int(sync), max_associations, acse_timeout, dimse_timeout,
            max_object_size, min_free, 0, _arguments.path(peers) if peers is not None else None)
        self._handle: Optional[int] = None

    def start(self) -> "StorageServer":
        """Starts listening; PellaError when the port cannot be listened on or the folder written."""
        if self._handle is not None:
            raise RuntimeError("the server is already running")
        handle = lib().StartStoreServerWithOptions(_arguments.path(self.folder), self._port, self._database,
                                                   ctypes.byref(self._options))
        if not handle:
            raise failure(f"the storage server could not start on port {self._port.decode()}")
        self._handle = handle
        return self

    def stop(self) -> None:
        """Stops accepting, lets the association in progress end, returns once every acknowledged
        object is on disk. Does nothing when the server is not running."""
        handle, self._handle = self._handle, None
        if handle is not None:
            lib().StopStoreServer(handle)

    @property
    def running(self) -> bool:
        return self._handle is not None

    @property
    def port(self) -> int:
        """The port the server listens on."""
        if self._handle is None:
            raise RuntimeError("the server is not running")
        return int(lib().StoreServerPort(self._handle))

    def __enter__(self) -> "StorageServer":
        return self.start()

    def __exit__(self, *_exc: object) -> None:
        self.stop()
