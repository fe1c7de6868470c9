#!/usr/bin/env python3
"""One home for each rule: what ARCHITECTURE.md's "Where each rule lives"
names as a rule's file, and a search can find, is written there and nowhere
else in src/, console/, python/ and web/ (comments aside).

Run from the repository's root (./dev lint does); prints each line found
outside its home and exits 1 when there is one.
"""

import fnmatch
import re
import subprocess
import sys

# (what, pattern, the files where it may stand)
HOMES = [
    ("a name that depends on the control block kind",
     r'"(GSEControl|SampledValueControl|GSE|SMV|GOCBref|SMVCBref|GOOSEPUB|GOOSESUB|SVPUB|SVSUB|GOCB|SVCB)"'
     r'|LLN0\$(GO|MS)\$',
     ["src/scd/control_block_kind.h", "src/scd/queries.*"]),
    ("the name of an SCD's root", r'"(</?|/)?SCL\b',
     ["src/scd/scl_root.h", "src/scd/queries.*"]),
    ("a status word of check, verify or diff",
     r'"(unchanged|changed|added|removed|gained|lost|modified|outdated|unreadable|missing)"',
     ["src/approvals/approval_check.*", "src/operations/comparison.cpp", "src/operations/verification.cpp"]),
    ("the sentence of a list's malformed lines", r"improperly formatted|so the check fails|and not checked",
     ["src/report/check_report.cpp"]),
    ("the export summary", r"IEDs not exported", ["src/workflows/export_workflow.cpp"]),
    ("the time of the CRC element", r"SOURCE_DATE_EPOCH", ["src/operations/export.cpp"]),
    ("a gzip or zip signature", r"\\x1[fF]\\x8[bB]|PK\\x0[3578]", ["src/xml/packing.h"]),
    ("a colour", r"\\033\[[0-9;]*m", ["console/colour.cpp"]),
    ("a branch or header of one system",
     r"_WIN32|#\s*include\s*<(windows|io|malloc|unistd|fcntl|poll|dirent|bcrypt|shellapi)\.h>|#\s*include\s*<sys/",
     ["src/system/*", "console/main.cpp"]),
    ("SHA-256", r"SHA256_|BCrypt|<openssl/", ["src/system/digest_*"]),
    ("mapped memory and the heap's tuning", r"\b(mmap|mremap|munmap|madvise|mallopt)\b", ["src/system/memory_*"]),
    ("calendar time", r"\b(gmtime|localtime)(_r|_s)?\b", ["src/system/clock_*"]),
    ("descriptor and path limits", r"\b(getrlimit|RLIMIT_NOFILE|PATH_MAX|MAX_PATH)\b", ["src/system/files_*"]),
    ("how a file reaches the disk", r"\b(O_TMPFILE|flock|fsync|renameat|MoveFileExW|FlushFileBuffers)\b",
     ["src/system/temporary_file_*"]),
    ("a thread started", r"std::thread(?!::hardware_concurrency)\b", ["src/util/parallel.h"]),
    ("the page's Content-Security-Policy", r"Content-Security-Policy", ["web/assemble.js", "web/page.html"]),
]

FOLDERS = ["src", "console", "python", "web"]
COMMENT = re.compile(r"^\s*(//|#(?!\s*include)|\*|/\*)")


def tracked_files():
    listed = subprocess.run(["git", "ls-files", "-z", "--", *FOLDERS], check=True, capture_output=True).stdout
    return [name for name in listed.decode().split("\0")
            if name.endswith((".cpp", ".h", ".py", ".js", ".html"))]


def main():
    found = 0
    rules = [(what, re.compile(pattern), homes) for what, pattern, homes in HOMES]
    for path in tracked_files():
        with open(path, encoding="utf-8") as source:
            lines = source.read().splitlines()
        for number, line in enumerate(lines, 1):
            if COMMENT.match(line):
                continue
            for what, pattern, homes in rules:
                if pattern.search(line) and not any(fnmatch.fnmatch(path, home) for home in homes):
                    print(f"{path}:{number}: {what} outside {', '.join(homes)}: {line.strip()}")
                    found += 1
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
