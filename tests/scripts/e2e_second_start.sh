#!/usr/bin/env bash
# One wizard at a time: a second start ends at once with exit code 0,
# shows nothing of its own and brings the running wizard forward, restored
# if it was minimised; during an upgrade it leaves the copy and the boot
# drive exactly as one wizard does. Once the first has ended, a new start
# runs normally.
source "$WIZARD_SOURCE_DIR/tests/lib/e2e.sh"
e2e_begin second-start
e2e_standard_bench --ready-delay 3000

windows() { wine "$E2E_DRIVER" count 2>/dev/null | tr -d '\r'; }

e2e_launch
e2e_check "second start ends with code 0" [ "$(e2e_second_start)" = 0 ]
e2e_check "one wizard window" [ "$(windows)" = 1 ]
e2e_check "first wizard still running" kill -0 "$E2E_WIZARD_PID"

wine "$E2E_DRIVER" minimise
e2e_check "first wizard minimised" wz_wait_for "! wine '$E2E_DRIVER' shown 0 2>/dev/null" 10
e2e_check "second start while minimised ends with code 0" [ "$(e2e_second_start)" = 0 ]
e2e_check "first wizard restored" wine "$E2E_DRIVER" shown 10
e2e_check "start page as it was" e2e_wait_page start 10

# During the upgrade.
e2e_start_to_version
e2e_click_yes
e2e_check "upgrade page" e2e_wait_page upgrade 10
e2e_check "second start during the upgrade ends with code 0" [ "$(e2e_second_start)" = 0 ]
e2e_check "image copied" wz_wait_for "cmp -s '$E2E/drive/AIS_Firmware.S19' '$E2E_APP/Bin/App_K40.SBIN'" 30
e2e_check "Finish enabled" wz_wait_for e2e_finish_enabled 15
# The search's query, then one boot command; after "Finish!" the watch may
# already have asked COM5 for the version again.
one_boot() { [[ $(e2e_wire 5) == "$E2E_QUERY_HEX$E2E_BOOT_HEX"* ]] && [ "$(e2e_wire 5 | grep -o "$E2E_BOOT_HEX" | wc -l)" = 1 ]; }
e2e_check "one boot command on the wire" one_boot
e2e_check "nothing else on the drive" [ "$(ls -A "$E2E/drive" | sort | tr '\n' ' ')" = ".windows-label AIS_Firmware.S19 READY.TXT " ]
e2e_check "one wizard window" [ "$(windows)" = 1 ]

# The first ends; a new start is the wizard again.
e2e_click_finish
e2e_check "start page" e2e_wait_page start 10
e2e_click_exit
e2e_expect_box "Exit!" "Are you sure to exit?" OK 20
e2e_check "first wizard ended" wz_wait_for "! kill -0 $E2E_WIZARD_PID 2>/dev/null" 30
e2e_launch
e2e_check "the new start runs normally" [ "$(windows)" = 1 ]
e2e_end
