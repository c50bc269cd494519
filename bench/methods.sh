#!/usr/bin/env bash
# The two methods side by side, in one run: CPU seconds of the computation (as
# the JSON document states it, so the writing of the output is left out), the
# wall time and peak RSS of the whole run writing the classic report, and the
# speed-up of the direct method over the nested one.
#   bench/methods.sh            200 50 -0.5 0.3 both ways; the large problems direct only
#   bench/methods.sh --quick    without the nested method
set -euo pipefail
source "$(dirname "$0")/prelude.sh"

cpu_of() { # problem method threads -> the best CPU seconds of $4 runs
  local best=""
  for _ in $(seq "$4"); do
    local s
    s=$(echo "$1" | "$bin" --method "$2" --threads "$3" --format json |
      sed -n 's/.*"cpu_seconds": \([0-9.e-]*\).*/\1/p')
    best=$(awk -v a="$s" -v b="${best:-$s}" 'BEGIN { print (a < b ? a : b) }')
  done
  echo "$best"
}

whole_run() { # problem method threads -> "wall_s rss_MB" of a run writing the report
  echo "$1" >"$tmp/in"
  /usr/bin/time -f "%e %M" -o "$tmp/time" "$bin" --method "$2" --threads "$3" <"$tmp/in" >/dev/null
  awk '{ printf "%.2f %.1f", $1, $2 / 1024 }' "$tmp/time"
}

row() { # problem method threads repeats
  local cpu wall rss
  cpu=$(cpu_of "$@")
  read -r wall rss <<<"$(whole_run "$1" "$2" "$3")"
  printf '%-22s %-7s %7s %12.4f %9s %9s\n' "$1" "$2" "$3" "$cpu" "$wall" "$rss" >&2
  echo "$cpu"
}

printf '%-22s %-7s %7s %12s %9s %9s\n' problem method threads compute_cpu_s wall_s rss_MB >&2
direct=$(row "200 50 -0.5 0.3" direct 1 10)
if [ "${1:-}" != "--quick" ]; then
  nested=$(row "200 50 -0.5 0.3" nested 1 1)
  awk -v n="$nested" -v d="$direct" 'BEGIN { printf "direct is %.0f times faster on 200 50 -0.5 0.3 (one thread)\n", n / d }' >&2
fi
row "2000 400 -1 0.3" direct 2 3 >/dev/null
row "10000 1000 -0.5 0.3" direct 2 1 >/dev/null

# The figures without the table (--format summary) against the table
# (--format json with every row), as ntot grows tenfold at a time, one in ten
# hired: wall seconds and peak RSS of the whole run, 2 threads. The table
# path stops where the table no longer fits this machine.
timed() { # problem args... -> "wall_s rss_MB"
  echo "$1" >"$tmp/in"
  shift
  /usr/bin/time -f "%e %M" -o "$tmp/time" "$bin" "$@" <"$tmp/in" >/dev/null 2>&1 || true
  awk '{ printf "%.2f %.1f", $1, $2 / 1024 }' "$tmp/time"
}
printf '\n%-26s %16s %16s\n' "direct, 2 threads" "summary s / MB" "table s / MB" >&2
for n in 1000 10000 100000 1000000; do
  problem="$n $((n / 10)) -0.5 0.3"
  read -r sw sm <<<"$(timed "$problem" --method direct --threads 2 --format summary)"
  table="refused"
  if [ "$n" -le 10000 ]; then
    read -r tw tm <<<"$(timed "$problem" --method direct --threads 2 --format json)"
    table="$tw / $tm"
  fi
  printf '%-26s %16s %16s\n' "$problem" "$sw / $sm" "$table" >&2
done
