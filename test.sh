#!/usr/bin/env bash
# Installs what is missing, builds, and runs the test suite.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
ctest --test-dir build --output-on-failure -j "$(nproc)"
