#!/usr/bin/env bash
# Installs what the program needs, builds it, and runs TORVAN: on the problem
# given on standard input, or on examples/default.in when there is none - a
# terminal, or an empty standard input (a scheduler, ssh host ./run.sh, CI).
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh program
example() {
  echo "(no problem on standard input: running examples/default.in)" >&2
  exec build/torvan "$@" <examples/default.in
}
[ -t 0 ] && example "$@"
# Standard input is read whole before anything runs, to tell an empty one;
# the copy is unlinked once open, so nothing is left behind.
input=$(mktemp)
cat >"$input"
[ -s "$input" ] || { rm -f "$input"; example "$@"; }
exec 3<"$input"
rm -f "$input"
exec build/torvan "$@" <&3 3<&-
