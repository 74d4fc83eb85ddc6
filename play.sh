#!/usr/bin/env bash
# Installs what is missing, builds the Release configuration and runs a game without a display.
#   ./play.sh GAME_FOLDER   runs that game folder in kovarun for 600 frames
#   ./play.sh               writes the demo game into build/demo and runs it, printing its trace
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKOVA_TESTS=OFF -DKOVA_BENCH=ON
cmake --build build
if [ $# -gt 0 ]; then
  exec build/bin/kovarun "$1" --frames 600 "${@:2}"
fi
build/bin/kovademo build/demo
exec build/bin/kovarun build/demo --frames 600 --log -
