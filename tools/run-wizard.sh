#!/usr/bin/env bash
# Builds the wizard for Windows and runs it under Wine: in a window on your
# display when there is one, otherwise on a virtual display of its own,
# writing screenshots to a folder that it names.
# Usage: tools/run-wizard.sh   (as root on a fresh machine: installs what it needs)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${WIZARD_OUT:-$root/build}
"$root/tools/install-deps.sh" run || exit 1

echo "Building FirmwareUpgrade.exe ..."
cmake -S "$root" -B "$out/native" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWIZARD_WERROR=OFF >/dev/null &&
  ninja -C "$out/native" >/dev/null &&
  cmake -S "$root" -B "$out/win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DWIZARD_NATIVE_BUILD_DIR="$out/native" >/dev/null &&
  ninja -C "$out/win" FirmwareUpgrade >/dev/null || { echo "build failed" >&2; exit 1; }

export WIZARD_BUILD_DIR="$out/win"
source "$root/tests/lib/wine-env.sh"
export WINEPREFIX="$out/wizard-prefix"
[ -d "$WINEPREFIX" ] || wz_new_prefix "$WINEPREFIX" || exit 1
exe="$out/win/dist/FirmwareUpgrade.exe"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "Starting the wizard on $DISPLAY ..."
  wine "$exe"
  wineserver -w
  exit 0
fi

shots="$out/screenshots"
mkdir -p "$shots"
wz_start_xvfb || exit 1
trap 'wineserver -k >/dev/null 2>&1; wz_stop_xvfb' EXIT
wine "$exe" >/dev/null 2>&1 &
if ! id=$(wz_wait_window 'ZEMO ZOD Ezodi' 120); then
  echo "the wizard's window did not appear" >&2
  exit 1
fi
# The window paints once it is shown; wait until its pixels are there.
wz_wait_for "import -window $id '$shots/start-page.png' 2>/dev/null && [ \$(convert '$shots/start-page.png' -format '%[fx:mean]' info:) != 0 ]" 30
echo "The wizard ran with its start page; screenshot: $shots/start-page.png"
