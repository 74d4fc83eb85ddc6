#!/usr/bin/env bash
# Fails when a source file includes a header of a higher layer. The layers, lowest first:
#   platform core graphics script text components motion media net player
# (platform/sdl, platform/fonts and platform/media are the platform layer's backends: only the
# player may include them). Usage: tools/check_layers.sh [SRC_DIR]
set -euo pipefail
src="${1:-$(dirname "$0")/../src}"
layers=(platform core graphics script text components motion media net player)
rank() {
  local i
  for i in "${!layers[@]}"; do
    if [[ "${layers[$i]}" == "$1" ]]; then echo "$i"; return; fi
  done
  echo -1
}
status=0
while IFS= read -r -d '' file; do
  rel="${file#"$src"/}"
  layer="${rel%%/*}"
  own=$(rank "$layer")
  [[ "$own" -lt 0 ]] && continue
  while IFS= read -r line; do
    inc="${line#*\"}"
    inc="${inc%%\"*}"
    target="${inc%%/*}"
    their=$(rank "$target")
    [[ "$their" -lt 0 ]] && continue
    backend=""
    if [[ "$target" == platform && "$inc" =~ ^platform/(sdl|fonts|media)/ ]]; then backend=1; fi
    if [[ "$their" -gt "$own" ]]; then
      echo "layer error: $rel ($layer) includes $inc ($target)"
      status=1
    elif [[ -n "$backend" && "$layer" != player && "$rel" != platform/* ]]; then
      echo "layer error: $rel ($layer) includes the backend $inc"
      status=1
    fi
  done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" || true)
done < <(find "$src" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.inl' \) -print0)
exit $status
