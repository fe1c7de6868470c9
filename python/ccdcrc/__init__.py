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
    ccdcrc.check("approved.csv", "new.scd").passed    # as `ccdcrc check`
    ccdcrc.history(["v1.scd", "v2.scd"])              # as `ccdcrc history --format json`
    ccdcrc.history_git("repo", "station.scd")         # as `ccdcrc history --git --format json`

The library does the work with the GIL released. `python3 -m ccdcrc ARGS...`
runs the ccdcrc program.
"""


import json as _json
import os as _os
from collections.abc import Iterable as _Iterable, Mapping as _Mapping
from typing import Any as _Any

from ccdcrc import _ccdcrc
from ccdcrc._ccdcrc import Scd, __version__, load

__all__ = [
    "CheckResult",
    "CommandError",
    "DiffResult",
    "HistoryResult",
    "DirectoryError",
    "FileAccessError",
    "FileLoadError",
    "LoadError",
    "MalformedXmlError",
    "MissingFileError",
    "NotAFileError",
    "NotAnScdError",
    "PartlyReadError",
    "Record",
    "Scd",
    "UnknownIedError",
    "VerifyResult",
    "__version__",
    "check",
    "diff",
    "history",
    "history_git",
    "load",
    "report",
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


class PartlyReadError(LoadError, ValueError):
    """Part of the file would be left out: content after a zero byte or after
    the root element, or an archive beside the XML document (which other
    programs read instead). Its CRCs could stand for no approval."""


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
    """diff could not give an answer; `messages` holds what the program says
    on standard error, `status` its exit status."""

    def __init__(self, messages: str, status: int) -> None:
        super().__init__(messages.strip())
        self.messages = messages
        self.status = status


class Record(dict):
    """A JSON object of a result: a dict whose keys are also attributes
    (`report.ieds[0].status` is `report["ieds"][0]["status"]`)."""

    def __getattr__(self, name: str) -> _Any:
        try:
            return self[name]
        except KeyError:
            raise AttributeError(name) from None


def _records(text: str) -> _Any:
    return _json.loads(text, object_hook=Record)


class DiffResult(Record):
    """What `ccdcrc diff --format json` prints, as records: {'old', 'new',
    'scd_crc', 'header', 'ieds': [{'name', 'old_crc', 'new_crc', 'status'}...],
    'bindings': {'broken', 'mended': [{'ied', 'int_addr', 'source', 'reason'}...]}}:
    the inputs that resolve to nothing in `new` alone, and those `new` mends.
    to_json() gives the program's JSON text."""

    def __init__(self, text: str) -> None:
        super().__init__(_records(text))
        self._text = text

    def to_json(self) -> str:
        return self._text


class HistoryResult(Record):
    """What `ccdcrc history --format json` prints, as records: {'revisions':
    [{'number', 'name', 'path', 'commit', 'date', 'author', 'subject', 'error',
    'scd_crc', 'old_scd_crc', 'header', 'crcs', 'first', 'changes': [{'name',
    'old_crc', 'new_crc', 'status'}...], 'bindings': {'broken', 'mended'}}...],
    'ieds': [{'name', 'bay', 'voltage_level', 'changes': [{'revision',
    'old_crc', 'new_crc', 'status'}...]}...]}. A revision that could not be
    read has its 'error' and nothing else. to_json() gives the program's JSON
    text."""

    def __init__(self, text: str) -> None:
        super().__init__(_records(text))
        self._text = text

    def to_json(self) -> str:
        return self._text


class VerifyResult(list):
    """The 'files' of `ccdcrc verify --format json`: [{'file', 'ied', 'status',
    'file_crc', 'content_crc', 'current_crc'}...]. `reasons` says why each
    unreadable file is, by its path, as "PATH[:LINE:COLUMN]: REASON".
    to_json() gives the program's JSON text."""

    def __init__(self, text: str, reasons: list[str | None]) -> None:
        files = _records(text)["files"]
        super().__init__(files)
        self.reasons = {entry["file"]: reason for entry, reason in zip(files, reasons) if reason is not None}
        self._text = text

    def to_json(self) -> str:
        return self._text


class CheckResult(Record):
    """What `ccdcrc check --format json` prints, as records: {'baseline',
    'scd', 'scd_crc', 'header', 'ieds': [{'name', 'status', 'approved_crc',
    'crc'}...]}, statuses 'ok', 'changed', 'missing', 'new', 'unreadable'.
    `failures` says what fails, `notes` names the lines of the list that are
    no entry (or whose CRC cannot be read), and `passed` is True only when the
    SCD is the approved configuration, as exit status 0 of the program is.
    to_json() gives the program's JSON text."""

    def __init__(self, text: str, failures: list[str], notes: list[str], passed: bool) -> None:
        super().__init__(_records(text))
        self.failures = failures
        self.notes = notes
        self.passed = passed
        self._text = text

    def to_json(self) -> str:
        return self._text


def _list_source(baseline: _Any) -> _Any:
    """A list of approved CRCs as check takes it: a path, or the list's bytes
    (given as bytes, as text of several lines, or as names and their CRCs)."""
    if isinstance(baseline, _Mapping):
        lines = (f"{name} {crc:08X}" if isinstance(crc, int) else f"{name} {crc}" for name, crc in baseline.items())
        return "".join(line + "\n" for line in lines).encode("utf-8", "surrogateescape")
    if isinstance(baseline, str) and "\n" in baseline:
        return baseline.encode("utf-8", "surrogateescape")
    return baseline


