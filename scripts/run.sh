#!/usr/bin/env bash
# Builds Dimwell and runs it: on your display when there is one, otherwise on a
# headless demo desktop (two monitors, openbox, picom, a few windows) that is
# driven through the shortcuts and leaves screenshots in build/demo.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh run
build="${BUILD_DIR:-build}"
cmake -S . -B "$build" -DDIMWELL_TESTS=OFF -DDIMWELL_BENCH=OFF
cmake --build "$build" --parallel "$(nproc)"

if [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "Running Dimwell in the Wayland session $WAYLAND_DISPLAY; stop it with Ctrl+C."
  exec "$build/bin/Dimwell"
fi
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "Running Dimwell on $DISPLAY; stop it with Ctrl+C."
  exec "$build/bin/Dimwell"
fi
[ -n "${DISPLAY:-}" ] && echo "Cannot reach the display $DISPLAY; playing the demo on a headless desktop instead."
# The system Python holds the X and imaging bindings the demo desktop uses.
exec /usr/bin/python3 scripts/xdesktop.py demo --binary "$build/bin/Dimwell" --out "$build/demo" "$@"
