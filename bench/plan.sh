#!/usr/bin/env bash
# The planning sweep of the issue: every rule's probability for each pool size
# from 10 to 2000, binomial pools, one applicant in five hired. Wall seconds,
# CPU seconds and peak RSS of the whole run on 2 threads (the best of three)
# and on 1, the load average before each run (other work on the machine
# slows the figures down), and whether the 2-thread run meets its goal of
# 15 seconds.
#   bench/plan.sh            the sweep on 2 threads and on 1
#   bench/plan.sh --quick    2 threads only, once
set -euo pipefail
source "$(dirname "$0")/prelude.sh"

args=(plan --esize -0.3 --prop 0.3 --selection-ratio 0.2 --ntot 10:2000)
goal=15

run() { # threads -> "wall_s cpu_s rss_MB load"
  local load
  load=$(cut -d' ' -f1 /proc/loadavg)
  /usr/bin/time -f "%e %U %S %M" -o "$tmp/time" "$bin" "${args[@]}" --threads "$1" >"$tmp/out"
  awk -v load="$load" '{ printf "%.2f %.2f %.1f %s", $1, $2 + $3, $4 / 1024, load }' "$tmp/time"
}

best() { # threads repeats -> the run with the least wall time
  local best="" line
  for _ in $(seq "$2"); do
    line=$(run "$1")
    if [ -z "$best" ] || awk -v a="${line%% *}" -v b="${best%% *}" 'BEGIN { exit !(a < b) }'; then
      best=$line
    fi
  done
  echo "$best"
}

echo "torvan ${args[*]}" >&2
printf '%-8s %8s %8s %8s %12s\n' threads wall_s cpu_s rss_MB load_before >&2
repeats=3
[ "${1:-}" = --quick ] && repeats=1
read -r wall cpu rss load <<<"$(best 2 "$repeats")"
printf '%-8s %8s %8s %8s %12s\n' 2 "$wall" "$cpu" "$rss" "$load" >&2
if [ "${1:-}" != --quick ]; then
  read -r wall1 cpu1 rss1 load1 <<<"$(run 1)"
  printf '%-8s %8s %8s %8s %12s\n' 1 "$wall1" "$cpu1" "$rss1" "$load1" >&2
  awk -v a="$wall1" -v b="$wall" 'BEGIN { printf "2 threads are %.2f times as fast as 1\n", a / b }' >&2
fi
awk -v w="$wall" -v g="$goal" 'BEGIN { printf "goal: under %d s on 2 threads: %s\n", g, (w < g ? "met" : "NOT met") }' >&2
sed -n "/first   stays/,\$p" "$tmp/out" >&2
