"""The Python module against the program: the same CRCs, CCDs and files, and
its exceptions. Run by ctest with PYTHONPATH at the build tree's package."""

import json
import os
import pathlib
import subprocess
import sys
import threading
import xml.etree.ElementTree as ElementTree

import pytest

import ccdcrc

ROOT = pathlib.Path(__file__).resolve().parents[2]
PROGRAM = os.environ.get("CCDCRC_PROGRAM", str(ROOT / "build/release/console/ccdcrc"))
DATA = pathlib.Path(os.environ.get("CCDCRC_TEST_DATA", ROOT / "tests/data"))
EXAMPLE = pathlib.Path(os.environ.get("CCDCRC_EXAMPLES", ROOT / "examples")) / "substation.scd"
REVISION = EXAMPLE.parent / "substation_rev2.scd"
CORPUS = pathlib.Path(os.environ.get("CCDCRC_CORPUS", ROOT.parent / "shared/corpus"))
SHIPPED = sorted([*DATA.glob("*.scd"), *EXAMPLE.parent.glob("*.scd")])
PUBLIC = sorted(p for p in CORPUS.glob("*") if p.is_file()) if CORPUS.is_dir() else []
FIXED_TIME = {"SOURCE_DATE_EPOCH": "1700000000"}


def run(*arguments, env=None):
    return subprocess.run([PROGRAM, *map(str, arguments)], capture_output=True, env={**os.environ, **(env or {})})


def as_json_name(name):
    return name.encode("utf-8", "surrogateescape").decode("utf-8", "replace")


@pytest.mark.parametrize("path", SHIPPED + (PUBLIC or [pytest.param(CORPUS, marks=pytest.mark.skip("no corpus"))]),
                         ids=lambda p: p.name)
def test_crcs_are_the_programs(path):
    listed = run("all", path, "--format", "json")
    if listed.returncode != 0:  # what the program cannot load, the module cannot either
        with pytest.raises(ccdcrc.LoadError):
            ccdcrc.load(path)
        return
    expected = json.loads(listed.stdout)
    scd = ccdcrc.load(path, jobs=2)
    assert [(as_json_name(n), c) for n, c in scd.crcs().items()] == [(e["name"], e["crc"]) for e in expected["ieds"]]
    assert scd.scd_crc == expected["scd_crc"]


def test_sources_give_the_same_scd():
    data = EXAMPLE.read_bytes()
    loaded = [ccdcrc.load(s) for s in (str(EXAMPLE), EXAMPLE, data, bytearray(data), memoryview(data))]
    for scd in loaded:
        assert (scd.ieds, scd.crcs(), scd.scd_crc) == (loaded[0].ieds, loaded[0].crcs(), loaded[0].scd_crc)
        assert scd.ccd("MU1101", measured=True) == loaded[0].ccd("MU1101", measured=True)
    assert loaded[0].ieds == ["PL1101", "PT1001", "CL1101", "MU1101", "MU1001", "GW01"]
    assert (loaded[0].path, loaded[2].path) == (str(EXAMPLE), "<memory>")


@pytest.mark.parametrize("make, kind, builtin, line, column", [
    (lambda d: d / "missing.scd", ccdcrc.MissingFileError, FileNotFoundError, None, None),
    (lambda d: d, ccdcrc.DirectoryError, IsADirectoryError, None, None),
    (lambda d: DATA / "malformed/end_tag.scd", ccdcrc.MalformedXmlError, ValueError, 5, 4),
    (lambda d: (d / "empty.scd", (d / "empty.scd").touch())[0], ccdcrc.MalformedXmlError, ValueError, None, None),
    (lambda d: b"<SCL><IED name='a'></SCL>", ccdcrc.MalformedXmlError, ValueError, 1, 22),
    (lambda d: DATA / "cli_not_scl.scd", ccdcrc.NotAnScdError, ValueError, None, None),
    (lambda d: DATA / "cli_scd_and_zip.bin", ccdcrc.PartlyReadError, ValueError, None, None),
], ids=["missing", "directory", "malformed", "empty", "bytes", "not scl", "zip appended"])
def test_load_errors(tmp_path, make, kind, builtin, line, column):
    source = make(tmp_path)
    with pytest.raises(kind) as raised:
        ccdcrc.load(source)
    error = raised.value
    assert isinstance(error, builtin) and isinstance(error, ccdcrc.LoadError)
    path = "<memory>" if isinstance(source, bytes) else str(source)
    assert (error.path, error.line, error.column) == (path, line, column)
    where = path if line is None else f"{path}:{line}:{column}"
    assert str(error) == f"{where}: {error.message}"
    if not isinstance(source, bytes):  # the program's words
        assert run("all", source).stderr.decode() == f"ccdcrc: {error}\n"


REFUSED = (DATA / "refused.txt").read_text().split()


