#!/bin/bash
# Replies as one Wine read sees them: each port has a simulated transponder
# with one way of answering (see tests/win/serial/serial_replies_test.cpp).
set -euo pipefail

: "${WIZARD_BUILD_DIR:?}" "${WIZARD_NATIVE_BUILD_DIR:?}" "${WIZARD_SOURCE_DIR:?}"
# shellcheck source=../lib/wine-env.sh
. "$WIZARD_SOURCE_DIR/tests/lib/wine-env.sh"

SIM=$WIZARD_NATIVE_BUILD_DIR/tools/transponder_sim
EXE=$WIZARD_BUILD_DIR/tests/win_serial_tests.exe
[ -x "$SIM" ] || { echo "simulator missing: $SIM (build the native tree)" >&2; exit 1; }
[ -f "$EXE" ] || { echo "test program missing: $EXE" >&2; exit 1; }

work=$(mktemp -d "$WIZARD_BUILD_DIR/serial_replies.XXXXXX")
export WINEPREFIX=$work/prefix
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  WINEPREFIX=$work/prefix wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

wz_new_prefix "$WINEPREFIX"
start_sim() {  # port, options...
  local port=$1; shift
  "$SIM" --link "$WINEPREFIX/dosdevices/com$port" "$@" >/dev/null &
  pids+=($!)
}
start_sim 2 --gap 100 --gap-after 10
start_sim 3 --noise 300
start_sim 4 --other-model
start_sim 5 --model-later
start_sim 6 --few-commas
start_sim 7 --long-version
start_sim 8 --noise 200
start_sim 9 --reply-delay 300
for port in 2 3 4 5 6 7 8 9; do
  wz_wait_for "[ -L '$WINEPREFIX/dosdevices/com$port' ]" 20 || { echo "simulator on COM$port did not start" >&2; exit 1; }
done

status=0
WZ_SERIAL_REPLIES=1 wine "$EXE" --gtest_filter='SerialRepliesOnWine.*' || status=$?
wineserver -w
exit $status
