#!/usr/bin/env bash
# Installs what is missing, builds the Release configuration and runs the main job.
# Until the player exists, the main job is the core benchmark suite (see README.md).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKOVA_TESTS=OFF -DKOVA_BENCH=ON
cmake --build build
if [ -x build/bin/kovaplayer ]; then
  exec build/bin/kovaplayer "$@"
fi
exec build/bin/kova_bench_core "$@"
