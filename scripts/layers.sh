#!/usr/bin/env bash
# The layers of src/ depend only on those before them:
#   model/ (pure numerics) <- engine/ (computes) <- report/ (renders) <- cli/ (the program)
# torvan.h, the library's public header, includes no project header; the
# bindings in python/ and r/ include nothing of the project but torvan.h
# (and their own headers, beside them).
# Prints every include that breaks the rule and fails if there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

allowed() { # folder -> project folders its files may include
  case "$1" in
    model) echo "model" ;;
    engine) echo "model engine torvan.h" ;;
    report) echo "model engine report torvan.h" ;;
    input) echo "model engine report input torvan.h" ;;
    cli) echo "model engine report input cli torvan.h" ;;
    torvan.h) echo "" ;;
    bindings) echo "torvan.h" ;;
  esac
}

status=0
check() { # file layer
  local file=$1 layer=$2 target top
  while IFS= read -r target; do
    top=${target%%/*}
    [ "$layer" = bindings ] && [ -f "$(dirname "$file")/$target" ] && continue
    if ! [[ " $(allowed "$layer") " == *" $top "* ]]; then
      echo "layers: $file includes \"$target\", which $layer/ may not use" >&2
      status=1
    fi
  done < <(grep -ho '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]*"' "$file" | sed 's/.*"\(.*\)"/\1/')
}

for layer in model engine report input cli; do
  while IFS= read -r f; do check "$f" "$layer"; done < <(find "src/$layer" -name '*.h' -o -name '*.cpp' | sort)
done
check src/torvan.h torvan.h
for dir in python r; do
  [ -d "$dir" ] || continue
  while IFS= read -r f; do check "$f" bindings; done < <(find "$dir" \( -name '*.h' -o -name '*.cpp' \) -not -path '*/build/*' | sort)
done
[ "$status" -eq 0 ] && echo "layers: every include follows the layers"
exit "$status"
