#!/usr/bin/env bash
# Installs what is missing, builds the program and its tests with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test under the offscreen platform.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
build="${PLEXA_TEST_BUILD_DIR:-$root/build-test}"
jobs=$(nproc)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPLEXA_SANITIZE=ON -DPLEXA_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j "$jobs"
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure -j "$jobs" "$@"
