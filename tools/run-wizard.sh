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
# The transponder: version 2.0.1, its boot drive ready 3 s after the boot
# command, and back with the image's version 3 s after the image is whole.
transponder=(--version 2.0.1 --ready-delay 3000 --reboot-after 3 --image "$out/win/dist/Bin/App_K40.SBIN")
run=run
[ "$E2E_DPI" = 96 ] || run="run-${E2E_DPI}dpi"
source "$root/tests/lib/e2e.sh"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  user_display=$DISPLAY
  e2e_begin "$run"
  export DISPLAY=$user_display
  e2e_standard_bench "${transponder[@]}"
  echo "A simulated transponder answers on COM5; its boot drive is E:. It restarts 3 s after the upgrade."
  echo "Starting the wizard on $DISPLAY: press Start, then Yes; after the restart, Finish."
  e2e_start_wizard
  wait "$E2E_WIZARD_PID"
  exit 0
fi

rm -rf "${WIZARD_SHOTS_DIR:?}/$run"
e2e_begin "$run"
e2e_standard_bench "${transponder[@]}"
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
        # The transponder restarts and the wizard asks it what it runs.
        if ! wz_wait_for "e2e_log_has ' verdict: '" 40; then
          result="the transponder's new version was not shown"
        elif grep -q "the image taken is the same as" "$E2E/sim-com5.log"; then
          sleep 0.3
          e2e_shot 5-new-firmware-running
          result="upgrade finished: the transponder took an image identical to the wizard's and runs it"
          e2e_click_finish
          e2e_wait_page start 10 && e2e_shot 6-start-page-again
        else
          result="the image on the boot drive differed from the wizard's"
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
