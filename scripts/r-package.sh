#!/usr/bin/env bash
# Installs the R package into BUILD/R-lib (BUILD defaults to build/): r/ is
# copied to BUILD/r-pkg with the library's own sources added under src/lib,
# so the repository keeps one copy of them; likewise the audit tests' table
# of 2 x 2 tables, added under tests/testthat. Skipped when nothing it is made of
# changed since the last install. With --tarball, also writes the source
# package BUILD/torvan_VERSION.tar.gz (for R CMD check, scripts/r-check.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tarball=no
[ "${1:-}" = --tarball ] && tarball=yes && shift
build=$(realpath -m "${1:-$root/build}")
pkg=$build/r-pkg
lib=$build/R-lib

version=$(sed -n 's/^project(torvan VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
sources() {
  (cd "$root" && find r src/model src/engine src/report src/torvan.h tests/data/audit -type f |
    LC_ALL=C sort)
}
stamp=$( (echo "$version" && cd "$root" && sources | xargs sha256sum) | sha256sum | cut -d' ' -f1)
installed=$(cat "$lib/.torvan-stamp" 2>/dev/null || true)
up_to_date=no
[ -f "$lib/torvan/DESCRIPTION" ] && [ "$installed" = "$stamp" ] && up_to_date=yes
if [ "$up_to_date" = yes ] && [ "$tarball" = no ]; then
  echo "r-package: torvan $version is up to date in $lib"
  exit 0
fi

rm -rf "$pkg"
mkdir -p "$build" "$lib"
cp -R "$root/r" "$pkg"
mkdir -p "$pkg/src/lib"
cp "$root/src/torvan.h" "$pkg/src/lib/"
for layer in model engine report; do
  mkdir -p "$pkg/src/lib/$layer"
  cp "$root/src/$layer"/*.h "$root/src/$layer"/*.cpp "$pkg/src/lib/$layer/"
done
cp "$root/tests/data/audit/tables.csv" "$pkg/tests/testthat/audit-tables.csv"
sed -i "s/^Version: .*/Version: $version/" "$pkg/DESCRIPTION"
Rscript -e "invisible(Rcpp::compileAttributes('$pkg'))"

if [ "$tarball" = yes ]; then
  # Building the vignette installs the package in a folder of its own first.
  (cd "$build" && MAKEFLAGS=${MAKEFLAGS:--j2} R CMD build --no-manual r-pkg)
fi
if [ "$up_to_date" = yes ]; then
  echo "r-package: torvan $version is up to date in $lib"
  exit 0
fi
MAKEFLAGS=${MAKEFLAGS:--j2} R CMD INSTALL --no-multiarch -l "$lib" "$pkg"
echo "$stamp" >"$lib/.torvan-stamp"
