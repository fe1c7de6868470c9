"""`python3 -m ccdcrc ARGS...`: runs the ccdcrc program with these arguments."""

import os
import sys

from ccdcrc._program import program_path


def main() -> None:
    program = program_path()
    if program is None:
        sys.exit("ccdcrc: the ccdcrc program is neither beside this package nor on PATH")
    os.execv(program, [program, *sys.argv[1:]])


if __name__ == "__main__":
    main()
