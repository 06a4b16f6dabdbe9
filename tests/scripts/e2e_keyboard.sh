#!/usr/bin/env bash
# A whole upgrade from the keyboard alone, as a user who cannot use a
# mouse does it: Enter (Start), Enter (Yes), "Finish!", Enter (Finish).
# On the way: Tab moves the focus and shows its rectangle (only there),
# Tab and Enter press No, Esc is No on the version page and asks the exit
# question on the start and upgrade pages.
source "$WIZARD_SOURCE_DIR/tests/lib/e2e.sh"
e2e_begin keyboard
e2e_standard_bench --ready-delay 3000
e2e_launch
# Keys go to the window under the pointer: a place that shows nothing.
xdotool mousemove --sync $((E2E_X + $(e2e_px 20))) $((E2E_Y + $(e2e_px 405)))
key() { xdotool key --clearmodifiers "$1"; }
exit_question_cancelled() { [ "$(e2e_box "Exit!" Cancel 20)" = "Are you sure to exit?" ]; }

# Tab to Exit and Shift+Tab back: the focus rectangle on Start, nothing else changed.
e2e_shot start-no-key
key Tab; key shift+Tab
e2e_check "focus rectangle on Start only" wz_wait_for \
  "e2e_shot start-focus && e2e_differs_only_in start-focus '$E2E_SHOTS/start-no-key.png' 189 257 145 66" 10
# Each row: key, what it must lead to.
rows=(
  "Escape|exit_question_cancelled"
  "Return|e2e_wait_page version 30"
  "Tab|true"
  "Return|e2e_wait_page start 10"
  "Return|e2e_wait_page version 30"
  "Escape|e2e_wait_page start 10"
  "Return|e2e_wait_page version 30"
  "Return|e2e_wait_page upgrade 10"
  "Escape|exit_question_cancelled"
  "|wz_wait_for e2e_finish_enabled 30"
  "Return|e2e_wait_page start 10"
)
for row in "${rows[@]}"; do
  IFS='|' read -r k then <<<"$row"
  [ -z "$k" ] || key "$k"
  e2e_check "${k:-wait}: $then" $then
done
e2e_check "image copied" cmp -s "$E2E/drive/AIS_Firmware.S19" "$E2E_APP/Bin/App_K40.SBIN"
e2e_check "one boot command on the wire" [ "$(e2e_wire 5 | grep -o "$E2E_BOOT_HEX" | wc -l)" = 1 ]
e2e_end
