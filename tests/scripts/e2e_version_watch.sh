#!/usr/bin/env bash
# After "Finish!" the transponder restarts, and the wizard watches for its
# return to say what became of the upgrade. The device (on COM5, after a
# silent COM3) is in its boot loader from the boot command on, its port
# gone, and its drive E: goes at the very close that makes the image whole,
# as a boot loader that takes the file at once drops it: "Finish!" all the
# same, and no box. It comes back 3 s after the image is whole:
# 1. with the version it had: "Still version 2.0.1!" and "Please run the
#    upgrade again.";
# 2. with the catalogue's, on COM7, which Windows announces, and silent for
#    its first 4 s, then talking GPS: "Now running version 2.05.118.";
# 3. on COM5, which chart software holds as it comes back: "COM5 is in use
#    by another program.", then the catalogue's version once it is free;
# 4. replugged before its restart, its drive back as it was, the image on
#    it: no verdict for that, then the catalogue's version;
# 5. in its boot loader, its drive back ready for an image and no port:
#    "Still in boot mode!" and "Please run the upgrade again."; Start finds
#    it in boot mode, and after that second copy nothing comes back: "The
#    transponder has not answered since its restart." two minutes after its
#    drive went, and not before.
# Each other return is told within 20 s; the window answers another program
# within 300 ms all the while. The exit question's default is OK on the
# start page and Cancel while the wizard waits for the boot drive.
source "$WIZARD_SOURCE_DIR/tests/lib/e2e.sh"
e2e_begin version-watch
bin=$WIZARD_BUILD_DIR/dist/Bin
drive=(--drive "$E2E/drive" --drive-link "$WINEPREFIX/dosdevices/e:" --ready-delay 2000 --image "$bin/App_K40.SBIN")
restarting=("${drive[@]}" --reboot-after 3)
e2e_boot_drive e "VAZ UD40"
e2e_drive_gone_at_close e
e2e_ports 3 5 7
E2E_HELD_WHILE="$E2E/chart-software-holds-com5" E2E_HELD=("$WINEPREFIX/dosdevices/com5")
e2e_sim 3 --silent
e2e_sim 5 --version 2.0.1 "${restarting[@]}" --version-after 2.0.1
e2e_launch

# What a screen reader reads: an item of the window, as the probe prints it.
shows() { wine "$E2E_PROBE" tree 2>/dev/null | tr -d '\r' | grep -qxF "$1"; }
meter_stop="$E2E/meter.stop"
meter_start() {
  rm -f "$meter_stop"
  wine "$WIZARD_BUILD_DIR/tests/answer_meter.exe" TFormMain "$(winepath -w "$meter_stop")" 300 >"$E2E/meter-$1.txt" 2>/dev/null &
  E2E_PIDS+=($!)
}
meter_check() {
  local longest
  touch "$meter_stop"
  wz_wait_for "grep -q sends= '$E2E/meter-$1.txt'" 30
  longest=$(tr -d '\r' <"$E2E/meter-$1.txt" | sed -n 's/.*longest_ms=\([0-9]*\).*/\1/p')
  e2e_check "$1: the window answered within 300 ms (longest ${longest:-?} ms)" [ "${longest:-99999}" -lt 300 ]
}
no_box() { [ "$(wine "$E2E_DRIVER" boxes Error 2>/dev/null | tr -d '\r')" = 0 ]; }
# How often the shim has taken the drive away inside the close of a whole image.
gone_at_close() { cat "$E2E/drive-gone.txt" 2>/dev/null | wc -l; }

# upgrade NAME: Start, Yes, and the copy to "Finish!" with no box.
upgrade() {
  local gone
  gone=$(gone_at_close)
  e2e_start_to_version
  e2e_click_yes
  e2e_check "$1: upgrade page" e2e_wait_page upgrade 10
  e2e_check "$1: Finish enabled" wz_wait_for e2e_finish_enabled 40
  e2e_check "$1: the drive went at the close of the whole image" [ "$(gone_at_close)" -gt "$gone" ]
  e2e_check "$1: no box at \"Finish!\"" no_box
}

# told NAME RETURNED ITEM...: once RETURNED holds, the items that tell
# what the transponder runs, with the window measured meanwhile.
told() {
  local name=$1 returned=$2 limit=${within:-20} since item
  shift 2
  meter_start "$name"
  e2e_check "$name: the device comes back" wz_wait_for "$returned" 30
  since=$(e2e_now)
  for item in "$@"; do
    e2e_check "$name: \"$item\" within $limit s of the return" wz_wait_for "shows '$item'" "$limit"
  done
  echo "$name: told $(e2e_elapsed "$since") s after the device came back"
  meter_check "$name"
  e2e_check "$name: no box" no_box
}

again="text | Please run the upgrade again. | | readonly"
e2e_check "the exit question's default on the start page is OK" [ "$(e2e_exit_default)" = OK ]
e2e_start_to_version
e2e_click_yes
e2e_check "upgrade page" e2e_wait_page upgrade 10
e2e_check "the exit question's default while the wizard waits for the boot drive is Cancel" \
  [ "$(e2e_exit_default)" = Cancel ]
