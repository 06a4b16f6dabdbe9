#!/usr/bin/env bash
# The boot loader takes its image at its own pace: the close that makes the
# firmware file whole lingers 40 s after the last byte (tools/slow_drive),
# then succeeds. The copy settles from the last byte on: no stall box at
# 31 s, the status line says what happens and counts its seconds, and
# "Finish!" comes once the close is done, with no box, the image whole on
# the drive and written through.
source "$WIZARD_SOURCE_DIR/tests/lib/e2e.sh"
e2e_begin copy-end-pace
e2e_standard_bench --ready-delay 1000
e2e_slow_drive 40000
e2e_launch
e2e_start_to_version
e2e_click_yes
e2e_check "the close of the whole image lingers" wz_wait_for "grep -q '^close of fd' '$E2E/slow-drive.txt'" 40
lingering=$(e2e_now)
counts() { wine "$E2E_PROBE" tree 2>/dev/null | tr -d '\r' | grep -qE "The transponder is storing the firmware: $1 s"; }
e2e_check "the status line counts the seconds of the settling" wz_wait_for "counts '[1-9][0-9]*'" 20
# The stall rule would have shown its box 31 s after the last byte.
e2e_check "no box 36 s after the last byte" wine "$E2E_DRIVER" nobox Error \
  "$(awk -v t="$(e2e_elapsed "$lingering")" 'BEGIN {printf "%d", t < 36 ? 36 - t : 0}')"
e2e_check "the status line still counts" wz_wait_for "counts '(3[1-9]|[4-9][0-9])'" 10
e2e_shot settling
e2e_check "Finish enabled once the close is done" wz_wait_for e2e_finish_enabled 60
e2e_check "no box at \"Finish!\"" [ "$(wine "$E2E_DRIVER" boxes Error 2>/dev/null | tr -d '\r')" = 0 ]
whole() { cmp -s "$E2E/drive/AIS_Firmware.S19" "$E2E_APP/Bin/App_K40.SBIN" && e2e_flushed_before "$E2E/drive/AIS_Firmware.S19" "$(e2e_now)"; }
e2e_check "the image whole on the drive, written through" whole
e2e_check "the log: settling from the last byte, 40 s before the close ended" \
  e2e_log_has ' copy settled in [3-9][0-9]\.[0-9] s$'
e2e_end
