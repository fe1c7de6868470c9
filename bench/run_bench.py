#!/usr/bin/env python3
"""Benchmark of ccdcrc on generated SCDs of several sizes.

For each size it generates (once, cached) an SCD with bench/gen_scd.py and
measures, side by side on this machine: a process that only loads the file
with pugixml (bench_load: load_file with parse_full), the same load with
glibc's malloc asking for large pages (GLIBC_TUNABLES=glibc.malloc.hugetlb=1,
the tuned load: far fewer page faults, which are most of a plain load's time
where the kernel is slow to clear fresh pages), then
`ccdcrc all` (one thread and all cores), `ccdcrc ied` for one IED,
`ccdcrc export --all` (all cores) and `ccdcrc diff` of the SCD and a revision of it (one
control block's data set renamed), each with its ratios to the plain and to
the tuned load time, and peak memory. The default sizes end with 600 IEDs
(about 250 MB); --sizes 40,150,300 leaves that one out.
Every figure is the median of --runs runs, the commands taking turns.

A second table measures shapes whose lookups once grew with the square of
their size (--instance-members, 0 leaves it out): a data set of that many
members that differ only in lnInst, each bound by an input (`all`), and the
change report of the station against itself, which places every one of its
unnamed members by its path (`diff --format html`).
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
SIZES = [40, 150, 300, 600]
# glibc's malloc (2.35 on) maps its memory in large pages.
LARGE_PAGES = "GLIBC_TUNABLES=glibc.malloc.hugetlb=1"


def run(command):
    """Runs a command; returns (seconds, peak resident MB, stdout)."""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    output = process.stdout.read()
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode not in (0, 1):
        sys.exit(f"failed ({process.returncode}): {' '.join(map(str, command))}")
    return elapsed, usage.ru_maxrss / 1024.0, output.decode()


def revision_of(scd, revised):
    """Writes a copy of the SCD in which the first control block sends
    another data set: the CRCs of its publisher and subscribers change."""
    with open(scd, "rb") as source:
        text = source.read()
    with open(revised, "wb") as target:
        target.write(text.replace(b'datSet="', b'datSet="X', 1))


def median_runs(commands, runs):
    """Runs the commands in turn, `runs` rounds, so that a slower or faster
    spell of the machine falls on all of them alike; per command the median
    seconds, the highest peak and the first output."""
    results = {name: [] for name in commands}
    for _ in range(runs):
        for name, command in commands.items():
            if callable(command):
                command = command()
            results[name].append(run(command))
    return {name: (statistics.median(r[0] for r in rs), max(r[1] for r in rs), rs[0][2])
            for name, rs in results.items()}


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=ROOT / "build/release", type=Path, help="build tree (default build/release)")
    parser.add_argument("--data", default=ROOT / "build/bench-data", type=Path, help="where generated SCDs are kept")
    parser.add_argument("--sizes", default=",".join(map(str, SIZES)), help="IED counts (default 40,150,300,600)")
    parser.add_argument("--runs", type=int, default=3, help="runs per measurement (median)")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--instance-members", type=int, default=40000,
                        help="members of the data set of the second table (default 40000; 0: no second table)")
    parser.add_argument("--baseline", type=Path,
                        help="another build tree (say, of the last release) measured in the same rounds, a row of its own")
    args = parser.parse_args()

    builds = {"": args.build}
    if args.baseline:
        builds = {"baseline ": args.baseline, "this ": args.build}
    loader = args.build / "bench/bench_load"
    args.data.mkdir(parents=True, exist_ok=True)
    jobs = os.cpu_count() or 1

    header = (f"| IEDs | MB | load s | tuned load s | all -j1 s (x, x tuned) | all -j{jobs} s (x, x tuned) "
              f"| ied s (x, x tuned) | export --all -j{jobs} s (x, x tuned) | diff -j{jobs} s (x, x tuned) "
              f"| MB/s all -j1 | peak MB load | peak MB all -j1 (x) | peak MB diff (x) |")
    print(header)
    print("|---" * (header.count("|") - 1) + "|")
    for ieds in (int(s) for s in args.sizes.split(",")):
        scd = args.data / f"station-{ieds}-seed{args.seed}.scd"
        if not scd.exists():
            subprocess.run([sys.executable, ROOT / "bench/gen_scd.py", "--ieds", str(ieds), "--seed", str(args.seed),
                            "--odd", str(scd)], check=True, stdout=subprocess.DEVNULL)
        revised = args.data / f"station-{ieds}-seed{args.seed}-revised.scd"
        if not revised.exists():
            revision_of(scd, revised)
        megabytes = scd.stat().st_size / 1e6
        # The whole process, like the ccdcrc runs it is compared with: start, load, free, exit.
        listing = run([args.build / "console/ccdcrc", "all", "--jobs", "1", "--quiet", scd])[2]
        first_ied = listing.split()[0]
        with tempfile.TemporaryDirectory() as out:
            commands = {"load": [loader, scd], "tuned": ["env", LARGE_PAGES, loader, scd]}
            for label, build in builds.items():
                program = build / "console/ccdcrc"

                def export_command(program=program):
                    # Every export writes into an empty directory.
                    return [program, "export", "--quiet", scd, "--all", "-o", tempfile.mkdtemp(dir=out)]
                commands.update({
                    label + "all1": [program, "all", "--jobs", "1", "--quiet", scd],
                    label + "alln": [program, "all", "--quiet", scd],
                    label + "ied": [program, "ied", scd, first_ied],
                    label + "export": export_command,
                    label + "diff": [program, "diff", "--quiet", scd, revised],
                })
            measured = median_runs(commands, args.runs)
        load, load_peak, _ = measured["load"]
        tuned = measured["tuned"][0]

        def timed(seconds, load=load, tuned=tuned):
            return f"{seconds:.2f} ({seconds / load:.2f}, {seconds / tuned:.2f})"
        for label in builds:
            all1, all1_peak, _ = measured[label + "all1"]
            alln = measured[label + "alln"][0]
            ied = measured[label + "ied"][0]
            export = measured[label + "export"][0]
            diff, diff_peak, _ = measured[label + "diff"]
            print(f"| {label}{ieds} | {megabytes:.0f} | {load:.2f} | {tuned:.2f} | {timed(all1)} | {timed(alln)} "
                  f"| {timed(ied)} | {timed(export)} | {timed(diff)} | {megabytes / all1:.0f} | {load_peak:.0f} "
                  f"| {all1_peak:.0f} ({all1_peak / load_peak:.2f}) | {diff_peak:.0f} ({diff_peak / load_peak:.2f}) |",
                  flush=True)
    if args.instance_members > 0:
        measure_shapes(args, builds)


def measure_shapes(args, builds):
    """The second table: `all` and `diff --format html` on a station with a data set of members told apart by
    lnInst alone."""
    members = args.instance_members
    scd = args.data / f"instances-{members}-seed{args.seed}.scd"
    if not scd.exists():
        subprocess.run([sys.executable, ROOT / "bench/gen_scd.py", "--ieds", "4", "--instance-members", str(members),
                        "--seed", str(args.seed), scd], check=True, stdout=subprocess.DEVNULL)
    print()
    print(f"| shape ({scd.stat().st_size / 1e6:.0f} MB) | s | peak MB |")
    print("|---|---|---|")
    with tempfile.TemporaryDirectory() as out:
        report = Path(out) / "report.html"
        commands = {}
        for label, build in builds.items():
            program = build / "console/ccdcrc"
            commands[f"{label}all: {members} inputs bound to members told apart by lnInst"] = [
                program, "all", "--quiet", scd]
            commands[f"{label}diff --format html: {members} unnamed members placed"] = [
                program, "diff", "--format", "html", "-o", report, scd, scd]
        for name, (seconds, peak, _) in median_runs(commands, args.runs).items():
            print(f"| {name} | {seconds:.2f} | {peak:.0f} |", flush=True)


if __name__ == "__main__":
    main()
