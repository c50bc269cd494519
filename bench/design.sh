#!/usr/bin/env bash
# torvan design's goals: a front of 21 points of Dahlke & Sackett's five
# predictors with every rule's exact probability, at 200, 10 000 and 10^6
# applicants (a tenth hired, 15% minority; the summary path, direct method),
# and what --max-risk adds. Wall and CPU seconds, the exact problems solved,
# and the load average before each run (other work slows the figures).
#   bench/design.sh          200 and 10 000 applicants
#   bench/design.sh --large  also 10^6 (some minutes on a busy machine: a
#                            single problem there takes 10 to 30 seconds)
set -euo pipefail
source "$(dirname "$0")/prelude.sh"

sizes=(200 10000)
[ "${1:-}" = --large ] && sizes+=(1000000)

run() { # ntot extra-args... -> "wall_s cpu_s problems load"
  local ntot=$1 load
  shift
  load=$(cut -d' ' -f1 /proc/loadavg)
  /usr/bin/time -f "%e %U %S" -o "$tmp/time" "$bin" design \
    --predictors examples/design/predictors.csv --correlations examples/design/correlations.csv \
    --matrix overall --ntot "$ntot" --selection-ratio 0.1 --prop 0.15 --points 21 \
    --threads 2 --format json "$@" >"$tmp/out"
  local problems
  problems=$(sed -n 's/^  "problems": \([0-9]*\),/\1/p' "$tmp/out")
  awk -v load="$load" -v n="$problems" '{ printf "%.2f %.2f %s %s", $1, $2 + $3, n, load }' \
    "$tmp/time"
}

printf '%-9s %-14s %8s %8s %9s %12s\n' ntot run wall_s cpu_s problems load_before >&2
for n in "${sizes[@]}"; do
  read -r wall cpu problems load <<<"$(run "$n")"
  printf '%-9s %-14s %8s %8s %9s %12s\n' "$n" front "$wall" "$cpu" "$problems" "$load" >&2
  read -r wall cpu problems load <<<"$(run "$n" --max-risk 0.5)"
  printf '%-9s %-14s %8s %8s %9s %12s\n' "$n" "--max-risk 0.5" "$wall" "$cpu" "$problems" \
    "$load" >&2
done
