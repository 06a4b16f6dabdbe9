#!/usr/bin/env bash
# After "Finish!" the transponder restarts from its new firmware, and the
# wizard asks it what it runs. The device (on COM5, after a silent COM3)
# is in its boot loader from the boot command on, its port gone, and comes
# back 3 s after the image is whole on its drive: first with the version it
# had ("Still version 2.0.1!" and "Please run the upgrade again."), then,
# in a second upgrade, with the catalogue's ("Now running version
# 2.05.118."), each told within 20 s of its return. The window answers
# another program within 300 ms all the while, and no box comes.
source "$WIZARD_SOURCE_DIR/tests/lib/e2e.sh"
e2e_begin version-watch
bin=$WIZARD_BUILD_DIR/dist/Bin
restarting=(--drive "$E2E/drive" --ready-delay 2000 --reboot-after 3 --image "$bin/App_K40.SBIN")
e2e_boot_drive e "VAZ UD40"
e2e_ports 3 5
e2e_sim 3 --silent
e2e_sim 5 --version 2.0.1 "${restarting[@]}" --version-after 2.0.1
e2e_launch

# What a screen reader reads: an item of the window, as the probe prints it.
shows() { wine "$E2E_PROBE" tree 2>/dev/null | tr -d '\r' | grep -qxF "$1"; }

# round NAME VERDICT...: an upgrade to "Finish!", the device's return, and
# the items that tell what it runs, with the window measured meanwhile.
round() {
  local name=$1 returned stop="$E2E/meter-$1.stop" meter="$E2E/meter-$1.txt" longest item
  shift
  e2e_start_to_version
  e2e_click_yes
  e2e_check "$name: the port is gone in the boot loader" wz_wait_for "[ ! -e '$WINEPREFIX/dosdevices/com5' ]" 10
  e2e_check "$name: Finish enabled" wz_wait_for e2e_finish_enabled 40
  wine "$WIZARD_BUILD_DIR/tests/answer_meter.exe" TFormMain "$(winepath -w "$stop")" 120 >"$meter" 2>/dev/null &
  E2E_PIDS+=($!)
  e2e_check "$name: the device restarts" wz_wait_for "[ -e '$WINEPREFIX/dosdevices/com5' ]" 30
  returned=$(e2e_now)
  for item in "$@"; do
    e2e_check "$name: \"$item\" within 20 s of the return" wz_wait_for "shows '$item'" 20
  done
  echo "$name: told $(e2e_elapsed "$returned") s after the device came back"
  touch "$stop"
  wz_wait_for "grep -q sends= '$meter'" 30
  longest=$(tr -d '\r' <"$meter" | sed -n 's/.*longest_ms=\([0-9]*\).*/\1/p')
  e2e_check "$name: the window answered within 300 ms (longest ${longest:-?} ms)" [ "${longest:-99999}" -lt 300 ]
  e2e_check "$name: no box" [ "$(wine "$E2E_DRIVER" boxes Error 2>/dev/null | tr -d '\r')" = 0 ]
  e2e_check "$name: the device took the whole image" grep -q "the image taken is the same as" "$E2E/sim-com5.log"
}

round "old version" "alert | Still version 2.0.1! | | readonly" "text | Please run the upgrade again. | | readonly"
e2e_check "the log: the verdict" e2e_log_has ' verdict: the transponder still runs version "2\.0\.1"'
e2e_click_finish
e2e_check "start page after Finish" e2e_wait_page start 10

# This time the device takes half a second to answer: a look made on the
# window's thread would hold the window that long.
e2e_restart_sim 5 --version 2.0.1 --reply-delay 500 "${restarting[@]}"
round "new version" "alert | Now running version 2.05.118. | | readonly"
e2e_shot 5-new-firmware-running
e2e_check "the log: the verdict" e2e_log_has ' verdict: the transponder runs the new firmware, version "2\.05\.118"'
e2e_check "the log: each look" e2e_log_has ' look [0-9]+: COM5: the port does not open for the query$'
e2e_end
