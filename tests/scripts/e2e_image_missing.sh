#!/usr/bin/env bash
# The firmware image cannot be used: the error box at start-up keeps its
# first line and says why, then the start page with Start disabled (Exit
# still ends the program): the Bin folder left behind, the program alone in
# Explorer's folder for a zip under TEMP, a checksum changed, a cut image.
source "$WIZARD_SOURCE_DIR/tests/lib/e2e.sh"
e2e_begin image-missing
no_firmware="No firmware is found or incorrect firmware!"
app() { mkdir -p "$1/Bin"; cp "$E2E_EXE" "$1/FirmwareUpgrade.exe"; cp "$WIZARD_BUILD_DIR/dist/Bin/Firmware.csv" "$1/Bin/"; }
# start_with_box FOLDER PARAGRAPH: the program in FOLDER shows the box with PARAGRAPH.
start_with_box() {
  e2e_start_wizard "$1"
  e2e_expect_box Error "$no_firmware"$'\n\n'"$2" OK 90
  e2e_wait_window 60 || { e2e_fail "no window"; e2e_end; }
  e2e_check "start page shown" e2e_wait_page start 30
  if e2e_start_enabled; then e2e_fail "Start is enabled without a usable image"; fi
}
image=$WIZARD_BUILD_DIR/dist/Bin/App_K40.SBIN

app "$E2E/app"
start_with_box "$E2E/app" "The firmware image was looked for at $(winepath -w "$E2E/app" 2>/dev/null)\\Bin\\App_K40.SBIN, and it is not there. The Bin folder from the zip must stay beside FirmwareUpgrade.exe."
e2e_shot start-page-no-image
e2e_click_start
e2e_check "Start does nothing" wine "$E2E_DRIVER" nobox Error 3
e2e_click_exit
e2e_expect_box "Exit!" "Are you sure to exit?" OK 30
e2e_check "program ended" wz_wait_for "! kill -0 $E2E_WIZARD_PID 2>/dev/null" 30

zip=$(winepath -u "$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')")/Temp1_FirmwareUpgrade-1.8.2-win64.zip
mkdir -p "$zip/FirmwareUpgrade-1.8.2-win64" && cp "$E2E_EXE" "$zip/FirmwareUpgrade-1.8.2-win64/FirmwareUpgrade.exe"
start_with_box "$zip/FirmwareUpgrade-1.8.2-win64" "FirmwareUpgrade.exe was started from inside the zip, where only the program itself was unpacked. Unpack the whole zip into a folder, keep the Bin folder beside FirmwareUpgrade.exe, and start it from there."

# Line 1234 with the checksum's last digit changed, then the image cut in that line.
app "$E2E/damaged"
sed -E '1234s/0(\r?)$/1\1/;t;1234s/[1-9A-F](\r?)$/0\1/' "$image" >"$E2E/damaged/Bin/App_K40.SBIN"
given=$(sed -n 1234p "$E2E/damaged/Bin/App_K40.SBIN" | tr -d '\r') right=$(sed -n 1234p "$image" | tr -d '\r')
damaged="The firmware image $(winepath -w "$E2E/damaged" 2>/dev/null)\\Bin\\App_K40.SBIN is damaged at line 1234: "
again=". Unpack the zip again, and start FirmwareUpgrade.exe from the unpacked folder."
start_with_box "$E2E/damaged" "${damaged}the checksum is ${given: -2}, its bytes give ${right: -2}$again"
e2e_check "the log names the line and why" e2e_log_has "App_K40\.SBIN: line 1234: the checksum is ${given: -2}, its bytes give ${right: -2}\$"
head -c $(($(head -n 1233 "$image" | wc -c) + 20)) "$image" >"$E2E/damaged/Bin/App_K40.SBIN"
start_with_box "$E2E/damaged" "${damaged}the file ends in the middle of a record: it was cut short$again"
e2e_end
