#!/usr/bin/env bash
# Static analysis of src/: clang-tidy (checks in .clang-tidy) and cppcheck, on
# the compile commands of build/. Any finding fails; a tool that is not
# installed is skipped with a message.
set -euo pipefail
cd "$(dirname "$0")/.."
db=build/compile_commands.json
[ -f "$db" ] || { echo "lint: $db is missing; build first" >&2; exit 1; }
mapfile -t sources < <(grep -o "\"file\": \"$PWD/src/[^\"]*\"" "$db" | cut -d'"' -f4 | sort -u)
status=0

if command -v clang-tidy >/dev/null; then
  echo "lint: clang-tidy on ${#sources[@]} files" >&2
  # The sed drops clang's count of the warnings it suppressed in system headers.
  printf '%s\n' "${sources[@]}" |
    xargs -P "$(nproc)" -n 1 clang-tidy -p build --quiet --warnings-as-errors='*' 2>&1 |
    sed '/^[0-9]* warnings\? generated\.$/d' || status=1
else
  echo "lint: clang-tidy is not installed; skipped" >&2
fi

if command -v cppcheck >/dev/null; then
  echo "lint: cppcheck" >&2
  cppcheck --project="$db" --file-filter='src/*' --std=c++20 -j "$(nproc)" --quiet \
    --enable=warning,style,performance,portability --inline-suppr --error-exitcode=1 \
    --template='{file}:{line}: {severity}: {message} [{id}]' || status=1
else
  echo "lint: cppcheck is not installed; skipped" >&2
fi

[ "$status" -eq 0 ] || echo "lint: FAILED" >&2
exit "$status"
