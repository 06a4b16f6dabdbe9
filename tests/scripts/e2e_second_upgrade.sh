#!/usr/bin/env bash
# Two upgrades in one run; the close box answered Cancel during the
# upgrade leaves it running to "Finish!". The log for support cannot be
# written (a file of the user's stands where its folder goes): the wizard
# works all the same, and leaves that file alone. The image is no S-record
# text (a binary image): it is copied as it is.
source "$WIZARD_SOURCE_DIR/tests/lib/e2e.sh"
e2e_begin second-upgrade
e2e_standard_bench --ready-delay 3000
local_data=("$WINEPREFIX"/drive_c/users/*/AppData/Local)
[ -d "${local_data[0]}" ] || { echo "no local application data in the prefix" >&2; exit 1; }
printf 'mine' >"${local_data[0]}/FirmwareUpgrade"
mkdir -p "$E2E/app/Bin" && cp "$E2E_EXE" "$E2E/app/FirmwareUpgrade.exe" && cp "$WIZARD_BUILD_DIR/dist/Bin/Firmware.csv" "$E2E/app/Bin/"
{ printf '\x7f' && head -c 300000 /dev/urandom; } >"$E2E/app/Bin/App_K40.SBIN"
e2e_start_wizard
e2e_wait_window 90 || { e2e_fail "no window"; e2e_end; }
for attempt in 1 2; do
  e2e_check "start page ($attempt)" e2e_wait_page start 30
  e2e_start_to_version
  e2e_click_yes
  e2e_check "boot command sent ($attempt)" wz_wait_for "[ \"\$(e2e_wire 5)\" = '$E2E_QUERY_HEX$E2E_BOOT_HEX' ]" 10
  if [ "$attempt" = 2 ]; then
    e2e_click_exit  # not on this page: nothing happens
    xdotool key --clearmodifiers alt+F4
    e2e_expect_box "Exit!" "Are you sure to exit?" Cancel 20
  fi
  e2e_check "image copied ($attempt)" wz_wait_for "cmp -s '$E2E/drive/AIS_Firmware.S19' '$E2E_APP/Bin/App_K40.SBIN'" 30
  e2e_check "Finish enabled ($attempt)" wz_wait_for e2e_finish_enabled 15
  e2e_click_finish
  # The device restarts into its application with a fresh wire record.
  rm -f "$E2E/drive/READY.TXT" "$E2E/drive/AIS_Firmware.S19"
  e2e_restart_sim 5 --drive "$E2E/drive" --ready-delay 3000
done
e2e_check "start page at the end" e2e_wait_page start 10
e2e_check "program still running" kill -0 "$E2E_WIZARD_PID"
# No log anywhere in the prefix (the file stands where its folder goes, so
# the usual path cannot hold one), and the file as it was.
log_left_alone() {
  [ -z "$(find "$WINEPREFIX/drive_c" -iname 'FirmwareUpgrade*.log' -print -quit)" ] &&
    [ -f "${local_data[0]}/FirmwareUpgrade" ] && [ "$(cat "${local_data[0]}/FirmwareUpgrade")" = mine ]
}
e2e_check "no log, and the file in its way as it was" log_left_alone
e2e_end
