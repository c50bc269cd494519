#!/usr/bin/env bash
# Builds the libFuzzer targets (tests/fuzz) with clang++ in build-fuzz/ and
# runs each for the given number of seconds (default 5) on a copy of its seed
# corpus, so the repository is never written to. Inputs that break a target
# are kept in build-fuzz/artifacts/. Without clang++ it says so and does nothing.
#   scripts/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-5}

if ! command -v clang++ >/dev/null; then
  echo "fuzz: clang++ is not installed; fuzz targets skipped" >&2
  exit 0
fi
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTORVAN_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build build-fuzz --target reader_fuzz columns_fuzz table_fuzz -j "$(nproc)" >&2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p build-fuzz/artifacts "$work/reader" "$work/columns" "$work/table"
cp tests/data/reader/*.in "$work/reader/" # the field renderings start from nothing

for target in reader columns table; do
  if ! "build-fuzz/tests/fuzz/${target}_fuzz" -max_total_time="$seconds" -timeout=10 \
    -artifact_prefix="$PWD/build-fuzz/artifacts/$target-" "$work/$target" 2>"$work/log"; then
    cat "$work/log" >&2
    echo "fuzz: ${target}_fuzz FAILED; the input is in build-fuzz/artifacts/" >&2
    exit 1
  fi
  echo "fuzz: ${target}_fuzz: $(tail -n 1 "$work/log")" >&2 # "Done N runs in S second(s)"
done
