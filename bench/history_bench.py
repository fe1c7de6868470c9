#!/usr/bin/env python3
"""Benchmark of `ccdcrc history` against one `ccdcrc all` per revision.

It makes (once, kept in --data) a git repository of --revisions revisions of
a generated station (bench/git_history.py), exports each revision's file,
and measures side by side on this machine: `history --git` and `history`
over the exported files (the first into an empty cache, which it fills, the
second without one), the first again answered by the cache, and `all` run once
per revision, one after the other. For each: wall time, CPU time (on a machine
that other work shares, the steadier of the two) and peak memory, the peak
also against one `all` (a document).
"""

import argparse
import json
import os
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


def run(command, env=None):
    """Runs a command; returns (wall seconds, CPU seconds, peak resident MB)."""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"failed: {' '.join(map(str, command))}")
    return elapsed, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024.0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=ROOT / "build/release", type=Path, help="build tree (default build/release)")
    parser.add_argument("--data", default=ROOT / "build/bench", type=Path,
                        help="where the history is kept, one folder per size, count and seed (default build/bench)")
    parser.add_argument("--ieds", type=int, default=300, help="IEDs of the station (300: about 125 MB)")
    parser.add_argument("--revisions", type=int, default=50)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()

    program = args.build / "console/ccdcrc"
    base = args.data / f"history-{args.ieds}-{args.revisions}-seed{args.seed}"
    repo, record_path, files = base / "repo", base / "record.json", base / "files"
    if not record_path.exists():
        subprocess.run(["rm", "-rf", base], check=True)
        base.mkdir(parents=True)
        subprocess.run([sys.executable, ROOT / "bench/git_history.py", repo, "--record", record_path, "--ieds",
                        str(args.ieds), "--revisions", str(args.revisions), "--seed", str(args.seed)], check=True)
    record = json.loads(record_path.read_text())
    if not files.exists():
        files.mkdir()
        listing = subprocess.run([program, "history", "--git", repo, record["path"], "--no-cache", "-f", "json"],
                                 check=True, capture_output=True).stdout
        for revision in json.loads(listing)["revisions"]:
            with open(files / f"{revision['number']:03d}.scd", "wb") as out:
                subprocess.run(["git", "-C", repo, "show", f"{revision['commit']}:{revision['path']}"], check=True,
                               stdout=out)
    paths = sorted(files.iterdir())
    megabytes = paths[-1].stat().st_size / 1e6

    with tempfile.TemporaryDirectory() as cache:
        env = dict(os.environ, XDG_CACHE_HOME=cache)
        git_form = [program, "history", "-q", "--git", repo, record["path"]]
        measured = {
            "history --git (fills the cache)": run(git_form, env),
            "history FILES": run([program, "history", "-q", "--no-cache", *paths], env),
            "history --git, cached": run(git_form, env),
        }
        each = [run([program, "all", "-q", path], env) for path in paths]
        measured[f"{len(paths)} x all"] = (sum(w for w, _, _ in each), sum(c for _, c, _ in each),
                                           max(p for _, _, p in each))
    document = max(p for _, _, p in each)
    print(f"{len(paths)} revisions of {args.ieds} IEDs ({megabytes:.0f} MB), {os.cpu_count()} cores\n")
    print("| run | wall s | CPU s | peak MB | peak / one all |")
    print("|---|---|---|---|---|")
    for name, (seconds, cpu, peak) in measured.items():
        print(f"| {name} | {seconds:.1f} | {cpu:.1f} | {peak:.0f} | {peak / document:.2f} |")


if __name__ == "__main__":
    main()
