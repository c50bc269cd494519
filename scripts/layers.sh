#!/usr/bin/env bash
# The layers of src/ depend only on those before them:
#   model/ (pure numerics) <- engine/ (computes) <- report/ (renders)
#     <- input/ (what both front ends read: problems, options, counts, queries)
#     <- cli/ (the command line) and server/ (the HTTP server), side by side:
# neither front end includes the other's files. The one exception is the
# program's entry point, src/cli/main.cpp, which starts the server through
# server/serve.h (run_serve, serve_usage) and may include nothing else of
# server/.
# torvan.h, the library's public header, includes no project header; the
# bindings in python/ and r/ include nothing of the project but torvan.h
# (and their own headers, beside them).
# Prints every include that breaks the rule and fails if there is one.
# With a folder as its argument, checks the src/ and bindings under it
# instead of this checkout's (the test of this script uses it).
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

allowed() { # folder -> project folders its files may include
  case "$1" in
    model) echo "model" ;;
    engine) echo "model engine torvan.h" ;;
    report) echo "model engine report torvan.h" ;;
    input) echo "model engine report input torvan.h" ;;
    cli) echo "model engine report input cli torvan.h" ;;
    server) echo "model engine report input server torvan.h" ;;
    torvan.h) echo "" ;;
    bindings) echo "torvan.h" ;;
  esac
}

entry_point=src/cli/main.cpp
entry_point_may=server/serve.h

status=0
check() { # file layer
  local file=$1 layer=$2 target top
  while IFS= read -r target; do
    top=${target%%/*}
    [ "$layer" = bindings ] && [ -f "$(dirname "$file")/$target" ] && continue
    [ "$file" = "$entry_point" ] && [ "$target" = "$entry_point_may" ] && continue
    if ! [[ " $(allowed "$layer") " == *" $top "* ]]; then
      echo "layers: $file includes \"$target\", which $layer/ may not use" >&2
      status=1
    fi
  done < <(grep -ho '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]*"' "$file" | sed 's/.*"\(.*\)"/\1/')
}

for layer in model engine report input cli server; do
  [ -d "src/$layer" ] || continue
  while IFS= read -r f; do check "$f" "$layer"; done < <(find "src/$layer" -name '*.h' -o -name '*.cpp' | sort)
done
check src/torvan.h torvan.h
for dir in python r; do
  [ -d "$dir" ] || continue
  while IFS= read -r f; do check "$f" bindings; done < <(find "$dir" \( -name '*.h' -o -name '*.cpp' \) -not -path '*/build/*' | sort)
done
[ "$status" -eq 0 ] && echo "layers: every include follows the layers"
exit "$status"
