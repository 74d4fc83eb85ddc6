#!/usr/bin/env bash
# Installs what is missing, builds the test configuration (AddressSanitizer and
# UndefinedBehaviorSanitizer, warnings as errors) and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
# No source file includes a header of a higher layer.
tools/check_layers.sh src
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKOVA_SANITIZE=ON -DKOVA_WERROR=ON -DKOVA_BENCH=OFF
cmake --build build-test
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd build-test
ctest --output-on-failure -j "$(nproc)"
