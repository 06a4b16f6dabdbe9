#!/usr/bin/env bash
# No transponder answers: the box, and the start page stays. The
# transponder's own port, COM4, is held by another program (chart
# software): the box names it and asks to close that program; a port that
# is registered but gone (COM8) is not named. With no COM port at all, the
# box says so.
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
e2e_check "the log tells why COM4 was left" \
  e2e_log_has '^[-0-9 :.]+ COM4 "USB Serial Port \(COM4\)": does not open \(Windows error 5\): held by another program$'
e2e_shot start-page-after-no-device
wine reg delete 'HKLM\System\CurrentControlSet\Enum\ROOT\PORTS' /f >/dev/null 2>&1
e2e_click_start
e2e_expect_box Error "Please confirm your device connection and power!

Windows lists no COM port. Check the USB cable and that the transponder is on. If it is connected and on, Windows may lack its USB driver: see Device Manager, under \"Ports (COM & LPT)\"." OK 30
e2e_end