e2e_check "old version: Finish enabled" wz_wait_for e2e_finish_enabled 40
e2e_check "old version: the drive went at the close of the whole image" [ "$(gone_at_close)" = 1 ]
e2e_check "old version: no box at \"Finish!\"" no_box
told "old version" "[ -e '$WINEPREFIX/dosdevices/com5' ]" "alert | Still version 2.0.1! | | readonly" "$again"
e2e_check "the device took the whole image" grep -q "the image taken is the same as" "$E2E/sim-com5.log"
e2e_check "the log: delivered, not confirmed" \
  e2e_log_has ' outcome: the firmware went whole onto the transponder.s drive, not confirmed there: the drive went away'
e2e_check "the log: the verdict" e2e_log_has ' verdict: the transponder still runs version "2\.0\.1"'
e2e_click_finish
e2e_check "start page after Finish" e2e_wait_page start 10

# Back on another port, silent at first, and half a second slow to answer:
# a look made on the window's thread would hold it that long.
e2e_restart_sim 5 --version 2.0.1 --reply-delay 500 "${restarting[@]}" --link-after "$WINEPREFIX/dosdevices/com7" \
  --quiet-after-restart 4 --gps-first 1
upgrade "new version"
within=60 told "new version" "[ -e '$WINEPREFIX/dosdevices/com7' ] && e2e_announce_port 7" \
  "alert | Now running version 2.05.118. | | readonly"
e2e_shot 5-new-firmware-running
e2e_check "the log: COM7 asked while it was still silent" e2e_log_has ' look [0-9]+: COM7: no answer to the version query$'
e2e_check "the log: COM7's GPS sentences first, quoted in part" \
  e2e_log_has ' look [0-9]+: COM7: received [0-9]+ bytes "\$GPRMC,,V[^"]*"\.\.\.: another device$'
e2e_check "the log: the verdict" e2e_log_has ' verdict: the transponder runs the new firmware, version "2\.05\.118"'
e2e_click_finish
e2e_check "start page after Finish" e2e_wait_page start 10

# Chart software takes COM5 once the boot command is out, until it is named.
e2e_restart_sim 5 --version 2.0.1 "${restarting[@]}"
e2e_start_to_version
e2e_click_yes
e2e_check "held: the transponder left for its boot loader" wz_wait_for "[ ! -e '$WINEPREFIX/dosdevices/com5' ]" 20
touch "$E2E_HELD_WHILE"
e2e_check "held: Finish enabled" wz_wait_for e2e_finish_enabled 40
told "held" "[ -e '$WINEPREFIX/dosdevices/com5' ]" "alert | COM5 is in use by another program. | | readonly"
e2e_shot 9-port-held
rm -f "$E2E_HELD_WHILE"
e2e_check "held: the version within 45 s once COM5 is free" \
  wz_wait_for "shows 'alert | Now running version 2.05.118. | | readonly'" 45
e2e_click_finish
e2e_check "start page after Finish" e2e_wait_page start 10

e2e_restart_sim 5 --version 2.0.1 "${drive[@]}" --reboot-after 15
gone=$(e2e_log | grep -c ' the drive E: has gone')
upgrade "replug"
e2e_check "replug: the watch saw the drive go" wz_wait_for "[ \$(e2e_log | grep -c ' the drive E: has gone') -gt $gone ]" 10
ln -sfn "$E2E/drive" "$WINEPREFIX/dosdevices/e:"
e2e_check "replug: the drive back with the image is no restart" \
  wz_wait_for "e2e_log_has 'back as E: with the image on it: the transponder has not restarted yet'" 10
told "replug" "[ -e '$WINEPREFIX/dosdevices/com5' ]" "alert | Now running version 2.05.118. | | readonly"
e2e_click_finish
e2e_check "start page after Finish" e2e_wait_page start 10

e2e_restart_sim 5 --version 2.05.118 "${restarting[@]}" --restart-into boot-loader,nothing
upgrade "boot loader"
told "boot loader" "[ -e '$WINEPREFIX/dosdevices/e:/READY.TXT' ]" "alert | Still in boot mode! | | readonly" "$again"
e2e_shot 7-still-in-boot-mode
e2e_check "the log: the verdict" e2e_log_has ' verdict: the transponder is back in its boot loader'
e2e_click_finish
e2e_check "start page after Finish" e2e_wait_page start 10
upgrade "silence"
e2e_check "Start found the boot loader" e2e_log_has ' the transponder waits in its boot loader$'
finished=$(e2e_now)
silent="alert | The transponder has not answered since its restart. | | readonly"
meter_start silence
until shows "$silent" || ! e2e_between "$(e2e_elapsed "$finished")" 0 200; do sleep 1; done
after=$(e2e_elapsed "$finished")
e2e_check "silence told two minutes after the drive went, not before (${after} s after \"Finish!\")" \
  e2e_between "$after" 110 170
e2e_shot 8-silent-since-restart
meter_check silence
e2e_check "silence: no box" no_box
e2e_end
