#!/usr/bin/env bash
# R CMD check --no-manual on the source package, as a user runs it: in an
# environment of PATH, HOME and LANG alone (no TORVAN_BINARY, no R_LIBS: the
# tests that compare with the command line skip). Fails on any ERROR or
# WARNING; NOTEs are shown and pass. The check is left in BUILD/r-check
# (BUILD defaults to build/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")
version=$(sed -n 's/^project(torvan VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")

# ccache's compiler links, when installed, spare a later check the
# compilations: R CMD build's, which installs the package in a temporary
# folder of a new name each time to build the vignette, and the check's own.
path=/usr/local/bin:/usr/bin:/bin
cached=$PATH
if [ -d /usr/lib/ccache ]; then
  path=/usr/lib/ccache:$path
  cached=/usr/lib/ccache:$PATH
fi
PATH=$cached CCACHE_NOHASHDIR=true "$root/scripts/r-package.sh" --tarball "$build"
dir=$build/r-check
rm -rf "$dir"
mkdir -p "$dir"
(cd "$dir" && env -i PATH="$path" HOME="$HOME" LANG=C.UTF-8 \
  R CMD check --no-manual "$build/torvan_$version.tar.gz") | tee "$dir/check.out" || true

status=$(grep '^Status:' "$dir/check.out" || echo "Status: no status, the check did not finish")
case "$status" in
  *ERROR* | *WARNING* | *"no status"*)
    echo "r-check: $status" >&2
    for f in "$dir"/torvan.Rcheck/00install.out "$dir"/torvan.Rcheck/tests/*.Rout.fail; do
      [ -f "$f" ] && { echo "--- $f" >&2; tail -n 40 "$f" >&2; }
    done
    exit 1 ;;
esac
echo "r-check: $status"
