#!/usr/bin/env bash
# Installs what is missing, builds, and runs the test suite; then a short fuzz
# run and the static analysis, each when its tools are installed.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh all
ctest --test-dir build --output-on-failure -j "$(nproc)"
scripts/fuzz.sh 5
scripts/lint.sh
