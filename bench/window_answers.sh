#!/bin/bash
# Benchmark, not a test: the longest time the wizard's window leaves a
# message unanswered while Start searches sixteen silent ports (COM3 to
# COM18, asked together, each on a thread of its own) before the
# transponder on COM19, measured by another program that asks the window
# WM_NULL again and again from before the click until the version page
# shows (tests' answer_meter). Prints "longest_unanswered_ms N" and
# "device_found yes|no".
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
silent=$(seq 3 18)
# shellcheck disable=SC2086
e2e_ports $silent 19
for port in $silent; do e2e_sim "$port" --silent; done
e2e_sim 19 --version 2.0.1
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
