"""Builds the wheel's compiled parts with CMake: the extension ccdcrc._ccdcrc
for the interpreter that runs the build, and the ccdcrc program, which the
wheel carries as ccdcrc/bin/ccdcrc for `python3 -m ccdcrc` and the `ccdcrc`
command. CCDCRC_CMAKE_BUILD_DIR names a CMake tree to keep between builds (and
setuptools' own build folder goes into it); ccache is used when it is
installed.

CCDCRC_STATIC_PREFIX names the prefix of packaging/deps/linux.sh (./dev dist):
the extension and the program then link every library but glibc and the C++
runtime statically, and the wheel is tagged manylinux for the glibc it is
built with, the oldest it runs on."""

import os
import platform
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
CMAKE_TREE = os.environ.get("CCDCRC_CMAKE_BUILD_DIR")
STATIC_PREFIX = os.environ.get("CCDCRC_STATIC_PREFIX")


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
        tree = Path(CMAKE_TREE or Path(self.build_temp).resolve() / "cmake")
        # Every option every time: a tree kept keeps what it was given before.
        configure = ["cmake", "-S", str(SOURCE), "-B", str(tree), "-DCMAKE_BUILD_TYPE=Release",
                     "-DCCDCRC_TESTS=OFF", "-DCCDCRC_BENCH=OFF", "-DCCDCRC_INSTALL=OFF", "-DCCDCRC_PYTHON=ON",
                     f"-DPython3_EXECUTABLE={sys.executable}",
                     f"-DCCDCRC_STATIC_LIBRARIES={'ON' if STATIC_PREFIX else 'OFF'}",
                     # libgit2 needs libraries that Debian has no static archive of: the
                     # self-contained wheel reads the revisions of history as files.
                     f"-DCCDCRC_GIT={'OFF' if STATIC_PREFIX else 'ON'}",
                     f"-DCMAKE_PREFIX_PATH={STATIC_PREFIX or ''}"]
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


commands = {"build_ext": CMakeBuild, "build_py": BuildPy}
if STATIC_PREFIX:
    from wheel.bdist_wheel import bdist_wheel

    class ManylinuxWheel(bdist_wheel):
        """Tagged manylinux_X_Y: it needs glibc X.Y (the build's) or later."""

        def finalize_options(self) -> None:
            super().finalize_options()
            glibc = os.confstr("CS_GNU_LIBC_VERSION").split()[1].split(".")
            self.plat_name = f"manylinux_{glibc[0]}_{glibc[1]}_{platform.machine()}"
            self.plat_name_supplied = True

    commands["bdist_wheel"] = ManylinuxWheel

setup(
    version=project_version(),
    ext_modules=[Extension("ccdcrc._ccdcrc", sources=[])],
    cmdclass=commands,
    options={"build": {"build_base": str(Path(CMAKE_TREE) / "setuptools")}} if CMAKE_TREE else {},
)
