"""Builds the module's wheel. The camera library goes beside the module when there is one to
take: the file IMVELA_LIBRARY names, else the library of this checkout's native build
(build/native/bin). Without one, the module loads the library installed on the loader's path
(the Debian package, or cmake --install into /usr or /usr/local)."""

import os
import shutil
from pathlib import Path

from setuptools import setup
from setuptools.command.build_py import build_py
from setuptools.dist import Distribution

SONAME = "libImvelaSdk_M52_ZKR.so.1"


def built_library():
    named = os.environ.get("IMVELA_LIBRARY")
    if named:
        if not Path(named).is_file():
            raise SystemExit(f"IMVELA_LIBRARY names no file: {named}")
        return Path(named)
    checkout = Path(__file__).resolve().parent.parent / "build" / "native" / "bin" / SONAME
    return checkout if checkout.is_file() else None


LIBRARY = built_library()


class BuildWithLibrary(build_py):
    def run(self):
        super().run()
        if LIBRARY is not None:
            # The file itself, not a link to it, under the name the module loads.
            shutil.copyfile(LIBRARY.resolve(), Path(self.build_lib) / "imvela" / SONAME)


class LibraryDistribution(Distribution):
    def has_ext_modules(self):
        return LIBRARY is not None  # a wheel for this platform when it carries the library


setup(cmdclass={"build_py": BuildWithLibrary}, distclass=LibraryDistribution)
