#!/bin/bash
# Benchmark, not a test: the longest time the wizard's window leaves a
# message unanswered while Start searches seven silent ports (COM3 to COM9,
# about 1.4 s each) before the transponder on COM10, measured by another
# program that asks the window WM_NULL again and again from before the
# click until the version page shows (tests' answer_meter). Prints
# "longest_unanswered_ms N" and "device_found yes|no".
#
# Needs WIZARD_BUILD_DIR (a cross build, with dist/ and its test tools) and
# WIZARD_NATIVE_BUILD_DIR (a native build, with tools/transponder_sim).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
: "${WIZARD_BUILD_DIR:?cross build folder}" "${WIZARD_NATIVE_BUILD_DIR:?native build folder}"
export WIZARD_SOURCE_DIR=${WIZARD_SOURCE_DIR:-$root}
# shellcheck source=../tests/lib/e2e.sh
source "$WIZARD_SOURCE_DIR/tests/lib/e2e.sh"

e2e_begin bench-window-answers >/dev/null 2>&1
e2e_ports 3 4 5 6 7 8 9 10
for port in 3 4 5 6 7 8 9; do e2e_sim "$port" --silent; done
e2e_sim 10 --version 2.0.1
e2e_start_wizard
e2e_wait_window 90 && e2e_wait_page start 30 || { echo "no window" >&2; exit 1; }
stop="$E2E/meter.stop"
: >"$E2E/meter.txt"
wine "$WIZARD_BUILD_DIR/tests/answer_meter.exe" TFormMain "$(winepath -w "$stop")" 120 >"$E2E/meter.txt" 2>/dev/null &
E2E_PIDS+=($!)
wz_wait_for "grep -q found '$E2E/meter.txt'" 60 || { echo "the meter did not find the window" >&2; exit 1; }
e2e_click_start
found=no
e2e_wait_page version 60 && found=yes
touch "$stop"
wz_wait_for "grep -q sends= '$E2E/meter.txt'" 30
longest=$(tr -d '\r' <"$E2E/meter.txt" | sed -n 's/.*longest_ms=\([0-9]*\).*/\1/p')
echo "longest_unanswered_ms ${longest:-none}"
echo "device_found $found"
