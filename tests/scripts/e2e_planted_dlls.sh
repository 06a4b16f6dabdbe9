#!/usr/bin/env bash
# No DLL dropped beside the wizard is ever loaded. DLLs named msimg32,
# uxtheme and dwmapi lie in the program's folder, each leaving a marker when
# loaded, and Wine is told to search for them as Windows does for DLLs that
# are not known system DLLs (the program's folder first). A whole upgrade
# runs to "Finish!", and no marker appears. A plain program loading them by
# name from that folder shows that the markers work.
source "$WIZARD_SOURCE_DIR/tests/lib/e2e.sh"
e2e_begin planted-dlls
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;msimg32,uxtheme,dwmapi=n,b"
e2e_standard_bench --ready-delay 3000
app="$E2E/Downloads"
mkdir -p "$app"
cp "$E2E_EXE" "$app/"
cp -r "$WIZARD_BUILD_DIR/dist/Bin" "$app/"
planted=(msimg32.dll uxtheme.dll dwmapi.dll)
for dll in "${planted[@]}"; do cp "$WIZARD_BUILD_DIR/tests/planted_dll.dll" "$app/$dll"; done
markers() { ls "$app" | grep -c '\.loaded$'; }

e2e_launch "$app"
e2e_start_to_version
e2e_click_yes
e2e_check "image copied" wz_wait_for "cmp -s '$E2E/drive/AIS_Firmware.S19' '$app/Bin/App_K40.SBIN'" 30
e2e_check "Finish enabled" wz_wait_for e2e_finish_enabled 15
e2e_click_finish
e2e_check "start page" e2e_wait_page start 10
e2e_click_exit
e2e_expect_box "Exit!" "Are you sure to exit?" OK 20
e2e_check "wizard ended" wz_wait_for "! kill -0 $E2E_WIZARD_PID 2>/dev/null" 30
e2e_check "no planted DLL was loaded ($(ls "$app" | grep '\.loaded$' | tr '\n' ' '))" [ "$(markers)" = 0 ]

# The control: a program that searches its own folder first loads them.
cp "$E2E_DRIVER" "$app/"
for dll in "${planted[@]}"; do (cd "$E2E" && wine "$app/$(basename "$E2E_DRIVER")" loadlib "$dll" >/dev/null 2>&1); done
e2e_check "a plain search loads what is planted" [ "$(markers)" = "${#planted[@]}" ]
e2e_end
