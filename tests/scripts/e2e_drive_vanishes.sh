#!/usr/bin/env bash
# The boot drive breaks off during the copy (a full 64 KiB drive): the
# stall box after about 31 s, with the start page already shown.
source "$WIZARD_SOURCE_DIR/tests/lib/e2e.sh"
e2e_begin drive-vanishes
E2E_SMALL_DRIVE=64k e2e_standard_bench --ready-delay 1000
e2e_launch
e2e_start_to_version
e2e_click_yes
yes_at=$(e2e_now)
e2e_check "copy begun" wz_wait_for "[ -e '$E2E/drive/AIS_Firmware.S19' ]" 15
e2e_expect_box Error "Firmware update failded.
Please reboot your Computer and your Class B Device.
Run the program again." OK 60
took=$(e2e_elapsed "$yes_at")
e2e_check "stall box ${took}s after Yes" e2e_between "$took" 30 40
e2e_check "start page" e2e_wait_page start 10
e2e_end
