#!/usr/bin/env bash
# Shared by run.sh and test.sh: install what is missing from Debian's
# packages, then configure and build Release in build/: the program, its
# tests, and the Python package in build/python/ (for /usr/bin/python3, the
# interpreter that sees Debian's python3-* packages).
set -euo pipefail

packages=(cmake make g++ pkg-config libgsl-dev libgtest-dev libbenchmark-dev nlohmann-json3-dev librsvg2-bin)
# The R package (r/), installed into build/R-lib by its CTest fixture.
packages+=(r-base-dev r-cran-rcpp r-cran-testthat r-cran-future.apply r-cran-progressr r-cran-processx)
# The Python package (python/), built into build/python for /usr/bin/python3.
packages+=(python3-dev pybind11-dev python3-numpy python3-pandas python3-distributed python3-pytest python3-tqdm)
# Independent implementations the audit is tested against.
packages+=(python3-scipy python3-statsmodels)

install_missing() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  echo "Installing: ${missing[*]}" >&2
  "${sudo[@]}" apt-get update -qq >&2
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >&2
}

build() {
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build -j "$(nproc)" >&2
}

install_missing
build
