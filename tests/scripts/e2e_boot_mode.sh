#!/usr/bin/env bash
# The transponder is already in its boot loader at Start: the boot-mode
# version, no byte on the wire, and the copy at the second control tick.
source "$WIZARD_SOURCE_DIR/tests/lib/e2e.sh"
e2e_begin boot-mode
e2e_standard_bench --boot-mode
wz_wait_for "[ -e '$E2E/drive/READY.TXT' ]" 10 || e2e_fail "the simulator made no READY.TXT"
e2e_launch
e2e_click_start
e2e_check "version page" e2e_wait_page version 10
e2e_shot version-page-boot-mode
e2e_click_yes
yes_at=$(e2e_now)
e2e_check "image copied" wz_wait_for "[ -e '$E2E/drive/AIS_Firmware.S19' ]" 10
took=$(e2e_elapsed "$yes_at")
e2e_check "copy started at the second tick (${took}s after Yes)" e2e_between "$took" 1.2 4.5
e2e_check "Finish enabled" wz_wait_for e2e_finish_enabled 10
e2e_check "nothing sent to COM5" [ -z "$(e2e_wire 5)" ]
e2e_check "nothing sent to COM3" [ -z "$(e2e_wire 3)" ]
e2e_check "copy is the image" cmp -s "$E2E/drive/AIS_Firmware.S19" "$E2E_APP/Bin/App_K40.SBIN"
e2e_end