@pytest.mark.parametrize("name", REFUSED)
def test_refuses_what_the_program_refuses_in_its_words(name):
    with pytest.raises(ccdcrc.LoadError) as raised:
        ccdcrc.load(DATA / name)
    assert run("all", DATA / name).stderr.decode() == f"ccdcrc: {raised.value}\n"


def test_an_scd_read_in_part_gives_no_crcs():
    # The program lists its CRCs, but fails: the module gives none.
    path = DATA / "cli_junk_after_zero.scd"
    assert run("all", path).returncode == 2
    for source in (path, path.read_bytes()):
        with pytest.raises(ccdcrc.PartlyReadError, match="read only in part") as raised:
            ccdcrc.load(source)
        assert (raised.value.line, raised.value.column) == (99, 1)


def test_zero_bytes_are_refused_never_cut():
    for source in (f"{EXAMPLE}\0-rev2.scd", pathlib.Path(f"{EXAMPLE}\0-rev2.scd")):
        with pytest.raises(ValueError, match="embedded null byte"):
            ccdcrc.load(source)


@pytest.mark.parametrize("call", [lambda s, n: s.crc(n), lambda s, n: s.ccd(n), lambda s, n: s.ccd(n, measured=True)])
def test_ied_lookup(call):
    scd = ccdcrc.load(EXAMPLE)
    assert call(scd, "GW01") is None  # no circuits
    with pytest.raises(KeyError) as raised:
        call(scd, "PL1110")
    assert (raised.value.args, str(raised.value)) == (("PL1110",), "no IED named 'PL1110'; did you mean 'PL1101'?")
    with pytest.raises(TypeError):
        call(scd, b"PL1101")


@pytest.mark.parametrize("measured", [False, True])
def test_ccd_is_what_the_program_prints(monkeypatch, measured):
    monkeypatch.setenv("SOURCE_DATE_EPOCH", FIXED_TIME["SOURCE_DATE_EPOCH"])
    printed = run("ccd", EXAMPLE, "PL1101", *(["--measured"] if measured else []), env=FIXED_TIME).stdout
    assert ccdcrc.load(EXAMPLE).ccd("PL1101", measured=measured).encode() == printed


@pytest.mark.parametrize("names, written, failed", [
    (None, ["CL1101", "MU1001", "MU1101", "PL1101", "PT1001"], []),
    (["PT1001", "GW01", "NOBODY", "PT1001"], ["PT1001"], [
        {"name": "GW01", "path": None, "message": "IED 'GW01' has no GOOSE or sampled-value circuits, so it has no CRC"},
        {"name": "NOBODY", "path": None, "message": "no IED named 'NOBODY'"}]),
])
def test_export_writes_the_programs_files(tmp_path, monkeypatch, names, written, failed):
    monkeypatch.setenv("SOURCE_DATE_EPOCH", FIXED_TIME["SOURCE_DATE_EPOCH"])
    (tmp_path / "py").mkdir()
    (tmp_path / "program").mkdir()
    report = ccdcrc.load(EXAMPLE).export(tmp_path / "py/", names)
    run("export", EXAMPLE, *(names or ["--all"]), "-o", tmp_path / "program", env=FIXED_TIME)
    crcs = ccdcrc.load(EXAMPLE).crcs()
    assert report["written"] == [{"name": n, "crc": crcs[n], "path": f"{tmp_path}/py/{n}.ccd"} for n in written]
    assert report["failed"] == failed
    for name in written:
        assert (tmp_path / "py" / f"{name}.ccd").read_bytes() == (tmp_path / "program" / f"{name}.ccd").read_bytes()
    with pytest.raises(FileNotFoundError):
        ccdcrc.load(EXAMPLE).export(tmp_path / "missing")


def test_exported_files_declare_their_namespaces(tmp_path):
    # xsi:type is copied from the SCD's addresses: a namespace-aware reader needs its declaration.
    scd = DATA / "pub_golden.scd"
    assert run("export", scd, "--all", "-o", tmp_path, env=FIXED_TIME).returncode == 0
    files = sorted(tmp_path.glob("*.ccd"))
    assert any(b' xsi:type="' in path.read_bytes() for path in files)
    for path in files:
        assert ElementTree.parse(path).getroot().tag == "IED"
        assert run("ccd", scd, path.stem, env=FIXED_TIME).stdout == path.read_bytes()
    verified = run("verify", *files, "--scd", scd)
    assert verified.returncode == 0, verified.stdout + verified.stderr


