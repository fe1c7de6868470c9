"""Circuit CRCs of the IEDs of IEC 61850 SCD files.

    import ccdcrc
    scd = ccdcrc.load("station.scd")   # or the bytes of an SCD; jobs=N threads
    scd.crcs()                         # {'P1': '3B04FA6D', ...}, as `ccdcrc all`
    scd.scd_crc                        # the SCD CRC
    scd.crc("P1")                      # one IED, as `ccdcrc ied`
    scd.ccd("P1", measured=True)       # its CCD text, as `ccdcrc ccd`
    scd.export("out")                  # out/NAME.ccd, as `ccdcrc export --all`
    ccdcrc.diff("old.scd", "new.scd", explain=True)   # as `ccdcrc diff --format json`
    ccdcrc.verify(["out/P1.ccd"], scd="new.scd")      # as `ccdcrc verify --format json`

The library does the work with the GIL released. `python3 -m ccdcrc ARGS...`
runs the ccdcrc program.
"""

from __future__ import annotations

import json
import os
from collections.abc import Iterable
from typing import Any

from ccdcrc._ccdcrc import Scd, __version__, _run_command, load

__all__ = [
    "CommandError",
    "DirectoryError",
    "FileAccessError",
    "FileLoadError",
    "LoadError",
    "MalformedXmlError",
    "MissingFileError",
    "NotAFileError",
    "NotAnScdError",
    "Scd",
    "UnknownIedError",
    "__version__",
    "diff",
    "load",
    "verify",
]


class LoadError(Exception):
    """An SCD that could not be loaded.

    `path` is the file ('<memory>' for bytes), `line` and `column` (1-based,
    the column in bytes) say where XML is not well-formed (None when not
    known), `message` says why. str() is "PATH: MESSAGE" or
    "PATH:LINE:COLUMN: MESSAGE", as the program says it. Each kind is also the
    built-in exception it is: MalformedXmlError a ValueError, FileLoadError
    an OSError (MissingFileError a FileNotFoundError, FileAccessError a
    PermissionError, DirectoryError an IsADirectoryError).
    """

    def __init__(
        self,
        message: str,
        path: str,
        line: int | None = None,
        column: int | None = None,
        errno: int | None = None,
    ) -> None:
        where = path if line is None else f"{path}:{line}:{column}"
        super().__init__(f"{where}: {message}")
        self.message = message
        self.path = path
        self.line = line
        self.column = column
        if isinstance(self, OSError):
            self.errno, self.strerror, self.filename = errno, message, path

    def __str__(self) -> str:
        return str(self.args[0])

    def __reduce__(self):
        return type(self), (self.message, self.path, self.line, self.column, getattr(self, "errno", None))


class MalformedXmlError(LoadError, ValueError):
    """The file is not well-formed XML, or it is empty."""


class NotAnScdError(LoadError, ValueError):
    """Well-formed XML whose root element is not SCL (a CCD file, for example)."""


class FileLoadError(LoadError, OSError):
    """The file could not be opened or read; `errno` as the system gave it."""


class MissingFileError(FileLoadError, FileNotFoundError):
    """No such file (or a path too long, or a loop of symbolic links)."""


class FileAccessError(FileLoadError, PermissionError):
    """Permission denied."""


class NotAFileError(FileLoadError):
    """Not a regular file: a FIFO, socket or device."""


class DirectoryError(NotAFileError, IsADirectoryError):
    """A directory, not a file."""


class UnknownIedError(KeyError):
    """No IED of that name, or none can be looked up because the root element
    is not SCL. A KeyError whose key is the name; str() says why."""

    def __init__(self, name: str, message: str) -> None:
        super().__init__(name)
        self.name = name
        self.message = message

    def __str__(self) -> str:
        return self.message

    def __reduce__(self):
        return type(self), (self.name, self.message)


class CommandError(Exception):
    """diff or verify could not give an answer; `messages` holds what the
    program says on standard error, `status` its exit status."""

    def __init__(self, messages: str, status: int) -> None:
        super().__init__(messages.strip())
        self.messages = messages
        self.status = status


_PACKED = (b"\x1f\x8b", b"PK\x03\x04", b"PK\x05\x06", b"PK\x07\x08")


def _raise_load_error(path: str | os.PathLike[str]) -> None:
    """Raises the LoadError that loading `path` gives, if it gives one. A
    compressed file is left to the program, which reads it."""
    try:
        with open(path, "rb") as file:
            if file.read(4).startswith(_PACKED):
                return
    except OSError:
        pass
    load(path)


def _answer(arguments: list[str | bytes], scds: list[Any], trouble_is_data: bool = False) -> Any:
    """The JSON that the command prints. Exit status 2 raises, unless
    `trouble_is_data` (verify: an unreadable CCD file is one of its answers)."""
    status, out, err = _run_command(arguments)
    if status == 2:
        for scd in scds:
            if scd is not None:
                _raise_load_error(scd)
    if status == 2 and not (trouble_is_data and out):
        raise CommandError(err.decode("utf-8", "replace"), status)
    return json.loads(out)


def diff(
    old: str | os.PathLike[str],
    new: str | os.PathLike[str],
    explain: bool | Iterable[str] = False,
    *,
    all: bool = False,  # noqa: A002 (the program's option)
    jobs: int = 0,
) -> dict[str, Any]:
    """Compares the IED CRCs of two SCD files as `ccdcrc diff --format json`
    does, and returns its JSON as plain data: {'old', 'new', 'scd_crc',
    'header', 'ieds': [{'name', 'old_crc', 'new_crc', 'status'}...]}. Only the
    IEDs that differ are listed unless `all`. With `explain` (True, or the IED
    names to explain) each IED also has its 'changes'. Raises a LoadError when
    an SCD cannot be loaded, CommandError for anything else."""
    arguments: list[str | bytes] = ["diff", "--format", "json"]
    if all:
        arguments.append("--all")
    if jobs:
        arguments += ["--jobs", str(jobs)]
    arguments += ["--", os.fsencode(old), os.fsencode(new)]
    if explain is not False:
        names = [] if explain is True else list(explain)
        arguments = arguments[:-3] + ["--explain", *names, "--", os.fsencode(old), os.fsencode(new)]
    return _answer(arguments, [old, new])


def verify(
    paths: str | os.PathLike[str] | Iterable[str | os.PathLike[str]],
    scd: str | os.PathLike[str] | None = None,
) -> list[dict[str, Any]]:
    """Verifies exported CCD files as `ccdcrc verify --format json` does and
    returns its 'files': [{'file', 'ied', 'status', 'file_crc', 'content_crc',
    'current_crc'}...], with status 'ok', 'modified', 'outdated' (against
    `scd`) or 'unreadable'. Raises a LoadError when `scd` cannot be loaded."""
    files = [paths] if isinstance(paths, (str, bytes, os.PathLike)) else list(paths)
    arguments: list[str | bytes] = ["verify", "--format", "json"]
    if scd is not None:
        arguments += ["--scd", os.fsencode(scd)]
    arguments += ["--", *map(os.fsencode, files)]
    return _answer(arguments, [scd], trouble_is_data=True)["files"]
