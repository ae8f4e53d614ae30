#!/usr/bin/env bash
# Installs what is missing, builds the program (release) and starts it on the current display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
build="${PLEXA_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPLEXA_BUILD_TESTS=OFF -DPLEXA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target VelmoPlexaT
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found (neither DISPLAY nor WAYLAND_DISPLAY is set), so the window cannot be shown."
  echo "To run it on a virtual display:"
  echo "  xvfb-run -a -s '-screen 0 1280x1024x24' $build/VelmoPlexaT"
  exit 1
fi
exec "$build/VelmoPlexaT" "$@"
