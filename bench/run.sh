#!/usr/bin/env bash
# Runs every problem in bench/problems with --threads 1 and with all threads,
# and prints CPU seconds, wall seconds, peak RSS, the speed-up, and whether
# the two reports are identical (CPU-time line aside).
set -euo pipefail
source "$(dirname "$0")/prelude.sh"
threads=$(nproc)

measure() { # problem threads -> "cpu wall rss_kb", report in $tmp/out.$2
  /usr/bin/time -f "%U %S %e %M" -o "$tmp/time" "$bin" --threads "$2" <"$1" >"$tmp/out.$2"
  awk '{printf "%.2f %.2f %d", $1 + $2, $3, $4}' "$tmp/time"
}

printf '%-20s %7s %7s %7s %7s %7s %7s %7s %9s\n' problem cpu1_s wall1_s rss1_MB \
  "cpu${threads}_s" "wall${threads}" "rss${threads}" speedup identical
for p in bench/problems/*.in; do
  read -r c1 w1 r1 <<<"$(measure "$p" 1)"
  read -r cn wn rn <<<"$(measure "$p" "$threads")"
  same=no
  cmp -s <(grep -v '^CPU TIME' "$tmp/out.1") <(grep -v '^CPU TIME' "$tmp/out.$threads") && same=yes
  awk -v n="$(basename "$p" .in)" -v c1="$c1" -v w1="$w1" -v r1="$r1" -v cn="$cn" -v wn="$wn" \
    -v rn="$rn" -v same="$same" 'BEGIN {
      printf "%-20s %7.2f %7.2f %7.1f %7.2f %7.2f %7.1f %7.2f %9s\n",
        n, c1, w1, r1 / 1024, cn, wn, rn / 1024, (wn > 0 ? w1 / wn : 0), same }'
done
