#!/usr/bin/env python3
"""Makes a git repository holding a history of a generated station.

The first commit adds an SCD made by bench/gen_scd.py; each later commit
changes a few IEDs in ways whose effect on the CRCs is known: it adds a data
set and a GOOSE control block to an IED (no other IED subscribes to it),
changes the confRev of such a block, or removes one input of a subscriber.
Some commits change only a description (no CRC changes), one renames the
file. Every commit raises the Header's revision.

What each commit changed is written as JSON (--record): for each commit, in
order, its id and the IEDs whose CRC it changed. The same seed and options
give the same history.
"""

import argparse
import json
import os
import random
import re
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


def git(repo, *args):
    env = dict(os.environ, GIT_AUTHOR_NAME="Station Engineer", GIT_AUTHOR_EMAIL="engineer@example.com",
               GIT_COMMITTER_NAME="Station Engineer", GIT_COMMITTER_EMAIL="engineer@example.com")
    return subprocess.run(["git", "-C", str(repo), *args], check=True, env=env, stdout=subprocess.PIPE,
                          text=True).stdout.strip()


def commit(repo, message, when):
    stamp = f"{when} +0000"
    os.environ["GIT_AUTHOR_DATE"] = stamp
    os.environ["GIT_COMMITTER_DATE"] = stamp
    git(repo, "add", "-A")
    git(repo, "commit", "-q", "-m", message)
    return git(repo, "rev-parse", "HEAD")


def ied_span(text, name):
    """Start and end of the IED element of that name."""
    start = text.index(f'<IED name="{name}"'.encode())
    return start, text.index(b"</IED>", start) + len(b"</IED>")


def add_control_block(text, name, number):
    """A data set of one member and a GOOSE block that sends it, in the IED's first LN0."""
    start, end = ied_span(text, name)
    ied = text[start:end]
    member = re.search(rb"<FCDA [^>]*/>", ied)
    ln0_end = ied.index(b"</LN0>")
    ln0_open = ied.index(b">", ied.index(b"<LN0 ")) + 1
    if member is None or ied.rfind(b"/>", 0, ln0_open) == ln0_open - 2:
        return None
    block = (f'<GSEControl name="hist{number}" datSet="dsHist{number}" confRev="1" type="GOOSE" '
             f'appID="{name}hist{number}"/>').encode()
    data_set = f'<DataSet name="dsHist{number}">'.encode() + member.group(0) + b"</DataSet>"
    ied = ied[:ln0_open] + data_set + ied[ln0_open:ln0_end] + block + ied[ln0_end:]
    return text[:start] + ied + text[end:]


def raise_conf_rev(text, name, number):
    pattern = f'<GSEControl name="hist{number}" datSet="dsHist{number}" confRev="'.encode()
    at = text.index(pattern, ied_span(text, name)[0]) + len(pattern)
    value = int(text[at:text.index(b'"', at)])
    return text[:at] + str(value + 1).encode() + text[at + len(str(value)):]


def revised_header(text, number):
    """The Header's revision set to `number`."""
    header = re.search(rb'<Header [^>]*revision="([^"]*)"', text[:text.index(b"<Header ") + 4096])
    return text[:header.start(1)] + str(number).encode() + text[header.end(1):]


def remove_input(text, name):
    """Removes the first ExtRef of the IED that no other ExtRef of it repeats."""
    start, end = ied_span(text, name)
    refs = re.findall(rb"[ \t]*<ExtRef [^>]*/>\n", text[start:end])
    keys = [re.sub(rb' (intAddr|desc)="[^"]*"', b"", r.strip()) for r in refs]
    for ref, key in zip(refs, keys):
        if keys.count(key) == 1 and len(refs) > 1:
            at = text.index(ref, start)
            return text[:at] + text[at + len(ref):]
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("repo", type=Path, help="the repository to make (a new folder)")
    parser.add_argument("--record", type=Path, required=True, help="where to write what each commit changed (JSON)")
    parser.add_argument("--ieds", type=int, default=12)
    parser.add_argument("--revisions", type=int, default=30)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()

    rng = random.Random(args.seed)
    args.repo.mkdir(parents=True)
    git(args.repo, "init", "-q", "-b", "main")
    path = args.repo / "station.scd"
    subprocess.run([sys.executable, ROOT / "bench/gen_scd.py", "--ieds", str(args.ieds), "--seed", str(args.seed),
                    "--quiet", str(path)], check=True)
    # Bytes, not text: each revision is the one before with a few edits, made
    # without decoding and encoding the whole file again.
    text = path.read_bytes()
    names = [n.decode() for n in re.findall(rb'<IED name="([^"]+)"', text)]
    subscribers = [n for n in names if text.count(b"<ExtRef ", *ied_span(text, n)) > 1]
    text = revised_header(text, 1)
    path.write_bytes(text)
    # The first revision is the one every IED's CRC starts from.
    record = [{"commit": commit(args.repo, "Station as delivered", "2024-01-01T08:00:00"), "changed": []}]
    blocks = []  # (IED, number) of the blocks added
    for number in range(2, args.revisions + 1):
        when = f"2024-01-{1 + number // 2:02d}T{8 + number % 2 * 6:02d}:00:00"
        text = revised_header(text, number)
        changed = set()
        if number % 10 == 5:
            # A description alone: no CRC changes.
            text = text.replace(b' desc="', b' desc="(edited) ', 1)
            what = "Descriptions edited"
        else:
            for _ in range(rng.randint(1, 3)):
                kind = rng.choice(["block", "conf", "input"] if blocks else ["block", "input"])
                if kind == "block":
                    ied = rng.choice(names)
                    revised = add_control_block(text, ied, number * 10 + len(changed))
                    if revised is None:
                        continue
                    blocks.append((ied, number * 10 + len(changed)))
                elif kind == "conf":
                    ied, block = rng.choice(blocks)
                    revised = raise_conf_rev(text, ied, block)
                else:
                    ied = rng.choice(subscribers)
                    revised = remove_input(text, ied)
                    if revised is None:
                        continue
                text = revised
                changed.add(ied)
            what = "Circuits of " + ", ".join(sorted(changed)) + " changed"
        if number == args.revisions // 2:
            # The file moves with this commit's changes: the history follows it.
            (args.repo / "scd").mkdir()
            git(args.repo, "mv", "station.scd", "scd/station.scd")
            path = args.repo / "scd/station.scd"
            what += "; moved to scd/"
        path.write_bytes(text)
        record.append({"commit": commit(args.repo, what, when), "changed": sorted(changed)})
    # A commit that leaves the station alone is no revision of it.
    (args.repo / "README").write_text("Station documents\n")
    commit(args.repo, "Notes", "2024-02-01T08:00:00")
    args.record.write_text(json.dumps({"path": str(path.relative_to(args.repo)), "revisions": record}, indent=1) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
