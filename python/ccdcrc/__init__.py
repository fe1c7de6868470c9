"""Circuit CRCs of the IEDs of IEC 61850 SCD files.

    import ccdcrc
    scd = ccdcrc.load("station.scd")   # or the bytes of an SCD; jobs=N threads
    scd.crcs()                         # {'P1': '3B04FA6D', ...}, as `ccdcrc all`
    scd.scd_crc                        # the SCD CRC
    scd.crc("P1")                      # one IED, as `ccdcrc ied`
    scd.ccd("P1", measured=True)       # its CCD text, as `ccdcrc ccd`
    scd.export("out")                  # out/NAME.ccd, as `ccdcrc export --all`

The library does the work with the GIL released. `python3 -m ccdcrc ARGS...`
runs the ccdcrc program.
"""

from __future__ import annotations

from ccdcrc._ccdcrc import Scd, __version__, load

__all__ = [
    "DirectoryError",
    "FileAccessError",
    "FileLoadError",
    "LoadError",
    "MalformedXmlError",
    "MissingFileError",
    "NotAFileError",
    "Scd",
    "UnknownIedError",
    "__version__",
    "load",
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
