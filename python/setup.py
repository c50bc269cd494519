"""The torvan package, built from this checkout.

The extension compiles the library's own sources in ../src (model, engine,
report) together with the binding, so there is one copy of the C++ code.
Everything comes from Debian's packages and nothing is downloaded:

    /usr/bin/python3 -m pip install --no-build-isolation ./python

needs g++ (C++20), pybind11-dev, libgsl-dev, nlohmann-json3-dev, libeigen3-dev
and pkg-config, and numpy and pandas where the package is installed.
"""

import pathlib
import re
import shlex
import subprocess

from setuptools import Extension, setup

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent
VERSION = re.search(r"project\(torvan VERSION ([0-9.]+)", (ROOT / "CMakeLists.txt").read_text())[1]


def gsl_flags(which):
    """GSL's compiler or linker flags, from pkg-config or else gsl-config."""
    for command in (["pkg-config", f"--{which}", "gsl"], ["gsl-config", f"--{which}"]):
        try:
            return shlex.split(subprocess.check_output(command, text=True))
        except (OSError, subprocess.CalledProcessError):
            continue
    raise SystemExit("GSL not found: install libgsl-dev (and pkg-config)")


def eigen_dirs():
    """Eigen's headers (torvan design's linear algebra), from pkg-config eigen3."""
    try:
        flags = shlex.split(subprocess.check_output(["pkg-config", "--cflags", "eigen3"], text=True))
        return [f[2:] for f in flags if f.startswith("-I")]
    except (OSError, subprocess.CalledProcessError):
        return ["/usr/include/eigen3"]


def include_dirs():
    """The library's header, Eigen's, and pybind11's when it is not a system header."""
    dirs = ["../src", *eigen_dirs()]
    try:
        import pybind11
        dirs.append(pybind11.get_include())
    except ImportError:
        pass  # Debian's pybind11-dev puts it in /usr/include
    return dirs


# setuptools takes paths relative to this folder only.
sources = sorted(p.name for p in HERE.glob("_*.cpp"))  # the bindings, each file one part
for layer in ("model", "engine", "report"):
    sources += sorted(f"../src/{layer}/{p.name}" for p in (ROOT / "src" / layer).glob("*.cpp"))

extension = Extension(
    "torvan._torvan",
    sources=sources,
    include_dirs=include_dirs(),
    define_macros=[("TORVAN_VERSION", f'"{VERSION}"'), ("NDEBUG", None)],
    # The same floating-point contract as the CMake build: no fused
    # multiply-add and no fast-math, so the digits match the command line's.
    extra_compile_args=["-std=c++20", "-O3", "-ffp-contract=off", "-fno-fast-math",
                        "-fvisibility=hidden", "-pthread", *gsl_flags("cflags")],
    extra_link_args=["-pthread", *gsl_flags("libs")],
    language="c++",
)

# Always compile afresh: setuptools compares the sources' times with the
# extension's and would keep objects built against an older torvan.h.
setup(version=VERSION, packages=["torvan"], ext_modules=[extension],
      options={"build_ext": {"force": True}})
