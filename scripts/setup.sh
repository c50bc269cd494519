#!/usr/bin/env bash
# Installs what is missing from Debian's packages, then configures and builds
# Release in build/. Groups, one or more (default: all):
#   program  the torvan program alone                      (run.sh)
#   tests    its test suite and benchmarks
#   python   the Python package, in build/python, for /usr/bin/python3
#   r        the R package, installed into build/R-lib
#   browser  the web page's browser tests
#   all      every group above, and everything built      (test.sh)
# Every group includes the program's packages. Recommended packages are not
# installed: what the build and the tests use is listed here by name.
set -euo pipefail
cd "$(dirname "$0")/.."

# Each group's packages, after one line that says what they are for.
group_packages() {
  case "$1" in
    program)
      echo "for the program: a compiler, CMake, GSL's integrators and special functions, JSON, the HTTP library of torvan serve, Eigen for torvan design"
      echo cmake make g++ pkg-config libgsl-dev nlohmann-json3-dev libcpp-httplib-dev libeigen3-dev ;;
    tests)
      echo "for the tests: GoogleTest, Google Benchmark, an SVG renderer that checks the charts, groff for the manual page"
      echo libgtest-dev libbenchmark-dev librsvg2-bin groff-base ;;
    python)
      echo "for the Python package: its build, pandas and Dask, pytest, progress bars, matplotlib for .plot(), nbconvert to run the notebook; SciPy and statsmodels to test the audit against, cvxopt the design"
      echo python3-dev pybind11-dev python3-numpy python3-pandas python3-distributed \
        python3-pytest python3-tqdm python3-scipy python3-statsmodels python3-matplotlib \
        jupyter-nbconvert python3-ipykernel python3-cvxopt ;;
    r)
      echo "for the R package: R with Rcpp, testthat, futures and progress for grids, knitr, rmarkdown and pandoc for its vignette, ggplot2 to test autoplot()"
      echo r-base-dev r-cran-rcpp r-cran-testthat r-cran-future r-cran-future.apply \
        r-cran-progressr r-cran-processx r-cran-jsonlite r-cran-withr r-cran-knitr \
        r-cran-rmarkdown r-cran-ggplot2 pandoc ;;
    browser)
      echo "for the browser tests: a headless Chromium and its WebDriver, driven from Python; curl for docs/server.md"
      echo chromium chromium-driver python3-selenium python3-pytest curl ;;
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
  printf '%s\n' "${why[@]}" | awk '!seen[$0]++' >&2
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
why=()
for g in program "${groups[@]}"; do
  [ "$g" = all ] && continue
  if ! lines=$(group_packages "$g"); then
    echo "setup: unknown group '$g' (program, tests, python, r, browser or all)" >&2
    exit 2
  fi
  why+=("setup: group $g, $(head -n 1 <<<"$lines")")
  read -ra names <<<"$(tail -n 1 <<<"$lines")"
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
