#!/usr/bin/env python3
"""`history --git` over a generated repository names exactly the commits and
IEDs that bench/git_history.py changed; `history` over the same revisions
exported as files agrees; a second run reads nothing again and prints the
same bytes. Usage: history_git_test.py PROGRAM SOURCE_DIR"""

import json
import os
import subprocess
import sys
import tempfile
import zlib
from pathlib import Path


def run(program, args, env):
    done = subprocess.run([program, *args], capture_output=True, env=env)
    if done.returncode != 0:
        sys.exit(f"{' '.join(map(str, args))}: exit {done.returncode}\n{done.stderr.decode()}")
    return done.stdout, done.stderr.decode()


def changes(revision):
    return sorted(change["name"] for change in revision["changes"])


def main():
    program, source = sys.argv[1], Path(sys.argv[2])
    with tempfile.TemporaryDirectory() as work:
        work = Path(work)
        repo, record_path = work / "repo", work / "record.json"
        subprocess.run([sys.executable, source / "bench/git_history.py", repo, "--record", record_path,
                        "--revisions", "30", "--ieds", "12", "--seed", "7"], check=True)
        record = json.loads(record_path.read_text())
        env = dict(os.environ, XDG_CACHE_HOME=str(work / "cache"))
        first, told = run(program, ["history", "--git", repo, record["path"], "-f", "json", "-v"], env)
        history = json.loads(first)
        commits = [revision["commit"] for revision in history["revisions"]]
        assert commits == [r["commit"] for r in record["revisions"]], (commits, record)
        assert history["revisions"][0]["first"]
        for got, made in zip(history["revisions"][1:], record["revisions"][1:]):
            assert changes(got) == made["changed"], (got["name"], changes(got), made["changed"])
        assert "30 read" in told, told

        again, told = run(program, ["history", "--git", repo, record["path"], "-f", "json", "-v"], env)
        assert again == first, "a second run printed other bytes"
        assert "0 read, 30 known already" in told, told

        files = []
        for revision in history["revisions"]:
            blob = subprocess.run(["git", "-C", repo, "show", f"{revision['commit']}:{revision['path']}"],
                                  check=True, capture_output=True).stdout
            files.append(work / f"revision-{revision['number']:02d}.scd")
            files[-1].write_bytes(blob)
        as_files = json.loads(run(program, ["history", *files, "-f", "json", "--no-cache"], env)[0])
        for got, expected in zip(as_files["revisions"], history["revisions"]):
            assert got["changes"] == expected["changes"] and got["scd_crc"] == expected["scd_crc"], got["name"]

        changed = json.loads(run(program, ["history", "--git", repo, record["path"], "-f", "json",
                                           "--changed-only"], env)[0])
        kept = [r["commit"] for r in record["revisions"] if r["changed"] or r is record["revisions"][0]]
        assert [r["commit"] for r in changed["revisions"]] == kept

        # A loose blob whose content no longer matches its id is read as no revision at all.
        last = history["revisions"][-1]
        blob_id = subprocess.run(["git", "-C", repo, "rev-parse", f"{last['commit']}:{last['path']}"], check=True,
                                 capture_output=True, text=True).stdout.strip()
        loose = repo / ".git/objects" / blob_id[:2] / blob_id[2:]
        content = zlib.decompress(loose.read_bytes()).replace(b'revision="', b'revision="X', 1)
        loose.chmod(0o644)
        loose.write_bytes(zlib.compress(content))
        done = subprocess.run([program, "history", "--git", repo, record["path"], "--no-cache"], capture_output=True)
        assert done.returncode != 0 and b"does not match its id" in done.stdout + done.stderr, done
    print("history --git: 30 revisions as recorded; files agree; the cache answers the second run")


if __name__ == "__main__":
    main()
