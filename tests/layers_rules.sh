#!/usr/bin/env bash
# scripts/layers.sh against a small tree per case: a file in one folder of
# src/ including one header, and whether the check must accept it.
set -euo pipefail
script="$(cd "$(dirname "$0")/.." && pwd)/scripts/layers.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# file including header -> pass or fail
cases=(
  "src/input/counts.cpp report/audit.h pass"
  "src/input/counts.cpp cli/progress.h fail"
  "src/input/counts.cpp server/serve.h fail"
  "src/cli/batch.cpp input/reader.h pass"
  "src/cli/batch.cpp server/serve_api.h fail"
  "src/cli/batch.cpp server/serve.h fail"
  "src/server/serve_api.cpp input/query.h pass"
  "src/server/serve_api.cpp cli/progress.h fail"
  "src/server/serve.h cli/audit_command.h fail"
  "src/cli/main.cpp server/serve.h pass"
  "src/cli/main.cpp server/serve_api.h fail"
  "src/report/audit.cpp input/counts.h fail"
  "src/engine/plan.cpp report/plan.h fail"
)

failures=0
for c in "${cases[@]}"; do
  read -r file header expected <<<"$c"
  rm -rf "$work/tree" && mkdir -p "$work/tree/$(dirname "$file")"
  printf '#include "%s"\n' "$header" >"$work/tree/$file"
  touch "$work/tree/src/torvan.h"
  if bash "$script" "$work/tree" >/dev/null 2>&1; then got=pass; else got=fail; fi
  if [ "$got" != "$expected" ]; then
    echo "layers_rules: $file including \"$header\": expected $expected, got $got" >&2
    failures=$((failures + 1))
  fi
done
[ "$failures" -eq 0 ] && echo "layers_rules: ${#cases[@]} cases as expected"
exit "$failures"
