# Types of the native part of the package, for type checkers and editors.
import os
from collections.abc import Iterable
from typing import TypedDict

__version__: str

class WrittenCcd(TypedDict):
    name: str
    crc: str
    path: str

class FailedCcd(TypedDict):
    name: str
    path: str | None  # None when the failure concerns the SCD, not a file
    message: str

class ExportReport(TypedDict):
    written: list[WrittenCcd]
    failed: list[FailedCcd]

class Scd:
    @property
    def path(self) -> str: ...
    @property
    def ieds(self) -> list[str]: ...
    def crcs(self) -> dict[str, str]: ...
    @property
    def scd_crc(self) -> str: ...
    @property
    def header(self) -> dict[str, str | None]: ...
    @property
    def sha256(self) -> str: ...
    def broken_bindings(self) -> list[dict[str, str]]: ...
    def crc(self, name: str) -> str | None: ...
    def ccd(self, name: str, measured: bool = False) -> str | None: ...
    def export(self, directory: str | os.PathLike[str], names: Iterable[str] | None = None) -> ExportReport: ...

def load(source: str | os.PathLike[str] | bytes | bytearray | memoryview, jobs: int = 0) -> Scd: ...
def _diff(
    old: str | os.PathLike[str] | Scd,
    new: str | os.PathLike[str] | Scd,
    explain: list[str] | None,
    every_ied: bool,
    jobs: int,
) -> tuple[str, list[str]]: ...
def _history(
    sources: list[str | os.PathLike[str] | Scd],
    git: tuple[str | os.PathLike[str], str, str | None, str | None, str | None] | None,
    ieds: list[str] | None,
    by_header: bool,
    changed_only: bool,
    documents: int,
    cache: bool,
) -> tuple[str | None, str | None]: ...
def _reads_git() -> bool: ...
def _report(
    old: str | os.PathLike[str] | Scd,
    new: str | os.PathLike[str] | Scd,
    markdown: bool,
    approved: str | os.PathLike[str] | None,
    signoff: bool,
    jobs: int,
) -> tuple[str | None, str | None]: ...
def _verify(paths: list[str | os.PathLike[str]], scd: str | os.PathLike[str] | Scd | None) -> tuple[str, list[str | None]]: ...
def _check(
    baseline: str | os.PathLike[str] | bytes,
    scd: str | os.PathLike[str] | Scd,
    ignore_missing: bool,
    skip_malformed: bool,
    jobs: int,
) -> tuple[str, list[str], list[str], bool]: ...
