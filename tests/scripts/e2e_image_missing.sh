#!/usr/bin/env bash
# The firmware image is missing: the error box at start-up, then the start
# page with Start disabled; Exit still ends the program.
source "$WIZARD_SOURCE_DIR/tests/lib/e2e.sh"
e2e_begin image-missing
mkdir -p "$E2E/app/Bin"
cp "$E2E_EXE" "$E2E/app/"
cp "$WIZARD_BUILD_DIR/dist/Bin/Firmware.csv" "$E2E/app/Bin/"
e2e_start_wizard "$E2E/app"
e2e_expect_box Error "No firmware is found or incorrect firmware!" OK 90
e2e_wait_window 60 || { e2e_fail "no window"; e2e_end; }
e2e_check "start page shown" e2e_wait_page start 30
e2e_shot start-page-no-image
if e2e_start_enabled; then e2e_fail "Start is enabled without an image"; fi
e2e_click_start
e2e_check "Start does nothing" wine "$E2E_DRIVER" nobox Error 3
e2e_click_exit
e2e_expect_box "Exit!" "Are you sure to exit?" OK 30
e2e_check "program ended" wz_wait_for "! kill -0 $E2E_WIZARD_PID 2>/dev/null" 30
e2e_end