def test_threads_share_and_run_at_once(tmp_path):
    paths = [EXAMPLE, DATA / "cli_station.scd"]
    expected = [ccdcrc.load(p, jobs=1).crcs() for p in paths]
    shared = ccdcrc.load(EXAMPLE)
    results = {}

    def work(index, path):
        scd = ccdcrc.load(path, jobs=2)
        results[index] = (scd.crcs(), shared.crcs(), len(scd.export(tmp_path / str(index))["written"]))

    threads = []
    for index, path in enumerate(paths):
        (tmp_path / str(index)).mkdir()
        threads.append(threading.Thread(target=work, args=(index, path)))
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert [results[i] for i in range(2)] == [(e, expected[0], len(e)) for e in expected]


@pytest.mark.parametrize("call, arguments", [
    (lambda: ccdcrc.diff(EXAMPLE, REVISION), ["diff", EXAMPLE, REVISION]),
    (lambda: ccdcrc.diff(EXAMPLE, REVISION, all=True, explain=True), ["diff", EXAMPLE, REVISION, "--all", "--explain"]),
    (lambda: ccdcrc.diff(EXAMPLE, REVISION, explain=["PL1101"]), ["diff", EXAMPLE, REVISION, "--explain", "PL1101"]),
    (lambda: ccdcrc.diff(DATA / "report_renamed_member.scd", EXAMPLE), ["diff", DATA / "report_renamed_member.scd", EXAMPLE]),
    (lambda: ccdcrc.diff(EXAMPLE, ccdcrc.load(REVISION), explain=True), ["diff", EXAMPLE, REVISION, "--explain"]),
    (lambda: {"files": ccdcrc.verify(DATA / "pub_golden_PROT1.ccd")}, ["verify", DATA / "pub_golden_PROT1.ccd"]),
    (lambda: {"scd": str(REVISION), "files": ccdcrc.verify([DATA / "cli_hostile.scd"], scd=REVISION)},
     ["verify", DATA / "cli_hostile.scd", "--scd", REVISION]),
], ids=["diff", "all explained", "one explained", "mended binding", "new loaded", "verify", "unreadable"])
def test_diff_and_verify_give_the_programs_json(call, arguments):
    assert call() == json.loads(run(*arguments, "--format", "json").stdout)


def test_report_is_the_programs(monkeypatch):
    monkeypatch.setenv("SOURCE_DATE_EPOCH", FIXED_TIME["SOURCE_DATE_EPOCH"])
    approved = DATA / "approved/station.txt"
    program = run("diff", EXAMPLE, REVISION, "--format", "html", "--approved", approved, env=FIXED_TIME).stdout
    assert ccdcrc.report(EXAMPLE, REVISION, approved=approved).encode() == program
    assert ccdcrc.report(ccdcrc.load(EXAMPLE), REVISION, approved=approved).encode() == program


def test_results_are_the_programs_text_and_take_loaded_scds(tmp_path):
    program = run("diff", EXAMPLE, REVISION, "--explain", "--format", "json").stdout.decode()
    assert ccdcrc.diff(EXAMPLE, REVISION, explain=True).to_json() == program
    loaded = ccdcrc.diff(ccdcrc.load(EXAMPLE), ccdcrc.load(REVISION), explain=True)
    assert loaded.to_json() == program
    missing = tmp_path / "nosuch.ccd"
    verified = ccdcrc.verify([DATA / "pub_golden_PROT1.ccd", missing], scd=ccdcrc.load(EXAMPLE))
    assert verified.to_json() == run("verify", DATA / "pub_golden_PROT1.ccd", missing, "--scd", EXAMPLE,
                                     "--format", "json").stdout.decode()
    assert verified.reasons[str(missing)] == f"{missing}: no such file"
    assert (loaded.ieds[0].status, verified[1].status) == (loaded["ieds"][0]["status"], "unreadable")
    with pytest.raises(ValueError, match="no CCD file was given"):
        ccdcrc.verify([])


APPROVED = DATA / "approved"


@pytest.mark.parametrize("baseline, scd, options, flags", [
    (APPROVED / "station.txt", DATA / "cli_station.scd", {}, []),
    (APPROVED / "bay1.csv", DATA / "cli_station.scd", {"ignore_missing": True}, ["--ignore-missing"]),
    (APPROVED / "malformed.csv", DATA / "cli_station.scd", {}, []),
    (APPROVED / "malformed.csv", DATA / "cli_station.scd", {"skip_malformed": True}, ["--skip-malformed"]),
    (APPROVED / "station.txt", ccdcrc.load(DATA / "cli_station.scd"), {}, []),
    (APPROVED / "damaged-scd.txt", DATA / "cli_station.scd", {}, []),
], ids=["passes", "one bay", "malformed fails", "malformed skipped", "loaded", "damaged scd record"])
def test_check_is_the_programs(baseline, scd, options, flags):
    checked = ccdcrc.check(baseline, scd, **options)
    path = scd.path if isinstance(scd, ccdcrc.Scd) else scd
    program = run("check", baseline, path, "--format", "json", *flags)
    assert checked == json.loads(program.stdout)
    assert checked.passed == (program.returncode == 0)
    assert bool(checked.failures) == (program.returncode == 1)


