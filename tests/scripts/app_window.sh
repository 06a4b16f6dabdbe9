#!/usr/bin/env bash
# The real program's window under Wine on a display of its own: frame,
# size, topmost, close confirmation.
set -u
source "$WIZARD_SOURCE_DIR/tests/lib/wine-env.sh"
work=$(mktemp -d "$WIZARD_BUILD_DIR/app-window.XXXXXX")
export WINEPREFIX="$work/prefix"
cleanup() { wineserver -k >/dev/null 2>&1; wz_stop_xvfb; rm -rf "$work"; }
trap cleanup EXIT
wz_new_prefix "$WINEPREFIX" || exit 1
wz_start_xvfb || exit 1
export WIZARD_EXE
WIZARD_EXE=$(winepath -w "$WIZARD_BUILD_DIR/dist/FirmwareUpgrade.exe" 2>/dev/null)
wine "$WIZARD_BUILD_DIR/tests/win_app_tests.exe"
