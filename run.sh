#!/usr/bin/env bash
# Installs what is missing, builds, and runs TORVAN: on the problem given on
# standard input, or on examples/default.in when standard input is a terminal.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
if [ -t 0 ]; then
  echo "(no problem on standard input: running examples/default.in)" >&2
  exec build/torvan "$@" <examples/default.in
fi
exec build/torvan "$@"