STATION_LIST = (APPROVED / "station.txt").read_text()


@pytest.mark.parametrize("baseline, p1, failure", [
    (STATION_LIST.encode(), "ok", None),
    (STATION_LIST, "ok", None),
    ({"B2": "6D9E341B", "M1": 0x929A6525, "P1": "6F9C679D"}, "ok", None),
    ({"B2": "6D9E341B", "M1": "929A6525", "P1": 0}, "changed", "1 of 3 IEDs do not match"),
    (STATION_LIST + "junk\n", "ok", "<memory>: 1 line is improperly formatted, so the check fails"),
], ids=["bytes", "text", "mapping", "mapping with a changed CRC", "a line that is no entry"])
def test_check_takes_the_list_itself(baseline, p1, failure):
    checked = ccdcrc.check(baseline, DATA / "cli_station.scd")
    assert checked.baseline == "<memory>"
    assert {ied.name: ied.status for ied in checked.ieds} == {"B2": "ok", "M1": "ok", "P1": p1}
    assert checked.passed == (failure is None)
    assert failure is None or any(failure in text for text in checked.failures)


def test_the_module_shows_only_its_own_names():
    public = {name for name in dir(ccdcrc) if not name.startswith("_")}
    assert public == set(ccdcrc.__all__) - {"__version__"}


def test_check_refuses_a_list_it_cannot_use():
    with pytest.raises(ValueError, match="no-crc-column.csv"):
        ccdcrc.check(APPROVED / "no-crc-column.csv", EXAMPLE)


@pytest.mark.parametrize("packed", ["cli_station.scd.gz", "cli_station.zip"])
@pytest.mark.parametrize("read", [lambda path: path, lambda path: path.read_bytes()], ids=["path", "bytes"])
def test_packed_files_load_as_the_program_reads_them(packed, read):
    assert ccdcrc.load(read(DATA / packed)).crcs() == ccdcrc.load(DATA / "cli_station.scd").crcs()


@pytest.mark.parametrize("call, kind", [
    (lambda: ccdcrc.diff(EXAMPLE, DATA / "missing.scd"), FileNotFoundError),
    (lambda: ccdcrc.diff(DATA / "malformed/end_tag.scd", EXAMPLE), ccdcrc.MalformedXmlError),
    (lambda: ccdcrc.diff(EXAMPLE, EXAMPLE, explain=["NOBODY"]), ccdcrc.CommandError),
    (lambda: ccdcrc.verify(DATA / "pub_golden_PROT1.ccd", scd=DATA / "cli_not_scl.scd"), ccdcrc.NotAnScdError),
], ids=["missing", "malformed", "unknown name", "not scl"])
def test_diff_and_verify_raise(call, kind):
    with pytest.raises(kind):
        call()


@pytest.mark.parametrize("arguments", [["all", EXAMPLE], ["ied", EXAMPLE, "NOBODY"], ["--version"]])
def test_module_runs_the_program(arguments):
    module = subprocess.run([sys.executable, "-m", "ccdcrc", *map(str, arguments)], capture_output=True)
    program = run(*arguments)
    assert (module.returncode, module.stdout, module.stderr) == (program.returncode, program.stdout, program.stderr)


def test_history_is_the_programs_and_takes_loaded_scds(tmp_path):
    revisions = [EXAMPLE, DATA / "report_renamed_member.scd", REVISION]
    program = run("history", *revisions, "--no-cache", "--format", "json").stdout.decode()
    assert ccdcrc.history(revisions, cache=False).to_json() == program
    loaded = ccdcrc.history([ccdcrc.load(path) for path in revisions], cache=False)
    assert loaded.to_json() == program
    assert ccdcrc.history(revisions, ieds=["PL1101"], cache=False) == json.loads(
        run("history", *revisions, "--no-cache", "--format", "json", "--", "PL1101").stdout)
    repository = tmp_path / "repo"
    subprocess.run(["git", "init", "-q", str(repository)], check=True)
    (repository / "station.scd").write_bytes(EXAMPLE.read_bytes())
    subprocess.run(["git", "-C", str(repository), "add", "station.scd"], check=True)
    subprocess.run(["git", "-C", str(repository), "-c", "user.name=E", "-c", "user.email=e@example.com", "commit",
                    "-q", "-m", "Delivered"], check=True)
    if not ccdcrc._ccdcrc._reads_git():
        return
    history = ccdcrc.history_git(repository, "station.scd", cache=False)
    assert [r.subject for r in history.revisions] == ["Delivered"]
    with pytest.raises(ccdcrc.CommandError, match="no commit of HEAD changes 'README'"):
        ccdcrc.history_git(repository, "README", cache=False)
