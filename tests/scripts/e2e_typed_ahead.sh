#!/usr/bin/env bash
# Input given while Start searches the ports (two silent ports before the
# transponder) was meant for the start page: a second Enter 0.3 s after
# the first, or a click where Yes will be, must not answer "Do you want to
# continue?" before the user has seen the two versions. Input given after
# the version page came up works as ever. This user always wants the focus
# rectangles ("Underline access keys"): they show before the first key.
source "$WIZARD_SOURCE_DIR/tests/lib/e2e.sh"
e2e_begin typed-ahead
wine reg add 'HKCU\Control Panel\Desktop' /v UserPreferencesMask /t REG_BINARY /d 3000028012000000 /f >/dev/null 2>&1
e2e_boot_drive e "VAZ UD40"
e2e_ports 3 4 5
e2e_sim 3 --silent
e2e_sim 4 --silent
e2e_sim 5 --drive "$E2E/drive" --version 2.0.1 --ready-delay 3000
e2e_launch
# Start's place as shown and as committed, each also with the ring where the
# focus rectangle goes (3 px inside) blacked out: only the ring differs.
start_place() {
  convert "$1" -crop 145x66+189+257 +repage "$E2E/$2.png" &&
    convert "$E2E/$2.png" +antialias -fill none -stroke black -strokewidth 3 -draw 'rectangle 3,3 141,62' "$E2E/$2-no-ring.png"
}
pixels_apart() { compare -metric AE "$E2E/$1.png" "$E2E/$2.png" null: 2>&1; }
focus_rectangle_shows() {
  e2e_shot start && start_place "$E2E_SHOTS/start.png" shown &&
    start_place "$WIZARD_SOURCE_DIR/docs/screenshots/1-start-page.png" committed &&
    [ "$(pixels_apart shown committed)" != 0 ] && [ "$(pixels_apart shown-no-ring committed-no-ring)" = 0 ]
}
e2e_check "focus rectangle on Start before any key" wz_wait_for focus_rectangle_shows 10
boot_commands() { e2e_wire 5 | grep -o "$E2E_BOOT_HEX" | wc -l; }
no_boot_command_for() { ! wz_wait_for "[ \"\$(boot_commands)\" != 0 ]" "$1"; }
xy() { echo $((E2E_X + $(e2e_px "$1"))) $((E2E_Y + $(e2e_px "$2"))); }

# Keys go to the window under the pointer: a place that shows nothing.
xdotool mousemove --sync $(xy 20 405)
xdotool key --delay 300 Return Return
e2e_check "version page after the first Enter" e2e_wait_page version 30
e2e_check "the second Enter sent no boot command within 6 s" no_boot_command_for 6
e2e_check "the version page stays" [ "$(e2e_page)" = version ]
e2e_click_no
e2e_check "start page after No" e2e_wait_page start 10

# A click on Start, then one where Yes will be, while the ports are asked.
xdotool mousemove --sync $(xy 261 290) click 1 sleep 0.3 mousemove --sync $(xy 390 299) click 1
e2e_check "version page after the click on Start" e2e_wait_page version 30
e2e_check "the second click sent no boot command within 6 s" no_boot_command_for 6
e2e_check "the version page stays after the click" [ "$(e2e_page)" = version ]

# Now the question shows: Enter answers it.
xdotool mousemove --sync $(xy 20 405) key Return
e2e_check "upgrade page after Enter on the version page" e2e_wait_page upgrade 10
e2e_check "one boot command" wz_wait_for "[ \"\$(boot_commands)\" = 1 ]" 10
e2e_end
