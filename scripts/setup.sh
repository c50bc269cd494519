#!/usr/bin/env bash
# Installs what is missing from Debian's packages, then configures and builds
# Release in build/. Groups, one or more (default: all):
#   program  the torvan program alone                      (run.sh)
#   tests    its test suite, benchmarks and static analysis
#   python   the Python package, in build/python, for /usr/bin/python3
#   r        the R package, installed into build/R-lib
#   browser  the web page's browser tests
#   all      every group above, and everything built      (test.sh)
# Every group includes the program's packages. Recommended packages are not
# installed: what the build and the tests use is listed here by name.
set -euo pipefail
cd "$(dirname "$0")/.."

group_packages() {
  case "$1" in
    # A compiler, CMake, GSL's integrators and special functions, JSON, and
    # the HTTP library of torvan serve.
    program) echo cmake make g++ pkg-config libgsl-dev nlohmann-json3-dev libcpp-httplib-dev ;;
    # GoogleTest, Google Benchmark, and an SVG renderer that checks the charts.
    tests) echo libgtest-dev libbenchmark-dev librsvg2-bin ;;
    # The extension's build, pandas and Dask, pytest, progress bars; SciPy
    # and statsmodels, independent implementations the audit is tested against.
    python) echo python3-dev pybind11-dev python3-numpy python3-pandas python3-distributed \
      python3-pytest python3-tqdm python3-scipy python3-statsmodels ;;
    # R with Rcpp, its test framework, futures and progress for grids.
    r) echo r-base-dev r-cran-rcpp r-cran-testthat r-cran-future r-cran-future.apply \
      r-cran-progressr r-cran-processx r-cran-jsonlite r-cran-withr ;;
    # A headless Chromium and its WebDriver, driven from Python; curl for the
    # examples of docs/server.md.
    browser) echo chromium chromium-driver python3-selenium python3-pytest curl ;;
    *) return 1 ;;
  esac
}

install_missing() {
  local missing=() p
  for p in $(printf '%s\n' "$@" | sort -u); do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  echo "Installing: ${missing[*]}" >&2
  "${sudo[@]}" apt-get update -qq >&2
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >&2
}

# The program alone needs neither GoogleTest nor the packages: a build
# directory made for it leaves the tests out until a later group asks for them.
configure() { # BUILD_TESTING value, or "" to keep the cached one
  local testing=()
  [ -n "$1" ] && testing=(-DBUILD_TESTING="$1")
  [ -z "$1" ] && [ ! -f build/CMakeCache.txt ] && testing=(-DBUILD_TESTING=OFF)
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release "${testing[@]}" >/dev/null
}

groups=("$@")
[ ${#groups[@]} -eq 0 ] && groups=(all)
[[ " ${groups[*]} " == *" all "* ]] && groups=(program tests python r browser all)
packages=()
for g in program "${groups[@]}"; do
  [ "$g" = all ] && continue
  if ! names=$(group_packages "$g"); then
    echo "setup: unknown group '$g' (program, tests, python, r, browser or all)" >&2
    exit 2
  fi
  read -ra names <<<"$names"
  packages+=("${names[@]}")
done
install_missing "${packages[@]}"

targets=(torvan)
testing=""
for g in "${groups[@]}"; do
  case "$g" in
    python) targets+=(_torvan) ;;
    tests | browser | all) testing=ON ;;
  esac
done
configure "$testing"
if [ "$testing" = ON ]; then
  cmake --build build -j "$(nproc)" >&2
else
  cmake --build build -j "$(nproc)" --target "${targets[@]}" >&2
fi
if [[ " ${groups[*]} " == *" r "* ]] && [[ " ${groups[*]} " != *" all "* ]]; then
  scripts/r-package.sh build >&2
fi
