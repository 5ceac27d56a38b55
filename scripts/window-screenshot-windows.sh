#!/usr/bin/env bash
# Takes the picture of the Windows window for the README: the sample disc
# (samples/ compiled by the exe itself) opened with zanthrel.exe under wine on
# a virtual X screen, its window grabbed once the tree is shown, then closed
# as the user would close it.
#   bash scripts/window-screenshot-windows.sh ZANTHREL_EXE [OUTPUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh wine xvfb x11-utils imagemagick
exe="$(realpath "$1")"
output="$(realpath -m "${2:-docs/window-windows.png}")"

# A prefix of its own in which wine draws the window's frame and caption
# itself, as there is no window manager on the virtual screen.
prefix="$(mktemp -d)"
trap 'WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true; rm -rf "$prefix"' EXIT
export WINEPREFIX="$prefix" WINEDEBUG=-all

xvfb-run -a -s "-screen 0 800x600x24" bash -s "$exe" "$output" "$prefix/drive_c/Discs/sample.iso" <<'SCREEN'
set -euo pipefail
exe="$1"; output="$2"; image="$3"
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null
# On drive C:, so that the status line shows the path a user would see.
mkdir -p "$(dirname "$image")"
wine "$exe" compile -q "$(winepath -w samples)" "$(winepath -w "$image")" >/dev/null
wine "$exe" "$(winepath -w "$image")" &
window=""
for _ in $(seq 600); do
  window="$(xwininfo -root -tree | awk '/"Zanthrel [0-9.]+ \[/ { print $1; exit }')"
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "the window did not open" >&2; exit 1; }
sleep 3  # until the tree is read and every control has drawn itself
import -window "$window" "$output"
# taskkill without /f asks the window to close, as its close box does.
wine taskkill /im "$(basename "$exe")" >/dev/null
wait
SCREEN
echo "$output"
