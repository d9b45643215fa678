"""Builds the module _engine with CMake (the build/native configuration, Release) and puts it
into the package trapezoid beside python/trapezoid's files."""

import os
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = os.path.dirname(os.path.abspath(__file__))


class CMakeBuild(build_ext):
    def build_extension(self, extension):
        build = os.path.join(self.build_temp, "cmake")
        subprocess.run(["cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                        "-DPython_EXECUTABLE=" + sys.executable], check=True)
        subprocess.run(["cmake", "--build", build, "--target", "trapezoid_python", "-j2"],
                       check=True)
        built = os.path.join(build, "python", "trapezoid", os.path.basename(
            self.get_ext_filename(extension.name)))
        target = self.get_ext_fullpath(extension.name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(built, target)


setup(
    version=open(os.path.join(ROOT, "VERSION")).read().strip(),
    packages=["trapezoid"],
    package_dir={"": "python"},
    package_data={"trapezoid": ["__init__.pyi", "py.typed"]},
    ext_modules=[Extension("trapezoid._engine", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
)
