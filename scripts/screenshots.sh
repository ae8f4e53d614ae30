#!/usr/bin/env bash
# Runs the whole-window scaler test under Xvfb (the real X11 platform, not the offscreen one) and
# keeps a screenshot of each simulated unit's pages: a generic scaler on a pty and a Zarrick unit
# found by the network scan on loopback; then the HDBaseT status page with a simulated unit's live
# monitor stream. Usage: scripts/screenshots.sh [output folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
build="${PLEXA_TEST_BUILD_DIR:-$root/build-test}"
out="${1:-$build/screenshots}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPLEXA_SANITIZE=ON -DPLEXA_BUILD_TESTS=ON >/dev/null
cmake --build "$build" --target tst_scaler_window tst_hdbaset
mkdir -p "$out"
PLEXA_SCREENSHOT_DIR="$out" QT_QPA_PLATFORM=xcb \
  LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0" \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$build/tests/tst_scaler_window"
PLEXA_SCREENSHOT_DIR="$out" QT_QPA_PLATFORM=xcb \
  LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0" \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$build/tests/tst_hdbaset" monitorStreamOverPty
ls "$out"/*.png
