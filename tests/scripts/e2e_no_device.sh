#!/usr/bin/env bash
# No transponder answers: the box, and the start page stays. The
# transponder's own port, COM4, is held by another program (chart
# software): the box names it and asks to close that program; a port that
# is registered but gone (COM8) is not named.
source "$WIZARD_SOURCE_DIR/tests/lib/e2e.sh"
e2e_begin no-device
e2e_boot_drive e "VAZ UD40"
e2e_ports 3 4 8
e2e_sim 3 --silent
e2e_sim 4
e2e_hold_ports 4
e2e_launch
e2e_click_start
e2e_expect_box Error "Please confirm your device connection and power!

COM4 (USB Serial Port) is in use by another program, such as navigation or chart software. Close that program and press Start again." OK 30
e2e_check "start page stays" e2e_wait_page start 10
e2e_check "COM3 was asked" [ "$(e2e_wire 3)" = "$E2E_QUERY_HEX" ]
e2e_check "nothing reached the held COM4" [ -z "$(e2e_wire 4)" ]
e2e_shot start-page-after-no-device
e2e_end
