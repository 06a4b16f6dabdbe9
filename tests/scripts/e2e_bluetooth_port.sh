#!/usr/bin/env bash
# A paired Bluetooth device's serial port is never opened: COM3 belongs to
# a device enumerated under BTHENUM (opening it would make Windows call the
# paired device and block for seconds), and behind it sits something that
# would answer as a transponder. The transponder itself is on COM4. Start
# finds it on COM4; COM3 is never opened and gets no byte; Yes sends the
# boot command to COM4.
source "$WIZARD_SOURCE_DIR/tests/lib/e2e.sh"
e2e_begin bluetooth-port
e2e_bluetooth_ports 3
e2e_ports 4
e2e_sim 3 --watch-opens "$E2E/com3.opens"
e2e_sim 4 --watch-opens "$E2E/com4.opens"
e2e_launch
e2e_start_to_version
e2e_click_yes
e2e_check "boot command to COM4" wz_wait_for "[ \"\$(e2e_wire 4)\" = '$E2E_QUERY_HEX$E2E_BOOT_HEX' ]" 10
e2e_check "COM4 was opened (the watch sees opens)" [ -s "$E2E/com4.opens" ]
never_opened() { [ -f "$1" ] && [ ! -s "$1" ]; }
e2e_check "COM3 never opened" never_opened "$E2E/com3.opens"
e2e_check "nothing written to COM3" [ -z "$(e2e_wire 3)" ]
e2e_end
