#!/usr/bin/env bash
# A whole upgrade as a user does it: Start finds the transponder on COM5
# (after a silent COM3), Yes sends the boot command, the boot drive comes
# up with READY.TXT, the image is copied, "Finish!", and Finish returns to
# the start page; the file is written through to the drive before
# "Finish!". With E2E_DPI set, the same at that display scaling, the
# clicks at the scaled places. A screen reader reads each page as the
# table of tests/accessible_view.txt says and hears the upgrade's events;
# at 96 DPI every page looks exactly as the committed screenshots.
source "$WIZARD_SOURCE_DIR/tests/lib/e2e.sh"
if [ "$E2E_DPI" = 96 ]; then e2e_begin full-upgrade; else e2e_begin "full-upgrade-${E2E_DPI}dpi"; fi
e2e_standard_bench --version 2.0.1 --ready-delay 5000
e2e_launch
size=$(xwininfo -id "$E2E_WIN" | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w "x" h}')
e2e_check "client area $(e2e_px 554)x$(e2e_px 420) at $E2E_DPI DPI" [ "$size" = "$(e2e_px 554)x$(e2e_px 420)" ]
e2e_shot 1-start-page
e2e_check "read as the start page" e2e_reads_as start
e2e_check "a log-off on the start page is let through" [ "$(e2e_logoff_answer)" = 1 ]
e2e_check "AutoPlay is left alone on the start page" [ "$(e2e_autoplay_answer)" = 0 ]
e2e_record_events
e2e_start_to_version
e2e_shot 2-version-page
e2e_check "read as the version page" e2e_reads_as version
e2e_check "COM3 got the query only" [ "$(e2e_wire 3)" = "$E2E_QUERY_HEX" ]
e2e_check "COM5 got the 16-byte query" [ "$(e2e_wire 5)" = "$E2E_QUERY_HEX" ]
e2e_click_yes
e2e_check "upgrade page after Yes" e2e_wait_page upgrade 10
e2e_shot 3-upgrade-waiting
# The boot drive comes 5 s after the boot command: the wizard waits for it.
e2e_check "a log-off while the wizard waits for the boot drive is refused" [ "$(e2e_logoff_answer)" = 0 ]
e2e_check "AutoPlay is cancelled during the upgrade" [ "$(e2e_autoplay_answer)" = 1 ]
e2e_check "boot command on the wire" wz_wait_for "[ \"\$(e2e_wire 5)\" = '$E2E_QUERY_HEX$E2E_BOOT_HEX' ]" 10
e2e_check "image copied" wz_wait_for "cmp -s '$E2E/drive/AIS_Firmware.S19' '$E2E_APP/Bin/App_K40.SBIN'" 30
e2e_check "Finish enabled" wz_wait_for e2e_finish_enabled 15
finished_at=$(e2e_now)
e2e_check "the firmware file written through to the drive before \"Finish!\"" \
  e2e_flushed_before "$E2E/drive/AIS_Firmware.S19" "$finished_at"
e2e_check "progress at 100%" e2e_progress_full
e2e_check "a log-off after \"Finish!\" is let through" [ "$(e2e_logoff_answer)" = 1 ]
# The picture once it stayed the same for half a second (the messages'
# fade steps every 0.2 s): the last repaint has landed.
settled() {
  e2e_shot "$1" || return 1
  if [ -f "$E2E/$1.last.png" ] && [ "$(compare -metric AE "$E2E_SHOTS/$1.png" "$E2E/$1.last.png" null: 2>&1)" = 0 ]; then
    e2e_between "$(e2e_elapsed "$(cat "$E2E/$1.since")")" 0.5 1e9
  else
    cp "$E2E_SHOTS/$1.png" "$E2E/$1.last.png" && e2e_now >"$E2E/$1.since" && false
  fi
}
e2e_check "the finished page settles" wz_wait_for "settled 4-upgrade-finished" 20
e2e_check "read as the finished page" e2e_reads_as finished
e2e_check "nothing else on the drive" [ "$(ls -A "$E2E/drive" | sort | tr '\n' ' ')" = ".windows-label AIS_Firmware.S19 READY.TXT " ]
e2e_click_finish
e2e_check "start page after Finish" e2e_wait_page start 10
# What support reads afterwards: the ports tried, the device's version, the
# boot drive and the copy.
for line in ' COM3 "USB Serial Port \(COM3\)": opens$' ' COM8 "USB Serial Port \(COM8\)": does not open \(Windows error 2\)$' \
    ' COM3: no answer to the version query$' ' COM5: received [0-9]+ bytes ".*": the transponder, version "2\.0\.1"$' \
    ' boot drive look: E: "VAZ UD40"; boot drive E:, READY\.TXT found$' ' copy done in [0-9.]+ s$' \
    ' copy .*\\Bin\\App_K40\.SBIN \([0-9]+ bytes\) to E:\\AIS_Firmware\.S19$'; do
  e2e_check "the log: $line" e2e_log_has "$line"
done
e2e_shot 6-start-page-again
e2e_check "a screen reader hears the pages, the focus, the end and Finish" e2e_events_in_order \
  "reorder | client | ZEMO ZOD Ezodi R Iravevod Idavedi" "focus | button | Yes" \
  "namechange | text | Upgrading ..." "namechange | text | Upgrade in process!" "alert | alert | Finish!" \
  "statechange | button | Finish" "focus | button | Finish" "focus | button | Start"
e2e_check "the fading messages raise nothing ($(wc -l <"$E2E/events.txt") events)" [ "$(wc -l <"$E2E/events.txt")" -lt 40 ]
# The committed pictures come from the 64-bit build (the 32-bit one draws
# a few pixels of the Exit glyph otherwise, as it always has) under Wine 8
# (Wine 10 smooths the edges of the letters otherwise).
if [ "$E2E_DPI" = 96 ] && [ "$WIZARD_ARCH" = win64 ] && [ "$WZ_WINE" = 8 ]; then
  for shot in 1-start-page 2-version-page 4-upgrade-finished 6-start-page-again; do
    e2e_check "$shot as committed" [ "$(compare -metric AE "$E2E_SHOTS/$shot.png" "$WIZARD_SOURCE_DIR/docs/screenshots/$shot.png" null: 2>&1)" = 0 ]
  done
fi
e2e_end
