#!/usr/bin/env bash
# The boot drive fills up during the copy (a 64 KiB drive): the failure box
# within a few seconds of the copy's start, with Windows' reason after the
# usual text, the start page already shown, and no cut firmware file left
# on the drive.
source "$WIZARD_SOURCE_DIR/tests/lib/e2e.sh"
e2e_begin drive-vanishes
E2E_SMALL_DRIVE=64k e2e_standard_bench --ready-delay 1000
e2e_launch
e2e_start_to_version
e2e_click_yes
yes_at=$(e2e_now)
box=$(e2e_box Error OK 30)
took=$(e2e_elapsed "$yes_at")
# The copy starts about 2 s after Yes: the box used to come 31 s later.
e2e_check "failure box ${took}s after Yes" e2e_between "$took" 1 10
reason=$(e2e_log | sed -n 's/.*copy failed after .*: Windows error 112 "\(.*\)"; the cut target was deleted$/\1/p')
e2e_check "Windows' reason: \"$reason\"" [ -n "$reason" ]
e2e_check "the box: the usual text, then the reason" [ "$box" = "Firmware update failded.
Please reboot your Computer and your Class B Device.
Run the program again.

Copying the firmware onto the transponder's drive E: failed. Windows says: $reason" ]
e2e_check "the log holds the box" e2e_log_has 'box "Error": Firmware update failded\.\\nPlease reboot'
e2e_check "start page" e2e_wait_page start 10
e2e_check "no cut firmware file on the drive" [ ! -e "$E2E/drive/AIS_Firmware.S19" ]
e2e_end
