"""The torvan package, built from this checkout.

The extension compiles the library's own sources in ../src (model, engine,
report) together with the binding, so there is one copy of the C++ code.
Everything comes from Debian's packages and nothing is downloaded:

    /usr/bin/python3 -m pip install --no-build-isolation ./python

needs g++ (C++20), pybind11-dev, libgsl-dev, nlohmann-json3-dev, libeigen3-dev
and pkg-config, and numpy and pandas where the package is installed.
"""

import os
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


def pkg_config(which, package):
    """A package's flags from pkg-config, or none when it has no .pc file."""
    try:
        return shlex.split(subprocess.check_output(["pkg-config", f"--{which}", package],
                                                   text=True, stderr=subprocess.DEVNULL))
    except (OSError, subprocess.CalledProcessError):
        return []


# Header-only libraries the library's sources include, beyond the system's
# own include path: add a package here when src/ starts to use one.
HEADER_PACKAGES = ["nlohmann_json", "eigen3"]


def include_dirs():
    """The library's header, pybind11's when it is not a system header, and the packages'."""
    dirs = ["../src"]
    try:
        import pybind11
        dirs.append(pybind11.get_include())
    except ImportError:
        pass  # Debian's pybind11-dev puts it in /usr/include
    for package in HEADER_PACKAGES:
        dirs += [f[2:] for f in pkg_config("cflags-only-I", package)]
    return dirs


# setuptools takes paths relative to this folder only. The binding is every
# .cpp here, as python/CMakeLists.txt has it; the library is every .cpp of
# its layers.
sources = sorted(p.name for p in HERE.glob("*.cpp"))
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
# extension's and would keep objects built against an older torvan.h. The
# sources compile side by side, one a core.
setup(version=VERSION, packages=["torvan"], package_data={"torvan": ["py.typed"]},
      ext_modules=[extension],
      options={"build_ext": {"force": True, "parallel": os.cpu_count() or 1}})
