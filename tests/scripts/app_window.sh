#!/usr/bin/env bash
# The real program's window under Wine on a display of its own: frame,
# size, topmost, close confirmation, task bar button; its painting in
# high-contrast colours. Then its frame and
# size again at the display scalings laptops use (LogPixels: 120, 144 and
# 192 DPI), where the client area must be the design's scaled.
set -u
source "$WIZARD_SOURCE_DIR/tests/lib/wine-env.sh"
work=$(mktemp -d "$WIZARD_BUILD_DIR/app-window.XXXXXX")
export WINEPREFIX="$work/prefix"
cleanup() { wineserver -k >/dev/null 2>&1; wz_stop_xvfb; rm -rf "$work"; }
trap cleanup EXIT
wz_new_prefix "$WINEPREFIX" || exit 1
wz_start_xvfb || exit 1
export WIZARD_EXE WIZARD_DPI
WIZARD_EXE=$(winepath -w "$WIZARD_BUILD_DIR/dist/FirmwareUpgrade.exe" 2>/dev/null)
status=0
WIZARD_DPI=96 wine "$WIZARD_BUILD_DIR/tests/win_app_tests.exe" --gtest_filter='-MainWindowPainter.*' || status=1
# A dark high-contrast scheme of distinct colours, as Windows keeps it.
echo "=== high-contrast colours"
wineserver -k >/dev/null 2>&1; wineserver -w
for pair in "Window=0 0 0" "WindowText=255 255 255" "ButtonFace=0 0 96" "ButtonText=255 255 0" \
            "GrayText=0 255 0" "Hilight=0 255 255" "HotTrackingColor=255 128 255"; do
  wine reg add 'HKCU\Control Panel\Colors' /v "${pair%%=*}" /d "${pair#*=}" /f >/dev/null 2>&1
done
wineserver -w
wine "$WIZARD_BUILD_DIR/tests/win_app_tests.exe" --gtest_filter='MainWindowPainter.*' || status=1
for WIZARD_DPI in 120 144 192; do
  echo "=== at $WIZARD_DPI DPI"
  # A session of its own, whose first program starts at that scaling: the
  # test sets it before it starts the wizard.
  wineserver -k >/dev/null 2>&1; wineserver -w
  wine "$WIZARD_BUILD_DIR/tests/win_app_tests.exe" --gtest_filter='MainWindow.FrameSizeAndCloseConfirmation' || status=1
done
exit $status
