#!/usr/bin/env bash
# Builds the wizard for Windows and runs it under Wine against a simulated
# transponder on COM5 (with its boot drive as E:).
#  - With a display: the wizard opens on it; click through the upgrade.
#  - Without one: the whole upgrade runs by itself on a virtual display,
#    one line tells the result, and a screenshot of each page is written to
#    a folder that it names.
# Usage: tools/run-wizard.sh   (as root on a fresh machine: installs what it needs)
#        WIZARD_DPI=144 tools/run-wizard.sh   the same at 150 % display scaling
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${WIZARD_OUT:-$root/build}
"$root/tools/install-deps.sh" run || exit 1

echo "Building the wizard and the transponder simulator ..."
if ! { cmake -S "$root" -B "$out/native" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWIZARD_WERROR=OFF >/dev/null &&
       ninja -C "$out/native" transponder_sim >/dev/null &&
       cmake -S "$root" -B "$out/win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
         -DCMAKE_BUILD_TYPE=Release -DWIZARD_NATIVE_BUILD_DIR="$out/native" >/dev/null &&
       ninja -C "$out/win" FirmwareUpgrade wizard_driver >/dev/null; }; then
  echo "build failed" >&2
  exit 1
fi

export WIZARD_SOURCE_DIR="$root" WIZARD_BUILD_DIR="$out/win" WIZARD_NATIVE_BUILD_DIR="$out/native"
export WIZARD_SHOTS_DIR="$out/screenshots"
export E2E_DPI=${WIZARD_DPI:-96}
run=run
[ "$E2E_DPI" = 96 ] || run="run-${E2E_DPI}dpi"
source "$root/tests/lib/e2e.sh"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  user_display=$DISPLAY
  e2e_begin "$run"
  export DISPLAY=$user_display
  e2e_standard_bench --version 2.0.1 --ready-delay 3000
  echo "A simulated transponder answers on COM5; its boot drive is E:."
  echo "Starting the wizard on $DISPLAY: press Start, then Yes, then Finish."
  e2e_start_wizard
  wait "$E2E_WIZARD_PID"
  exit 0
fi

rm -rf "${WIZARD_SHOTS_DIR:?}/$run"
e2e_begin "$run"
e2e_standard_bench --version 2.0.1 --ready-delay 3000
e2e_start_wizard
result="the upgrade did not finish"
if e2e_wait_window 120 && e2e_wait_page start 30; then
  e2e_shot 1-start-page
  e2e_click_start
  if e2e_wait_page version 30; then
    e2e_shot 2-version-page
    e2e_click_yes
    if e2e_wait_page upgrade 10; then
      sleep 0.5
      e2e_shot 3-upgrade-page
      if wz_wait_for e2e_finish_enabled 40; then
        sleep 0.3
        e2e_shot 4-upgrade-finished
        if cmp -s "$E2E/drive/AIS_Firmware.S19" "$E2E_APP/Bin/App_K40.SBIN"; then
          result="upgrade finished: AIS_Firmware.S19 on the boot drive is identical to the image"
          e2e_click_finish
          e2e_wait_page start 10 && e2e_shot 5-start-page-again
        else
          result="the copy on the boot drive differs from the image"
        fi
      else
        result="the upgrade did not reach Finish"
      fi
    else
      result="the upgrade page did not appear"
    fi
  else
    result="the transponder was not found"
  fi
else
  result="the wizard's window did not appear"
fi
echo "Result: $result. Screenshots: $WIZARD_SHOTS_DIR/$run"
case "$result" in upgrade\ finished*) exit 0 ;; *) exit 1 ;; esac
