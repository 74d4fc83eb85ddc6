#!/usr/bin/env bash
# Installs what is missing, builds the Release configuration and plays a game in the player.
#   ./play.sh GAME_FOLDER   plays that game folder
#   ./play.sh               writes the demo game into build/demo and plays it
# Without a display the player says so, and the same game runs headless in kovarun instead (600
# frames); the picture it ends with is written to build/shot.png.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKOVA_TESTS=OFF -DKOVA_BENCH=ON
cmake --build build
if [ $# -gt 0 ]; then
  game="$1"
else
  game=build/demo
  build/bin/kovademo "$game"
fi
status=0
build/bin/kovaplayer "$game" || status=$?
if [ "$status" -ne 3 ]; then  # 3: no display
  exit "$status"
fi
build/bin/kovarun "$game" --frames 600 --shot build/shot.png
echo "play.sh: no display here; the game ran headless in kovarun and its last picture is in build/shot.png"
