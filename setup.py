"""Builds the wheel's compiled parts with CMake: the extension ccdcrc._ccdcrc
for the interpreter that runs the build, and the ccdcrc program, which the
wheel carries as ccdcrc/bin/ccdcrc for `python3 -m ccdcrc` and the `ccdcrc`
command. CCDCRC_CMAKE_BUILD_DIR names a CMake tree to keep between builds;
ccache is used when it is installed."""

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext
from setuptools.command.build_py import build_py

SOURCE = Path(__file__).resolve().parent
# Where the program lies, relative to the package (python/ccdcrc/_program.py.in).
PROGRAM = "bin/ccdcrc"


def project_version() -> str:
    text = (SOURCE / "CMakeLists.txt").read_text(encoding="utf-8")
    return re.search(r"project\(ccdcrc VERSION ([0-9.]+)", text).group(1)


class BuildPy(build_py):
    def run(self) -> None:
        super().run()
        template = (SOURCE / "python/ccdcrc/_program.py.in").read_text(encoding="utf-8")
        target = Path(self.build_lib) / "ccdcrc/_program.py"
        target.write_text(template.replace("@CCDCRC_PYTHON_PROGRAM@", PROGRAM), encoding="utf-8")


class CMakeBuild(build_ext):
    def build_extension(self, ext: Extension) -> None:
        tree = Path(os.environ.get("CCDCRC_CMAKE_BUILD_DIR") or Path(self.build_temp).resolve() / "cmake")
        configure = ["cmake", "-S", str(SOURCE), "-B", str(tree), "-DCMAKE_BUILD_TYPE=Release",
                     "-DCCDCRC_TESTS=OFF", "-DCCDCRC_BENCH=OFF", "-DCCDCRC_INSTALL=OFF", "-DCCDCRC_PYTHON=ON",
                     f"-DPython3_EXECUTABLE={sys.executable}"]
        if shutil.which("ninja"):
            configure += ["-G", "Ninja"]
        environment = dict(os.environ)
        if shutil.which("ccache"):
            configure += ["-DCMAKE_C_COMPILER_LAUNCHER=ccache", "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"]
            environment.setdefault("CCACHE_BASEDIR", str(SOURCE))
            environment.setdefault("CCACHE_NOHASHDIR", "1")
        subprocess.run(configure, check=True, env=environment, stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", str(tree), "-j", str(os.cpu_count() or 2), "--target", "ccdcrc_python",
                        "ccdcrc_console"], check=True, env=environment)
        extension = next((tree / "python/ccdcrc").glob("_ccdcrc*.so"))
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(extension, target)
        program = target.parent / PROGRAM
        program.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(tree / "console/ccdcrc", program)
        program.chmod(0o755)
        for binary in (target, program):
            subprocess.run(["strip", "--strip-unneeded", str(binary)], check=False)


setup(
    version=project_version(),
    ext_modules=[Extension("ccdcrc._ccdcrc", sources=[])],
    cmdclass={"build_ext": CMakeBuild, "build_py": BuildPy},
)
