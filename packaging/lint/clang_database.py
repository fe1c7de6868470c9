#!/usr/bin/env python3
"""The compile database of a cross-compiled tree, as Debian's clang-tidy
reads it: TREE/compile_commands.json rewritten into TREE/clang-tidy/.

  clang_database.py windows TREE   MinGW-w64's g++: clang for its target, with
                                   g++'s C++ headers (clang finds MinGW's C
                                   headers itself, and has its own builtins)
  clang_database.py web TREE       Emscripten's em++: clang with the flags
                                   em++ gives it (target, sysroot, macros)

Flags that clang does not know are left out; they change no finding. Prints
the folder of the new database.
"""

import json
import os
import re
import shlex
import subprocess
import sys

# g++ flags without a clang counterpart, and em++'s flags for its LLVM passes.
DROPPED = {"-fno-keep-inline-dllexport"}
DROPPED_WITH_VALUE = {"-mllvm"}


def output_of(*command):
    done = subprocess.run(command, capture_output=True, text=True, check=True)
    return done.stdout + done.stderr


def mingw_flags(compiler):
    searched = re.search(r"#include <\.\.\.> search starts here:\n(.*?)End of search list",
                         output_of(compiler, "-v", "-E", "-x", "c++", os.devnull), re.S)
    cxx_headers = [path for path in searched.group(1).split() if "/c++" in path]
    triple = os.path.basename(compiler).rsplit("-", 2)[0]
    flags = [f"--target={triple}", "-nostdinc++"]
    for path in cxx_headers:
        flags += ["-isystem", path]
    return flags


def emscripten_flags(compiler):
    return shlex.split(output_of(compiler, "--cflags"))


def kept(arguments):
    result, skip = [], False
    for argument in arguments:
        if skip:
            skip = False
        elif argument in DROPPED_WITH_VALUE:
            skip = True
        elif argument not in DROPPED:
            result.append(argument)
    return result


def main(kind, tree):
    # The C++ sources alone (not the resource script, not C).
    entries = [entry for entry in json.load(open(os.path.join(tree, "compile_commands.json")))
               if entry["file"].endswith((".cpp", ".cc"))]
    flags = {}
    for entry in entries:
        arguments = entry.pop("arguments", None) or shlex.split(entry.pop("command"))
        compiler = arguments[0]
        if compiler not in flags:
            flags[compiler] = mingw_flags(compiler) if kind == "windows" else emscripten_flags(compiler)
        entry["arguments"] = ["clang++"] + kept(flags[compiler]) + kept(arguments[1:])
    folder = os.path.join(tree, "clang-tidy")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "compile_commands.json"), "w") as file:
        json.dump(entries, file, indent=1)
    print(folder)


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in ("windows", "web"):
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
