#!/usr/bin/env bash
# A whole upgrade from the keyboard alone, as a user who cannot use a
# mouse does it: Enter (Start), Enter (Yes), "Finish!", Enter (Finish).
# On the way: Tab and Shift+Tab move the focus, wrapping, and show its
# rectangle (only there),
# Tab and Enter press No, Esc is No on the version page and asks the exit
# question on the start and upgrade pages; Esc in that box is its Cancel.
# A screen reader's default action presses a button too, but not while a
# box is up (refused, and not run later). Space presses when it comes up,
# as on a Windows button: held down on Exit it asks nothing yet.
# The reader follows the focus: under Wine 8 through Active Accessibility;
# under Wine 10 as Narrator does, through UI Automation, whose focus events
# it hears and whose focused element it presses (Wine 10's client has no
# patterns to press with: then the press goes through the default action).
source "$WIZARD_SOURCE_DIR/tests/lib/e2e.sh"
e2e_begin keyboard
e2e_standard_bench --ready-delay 3000
e2e_launch
# Keys go to the window under the pointer: a place that shows nothing.
point_at_nothing() { xdotool mousemove --sync $((E2E_X + $(e2e_px 20))) $((E2E_Y + $(e2e_px 405))); }
point_at_nothing
# heard: how many focus events the reader had heard before the last key.
key() { heard=$(cat "$E2E/events.txt" 2>/dev/null | wc -l); xdotool key --clearmodifiers "$1"; }
reader_presses() { wine "$E2E_PROBE" press "$1" >/dev/null 2>&1; }
reader_refused() { wine "$E2E_PROBE" press "$1" >/dev/null 2>>"$E2E/probe.txt"; [ $? = 3 ] || { cat "$E2E/probe.txt" >&2; false; }; }
narrator_presses() {
  local rc=3
  if [ "$WZ_WINE" = 10 ]; then wine "$E2E_UIA_PROBE" invoke "$1" >/dev/null 2>&1; rc=$?; fi
  if [ "$rc" = 3 ]; then reader_presses "$1"; else [ "$rc" = 0 ]; fi
}
# The reader's focus is on ROLE NAME: since the last key, Narrator has heard
# a focus event that names it (Wine 10 names the element focused when it
# gets round to an event, not the one the event was for); under Wine 8 the
# item that Active Accessibility says is focused.
focus_on() {
  if [ "$WZ_WINE" = 10 ]; then
    wz_wait_for "tail -n +$((heard + 1)) '$E2E/events.txt' | tr -d '\r' | grep -qxF 'focus | $1 | $2'" 10
  else
    wz_wait_for "wine '$E2E_PROBE' tree 2>/dev/null | tr -d '\r' | grep -q '^$1 | $2 | .*focused'" 10
  fi
}
if [ "$WZ_WINE" = 10 ]; then e2e_record_events "$E2E_UIA_PROBE"; fi
# Wine 10's client sometimes passes on no more focus events once a message
# box came and went: Narrator's ear starts afresh after each box.
narrator_afresh() { if [ "$WZ_WINE" = 10 ]; then heard=0; e2e_record_events "$E2E_UIA_PROBE"; fi; }
exit_question_cancelled() {
  [ "$(e2e_box "Exit!" Cancel 20)" = "Are you sure to exit?" ] || return 1
  narrator_afresh
}
space_held_asks_nothing() { xdotool keydown space; wine "$E2E_DRIVER" nobox "Exit!" 2 >/dev/null 2>&1; }
# The key repeats while held, then comes up.
space_released_asks() { xdotool keydown space keyup space; exit_question_cancelled; }
exit_question_up() { [ "$(wine "$E2E_DRIVER" boxes "Exit!" 2>/dev/null | tr -d '\r')" = 1 ]; }
# Esc given to the box itself is its Cancel: the box goes, and neither the
# window goes nor the program ends within 5 s (after OK, Wine takes about 2
# and 6 s).
wizard_leaves() { ! kill -0 "$E2E_WIZARD_PID" 2>/dev/null || [ "$(wine "$E2E_DRIVER" count 2>/dev/null | tr -d '\r')" != 1 ]; }
exit_question_escaped() {
  wz_wait_for exit_question_up 20 || return 1
  xdotool mousemove --sync --window "$(xdotool search --onlyvisible --name '^Exit!$' | head -n 1)" 20 20 key Escape
  wz_wait_for '! exit_question_up' 10 && ! wz_wait_for wizard_leaves 5 && point_at_nothing && narrator_afresh
}
# A press the window refused is not run later either: COM3, the first port
# a Start would ask, gets no byte within 3 s of the box's end.
reader_waits_for_the_box() {
  wz_wait_for exit_question_up 20 && reader_refused Start && exit_question_cancelled &&
    ! wz_wait_for '[ -n "$(e2e_wire 3)" ]' 3
}

# Shift+Tab wraps to the link, Tab back to Start: its focus rectangle shows,
# and nothing else changed (the picture without Start's place is the same).
e2e_shot start-no-key
key shift+Tab
e2e_check "Shift+Tab: the reader's focus on the link" focus_on link https://example.com
key Tab
outside_start() { convert "$E2E_SHOTS/$1.png" -fill black -draw 'rectangle 189,257 333,322' "$E2E/$1-outside.png"; }
pixels_apart() { compare -metric AE "$1" "$2" null: 2>&1; }
focus_on_start_only() {
  e2e_shot start-focus && outside_start start-focus && outside_start start-no-key &&
    [ "$(pixels_apart "$E2E_SHOTS/start-focus.png" "$E2E_SHOTS/start-no-key.png")" != 0 ] &&
    [ "$(pixels_apart "$E2E/start-focus-outside.png" "$E2E/start-no-key-outside.png")" = 0 ]
}
e2e_check "focus rectangle on Start only" wz_wait_for focus_on_start_only 10
# Each row: key, what it must lead to.
rows=(
  "Escape|exit_question_escaped"
  "Tab|focus_on button Exit"
  "|space_held_asks_nothing"
  "|space_released_asks"
  "shift+Tab|focus_on button Start"
  "Escape|reader_waits_for_the_box"
  "Return|e2e_wait_page version 30"
  "Tab|focus_on button No"
  "Return|e2e_wait_page start 10"
  "Return|e2e_wait_page version 30"
  "Escape|e2e_wait_page start 10"
  "Return|e2e_wait_page version 30"
  "Tab|focus_on button No"
  "|narrator_presses No"
  "|e2e_wait_page start 10"
  "Return|e2e_wait_page version 30"
  "Return|e2e_wait_page upgrade 10"
  "Escape|exit_question_cancelled"
  "|wz_wait_for e2e_finish_enabled 30"
  "|focus_on button Finish"
  "Return|e2e_wait_page start 10"
  "|focus_on button Start"
)
for row in "${rows[@]}"; do
  IFS='|' read -r k then <<<"$row"
  [ -z "$k" ] || key "$k"
  e2e_check "${k:-wait}: $then" $then
done
e2e_check "image copied" cmp -s "$E2E/drive/AIS_Firmware.S19" "$E2E_APP/Bin/App_K40.SBIN"
e2e_check "one boot command on the wire" [ "$(e2e_wire 5 | grep -o "$E2E_BOOT_HEX" | wc -l)" = 1 ]
e2e_end