def check(
    baseline: str | _os.PathLike[str] | bytes | _Mapping[str, str | int],
    scd: str | _os.PathLike[str] | Scd,
    *,
    ignore_missing: bool = False,
    skip_malformed: bool = False,
    jobs: int = 0,
) -> CheckResult:
    """Checks the IED CRCs of an SCD (a path or a loaded Scd) against a list
    of approved CRCs (text, CSV or JSON as `ccdcrc all` writes it) as `ccdcrc
    check` does. The list is a path, its bytes, its text (of several lines)
    or a mapping of IED names to CRCs ('3B04FA6D' or 0x3B04FA6D). With
    `ignore_missing` only the IEDs of the list are checked; lines of the list
    that are no entry fail the check unless `skip_malformed`. Raises
    ValueError when the list cannot be used, a LoadError when the SCD cannot
    be loaded."""
    return CheckResult(*_ccdcrc._check(_list_source(baseline), scd, ignore_missing, skip_malformed, jobs))


def diff(
    old: str | _os.PathLike[str] | Scd,
    new: str | _os.PathLike[str] | Scd,
    explain: bool | _Iterable[str] = False,
    *,
    all: bool = False,  # noqa: A002 (the program's option)
    jobs: int = 0,
) -> DiffResult:
    """Compares the IED CRCs of two SCDs (paths or loaded Scd objects) as
    `ccdcrc diff --format json` does. Only the IEDs that differ are listed
    unless `all`. With `explain` (True, or the IED names to explain) each IED
    also has its 'changes'. Raises a LoadError when an SCD cannot be loaded,
    CommandError for an explained name that neither SCD holds."""
    names = None if explain is False else [] if explain is True else list(explain)
    if isinstance(explain, str):
        raise TypeError("explain must be True or an iterable of IED names, not a str")
    text, unknown = _ccdcrc._diff(old, new, names, all, jobs)
    if unknown:
        raise CommandError("".join(f"ccdcrc: {message}\n" for message in unknown), 2)
    return DiffResult(text)


def report(
    old: str | _os.PathLike[str] | Scd,
    new: str | _os.PathLike[str] | Scd,
    format: str = "html",  # noqa: A002 (the program's option)
    *,
    approved: str | _os.PathLike[str] | None = None,
    signoff: bool = True,
    jobs: int = 0,
) -> str:
    """The change report of two SCDs (paths or loaded Scd objects) as `ccdcrc
    diff OLD NEW --format html` (or 'markdown') writes it: what changed, the
    IEDs to test again, and with `approved` (a list of approved CRCs) NEW
    checked against it as `ccdcrc check` does; `signoff` False leaves the
    sign-off block out. Raises a LoadError when an SCD cannot be loaded,
    ValueError for another format, CommandError when the approved list cannot
    be used."""
    if format not in ("html", "markdown"):
        raise ValueError(f"format must be 'html' or 'markdown', not {format!r}")
    text, failure = _ccdcrc._report(old, new, format == "markdown", approved, signoff, jobs)
    if text is None:
        raise CommandError(f"ccdcrc: {failure}\n", 2)
    return text


def _history_result(answer: tuple[str | None, str | None]) -> HistoryResult:
    text, failure = answer
    if text is None:
        raise CommandError(f"ccdcrc: {failure}\n", 2)
    return HistoryResult(text)


def history(
    revisions: _Iterable[str | _os.PathLike[str] | Scd],
    ieds: _Iterable[str] | None = None,
    *,
    by_header: bool = False,
    changed_only: bool = False,
    jobs: int = 2,
    cache: bool = True,
) -> HistoryResult:
    """The history of a station's circuits over its revisions (paths, oldest
    first, or loaded Scd objects) as `ccdcrc history --format json` gives it:
    which IED's CRC changed in which revision. `ieds` keeps those IEDs only;
    `jobs` revisions are read at once; listings of files are kept in the
    program's cache file unless `cache` is False. A revision that cannot be
    read has its 'error'."""
    sources = list(revisions)
    if isinstance(revisions, (str, bytes)) or not sources:
        raise ValueError("history: give a list of revisions, oldest first")
    names = None if ieds is None else list(ieds)
    return _history_result(_ccdcrc._history(sources, None, names, by_header, changed_only, jobs, cache))


def history_git(
    repository: str | _os.PathLike[str],
    path: str,
    revisions: str | None = None,
    ieds: _Iterable[str] | None = None,
    *,
    since: str | None = None,
    until: str | None = None,
    by_header: bool = False,
    changed_only: bool = False,
    jobs: int = 2,
    cache: bool = True,
) -> HistoryResult:
    """The history of `path` (from the repository's top) over the commits of
    `revisions` ("A..B", one revision; None: HEAD) that change it, as
    `ccdcrc history --git REPO PATH --format json`. Raises CommandError when
    there is no repository, no such revision, or no commit changes the path."""
    names = None if ieds is None else list(ieds)
    query = (repository, path, revisions, since, until)
    return _history_result(_ccdcrc._history([], query, names, by_header, changed_only, jobs, cache))


def verify(
    paths: str | _os.PathLike[str] | _Iterable[str | _os.PathLike[str]],
    scd: str | _os.PathLike[str] | Scd | None = None,
) -> VerifyResult:
    """Verifies exported CCD files as `ccdcrc verify --format json` does, with
    status 'ok', 'modified', 'outdated' (against `scd`, a path or a loaded
    Scd) or 'unreadable' (why: in `reasons`). Raises a LoadError when `scd`
    cannot be loaded, ValueError when no file is given."""
    files = [paths] if isinstance(paths, (str, bytes, _os.PathLike)) else list(paths)
    if not files:
        raise ValueError("verify: no CCD file was given; name the files that 'export' wrote")
    text, reasons = _ccdcrc._verify(files, scd)
    return VerifyResult(text, reasons)
