#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test: the core against
# the simulated desktop (unit), the X11 backend (x11) and whole programs (e2e) on
# private X servers that the tests start and stop themselves.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh all
# Tests never touch the desktop of whoever runs them.
unset DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS

build="${BUILD_DIR:-build-test}"
cmake -S . -B "$build" -DDIMWELL_WERROR=ON
cmake --build "$build" -j2

# Logic tests are quick and independent: two at a time. Tests on X servers run one
# by one, so that timing-sensitive screen checks do not compete for the CPU.
status=0
ctest --test-dir "$build" --output-on-failure --timeout 120 -j2 -L unit || status=1
ctest --test-dir "$build" --output-on-failure --timeout 300 -LE unit || status=1
if [ "$status" -ne 0 ]; then
  echo "Some tests failed (logs above; desktop logs are kept when DIMWELL_KEEP_DESKTOP=1)." >&2
fi
exit "$status"
