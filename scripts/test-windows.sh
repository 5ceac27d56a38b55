#!/usr/bin/env bash
# Cross-builds zanthrel and the whole test suite for Windows (scripts/build-windows.sh
# with the tests on) and runs the suite under wine, in a wine prefix of its own
# inside build-windows/. One wineserver (and wine's own services) is started
# before CTest and stopped after it: started inside a test, it would keep
# CTest's output pipe open and CTest would never end.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh wine xvfb xauth
if [ -z "${ZANTHREL_WINE_SUITE:-}" ]; then
  bash scripts/build-windows.sh -DZANTHREL_TESTS=ON
  # The window's test needs a display, and wine's session takes the one it
  # finds when it starts: the suite runs under one X server of its own.
  exec env ZANTHREL_WINE_SUITE=1 xvfb-run -a bash "$PWD/scripts/test-windows.sh"
fi
export WINEPREFIX="$PWD/build-windows/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
wineserver -p >/dev/null 2>&1 </dev/null
trap 'wineserver -k || true' EXIT
wine cmd /c exit >/dev/null 2>&1 </dev/null
ctest --test-dir build-windows --output-on-failure -j"$(nproc)" --timeout 600
