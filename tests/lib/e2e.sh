# End-to-end harness: the real FirmwareUpgrade.exe in a real window under
# Wine and Xvfb, with simulated transponders on COM ports and a simulated
# boot drive. Source it from a case script; functions are prefixed e2e_.
# Every case gets its own prefix, display and folder, removed at the end.

set -u
source "$WIZARD_SOURCE_DIR/tests/lib/wine-env.sh"

E2E_SIM="${WIZARD_NATIVE_BUILD_DIR:-}/tools/transponder_sim"
# The program under test: this build's, unless the case names another.
E2E_EXE=${E2E_EXE:-"$WIZARD_BUILD_DIR/dist/FirmwareUpgrade.exe"}
E2E_DRIVER="$WIZARD_BUILD_DIR/tests/wizard_driver.exe"
E2E_PROBE="$WIZARD_BUILD_DIR/tests/access_probe.exe"
# Narrator's side: the 64-bit probe, also for the 32-bit program.
E2E_UIA_PROBE=${E2E_UIA_PROBE:-"$WIZARD_BUILD_DIR/tests/uia_probe.exe"}
E2E_PIDS=()
declare -A E2E_SIM_PIDS=()
E2E_HELD=()  # real paths of the terminals of held ports, or their links (whatever is behind them then)
E2E_HELD_WHILE=  # a file: the ports are held only while it exists (chart software, for a while)
E2E_DRIVE_GONE_LINK=  # the link of the boot drive that goes at the close of a whole image
E2E_BOOT_LETTER=      # the boot drive's letter (e2e_boot_drive)
E2E_SLOW_CLOSE_MS=0 E2E_SLOW_FLUSH_MS=0  # the boot drive's pace (e2e_slow_drive)
E2E_FAILED=0
# The display scaling the case runs at (Wine's LogPixels); every place the
# harness clicks or looks at is given at 96 DPI and scaled to it.
E2E_DPI=${E2E_DPI:-96}

# At the first failure, what the display shows: a picture of the whole
# display and the windows on the display with their titles (a box left up).
e2e_fail() {
  echo "FAIL: $*" >&2
  if [ "$E2E_FAILED" = 0 ] && [ -n "${E2E_WIN:-}" ]; then
    import -window root "$E2E_SHOTS/first-failure.png" 2>/dev/null
    echo "windows on the display at the first failure:" >&2
    xwininfo -root -tree 2>/dev/null | grep -E '^ +0x[0-9a-f]+ "' | head -n 20 >&2
  fi
  E2E_FAILED=1
}
e2e_check() {  # message, command...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else e2e_fail "$what"; fi
}

e2e_cleanup() {
  local p live
  # Only the processes of this shell still running: the number of one that
  # has ended (a restarted simulator, a wizard that closed) may belong to
  # another test now.
  live=" $(jobs -rp | tr '\n' ' ') "
  for p in "${E2E_PIDS[@]}"; do [[ "$live" == *" $p "* ]] && kill "$p" 2>/dev/null; done
  for p in "${E2E_PIDS[@]}"; do [[ "$live" == *" $p "* ]] && wait "$p" 2>/dev/null; done
  wineserver -k >/dev/null 2>&1; wineserver -w >/dev/null 2>&1
  wz_stop_xvfb
  mountpoint -q "$E2E/drive" 2>/dev/null && umount "$E2E/drive"
  if [ "${E2E_KEEP:-}" = 1 ]; then echo "kept $E2E"; else rm -rf "$E2E"; fi
}

# e2e_begin NAME: folder, prefix and display of this case (NAME-wine10
# under Wine 10, so that a case can run under both Wines at once).
e2e_begin() {
  E2E_NAME=$1
  [ "$WZ_WINE" = 8 ] || E2E_NAME+="-wine$WZ_WINE"
  echo "under $(wine --version 2>/dev/null)" >&2
  E2E=$(mktemp -d "$WIZARD_BUILD_DIR/e2e-$E2E_NAME.XXXXXX")
  E2E_SHOTS=${WIZARD_SHOTS_DIR:-$WIZARD_BUILD_DIR/e2e-screenshots}/$E2E_NAME
  mkdir -p "$E2E_SHOTS" "$E2E/rec"
  export WINEPREFIX="$E2E/prefix"
  trap e2e_cleanup EXIT
  wz_new_prefix "$WINEPREFIX" || exit 1
  if [ "$E2E_DPI" != 96 ]; then
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$E2E_DPI" /f >/dev/null 2>&1
    wineserver -w
  fi
  wz_start_xvfb || exit 1
  [ -x "$E2E_SIM" ] || { echo "simulator missing: $E2E_SIM" >&2; exit 1; }
}

# e2e_px V: a length or coordinate given at 96 DPI, at the case's DPI
# (halves rounded up, as the wizard rounds).
e2e_px() { echo $(( ($1 * E2E_DPI * 2 + 96) / 192 )); }

# e2e_ports N...: serial port devices COMn present in the port class.
e2e_ports() {
  local reg="$E2E/ports.reg" i=0 n hw
  printf 'Windows Registry Editor Version 5.00\n\n' >"$reg"
  for n in "$@"; do
    hw=$(printf 'SIMPORT\\%04d' "$i" | iconv -t UTF-16LE | od -An -tx1 | tr -s ' \n' ',' | sed 's/^,//;s/,$//')
    printf '[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\ROOT\\PORTS\\%04d]\n' "$i" >>"$reg"
    printf '"ClassGUID"="{4D36E978-E325-11CE-BFC1-08002BE10318}"\n"Class"="Ports"\n' >>"$reg"
    printf '"FriendlyName"="USB Serial Port (COM%s)"\n"HardwareID"=hex(7):%s,00,00,00,00\n\n' "$n" "$hw" >>"$reg"
    i=$((i + 1))
  done
  wz_reg_import "$reg"
}

# e2e_bluetooth_ports N...: serial ports of paired Bluetooth devices, COMn
# in the port class as Windows enumerates them (under Enum\BTHENUM).
e2e_bluetooth_ports() {
  local reg="$E2E/bluetooth.reg" i=0 n
  local key='HKEY_LOCAL_MACHINE\System\CurrentControlSet\Enum\BTHENUM\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002'
  printf 'Windows Registry Editor Version 5.00\n\n' >"$reg"
  for n in "$@"; do
    printf '[%s\\7&2A1B3C4D&0&0012A3B4C5D%X_C00000000]\n' "$key" "$i" >>"$reg"
    printf '"ClassGUID"="{4D36E978-E325-11CE-BFC1-08002BE10318}"\n"Class"="Ports"\n' >>"$reg"
    printf '"FriendlyName"="Standard Serial over Bluetooth link (COM%s)"\n' "$n" >>"$reg"
    printf '"HardwareID"=hex(7):42,00,54,00,48,00,45,00,4e,00,55,00,4d,00,00,00,00,00\n\n' >>"$reg"
    i=$((i + 1))
  done
  wz_reg_import "$reg"
}

# e2e_boot_drive LETTER LABEL: a removable drive whose root is $E2E/drive.
# Wine reads a drive's type and label when its server starts, so the drive
# exists from the start; the device makes it "ready" by READY.TXT.
e2e_boot_drive() {
  local letter=$1 label=$2
  mkdir -p "$E2E/drive"
  if [ "${E2E_SMALL_DRIVE:-}" ]; then mount -t tmpfs -o "size=$E2E_SMALL_DRIVE" tmpfs "$E2E/drive" || return 1; fi
  printf '%s' "$label" >"$E2E/drive/.windows-label"
  ln -sfn "$E2E/drive" "$WINEPREFIX/dosdevices/${letter}:"
  wine reg add 'HKLM\Software\Wine\Drives' /v "${letter}:" /d floppy /f /reg:64 >/dev/null 2>&1
  wineserver -w
  E2E_BOOT_LETTER=$letter
}

# e2e_removal_notices LETTER: while the case runs, each time the drive
# LETTER: goes (its link taken away: tools/drive_gone, the simulator's
# restart, the case itself), the wizard's window is told, as Windows tells
# every window that a volume went (DBT_DEVICEREMOVECOMPLETE); Wine keeps a
# drive whose link went, its letter and its type, and says nothing. A link
# that came and went between two looks is known by tools/drive_gone's
# line. e2e_start_wizard runs it for the boot drive.
e2e_removal_notices() {
  local link="$WINEPREFIX/dosdevices/$1:" there=1 taken=0 now
  while sleep 0.1; do
    now=$(cat "$E2E/drive-gone.txt" 2>/dev/null | wc -l)
    if [ -L "$link" ]; then
      there=1
    elif [ "$there" = 1 ] || [ "$now" != "$taken" ]; then
      there=0
      wine "$E2E_DRIVER" removed "$1" >/dev/null 2>&1 || true
    fi
    taken=$now
  done
}

# e2e_slow_drive CLOSE_MS [FLUSH_MS]: the boot drive takes the image at its
# own pace, as a boot loader busy writing its flash: the close that makes
# the firmware file whole waits CLOSE_MS, each flush of it FLUSH_MS, then
# each succeeds (tools/slow_drive, in the wizard's process; each wait gets
# a line in $E2E/slow-drive.txt). Before e2e_start_wizard.
e2e_slow_drive() { E2E_SLOW_CLOSE_MS=$1 E2E_SLOW_FLUSH_MS=${2:-0}; }

# e2e_windows_version 6.2|6.1. Each program reads the version keys in the
# registry view of its own bitness: both views are set.
e2e_windows_version() {
  [ "$1" = 6.2 ] || return 0
  local key='HKLM\Software\Microsoft\Windows NT\CurrentVersion' view
  for view in /reg:64 /reg:32; do
    wine reg add "$key" /v CurrentVersion /d 10.0 /f $view >/dev/null 2>&1
    wine reg add "$key" /v CurrentMajorVersionNumber /t REG_DWORD /d 10 /f $view >/dev/null 2>&1
    wine reg add "$key" /v CurrentMinorVersionNumber /t REG_DWORD /d 0 /f $view >/dev/null 2>&1
  done
  wineserver -w
}

# e2e_sim PORT [simulator options]: a transponder on COM PORT.
e2e_sim() {
  local port=$1; shift
  "$E2E_SIM" --link "$WINEPREFIX/dosdevices/com$port" --record "$E2E/rec/com$port.bin" "$@" \
    >"$E2E/sim-com$port.log" 2>&1 &
  E2E_PIDS+=($!)
  E2E_SIM_PIDS[$port]=$!
  wz_wait_for "[ -L '$WINEPREFIX/dosdevices/com$port' ]" 30 || { echo "simulator on COM$port did not start" >&2; cat "$E2E/sim-com$port.log" >&2; exit 1; }
}

# e2e_restart_sim PORT [options]: the transponder on PORT restarts (a new
# wire record begins).
e2e_restart_sim() {
  local port=$1 pid=${E2E_SIM_PIDS[$1]}; shift
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
  wz_wait_for "[ ! -e '$WINEPREFIX/dosdevices/com$port' ]" 10
  e2e_sim "$port" "$@"
}

# e2e_hold_ports N...: COMn is held by another program (chart software):
# its open fails with access denied, as on Windows. Wine lets any number of
# programs open a port, so the Wine server that e2e_start_wizard starts
# refuses the port's terminal (tools/held_port). After the port's simulator.
e2e_hold_ports() {
  local n
  for n in "$@"; do E2E_HELD+=("$(readlink -f "$WINEPREFIX/dosdevices/com$n")"); done
}


# e2e_drive_gone_at_close LETTER: the boot drive LETTER: goes at the very
# close that makes the firmware file on it whole, as a boot loader that
# takes the file at once drops its drive: any later open through the letter
# fails. A simulator sees that close too late, so the Wine server and the
# wizard that e2e_start_wizard starts remove the drive's link themselves
# (tools/drive_gone; $E2E/drive-gone.txt says which process did). The whole
# size is that of the wizard's Bin/App_K40.SBIN. After e2e_boot_drive.
e2e_drive_gone_at_close() {
  E2E_DRIVE_GONE_LINK="$WINEPREFIX/dosdevices/$1:"
  E2E_DRIVE_GONE_FILE="$(readlink -f "$E2E_DRIVE_GONE_LINK")/AIS_Firmware.S19"
}

# e2e_announce_port N: Windows' announcement that COMN has come (a USB
# serial device plugged in), sent to the wizard's window; Wine sends none
# for ports. Fails when there is no window.
e2e_announce_port() { wine "$E2E_DRIVER" announce "COM$1" >/dev/null 2>&1; }

# The wizard's log for support, in the prefix's user folder.
e2e_log() { cat "$WINEPREFIX"/drive_c/users/*/AppData/Local/FirmwareUpgrade/FirmwareUpgrade.log 2>/dev/null; }
# e2e_log_has REGEX: a line of the log matches.
e2e_log_has() { e2e_log | grep -qE -- "$1"; }

# e2e_start_wizard [FOLDER]: copies the program with its Bin folder and
# starts it; sets E2E_WIN (X window of the client area).
e2e_start_wizard() {
  E2E_APP=${1:-$E2E/app}
  if [ ! -f "$E2E_APP/FirmwareUpgrade.exe" ]; then
    mkdir -p "$E2E_APP"
    cp "$E2E_EXE" "$E2E_APP/FirmwareUpgrade.exe"
    cp -r "$WIZARD_BUILD_DIR/dist/Bin" "$E2E_APP/"
  fi
  wineserver -k >/dev/null 2>&1; wineserver -w
  local loader tools=$WIZARD_NATIVE_BUILD_DIR/tools
  # Shims for the Wine server, which opens and closes files for its
  # clients; without any, the wizard's loader starts it with its own.
  local server=() wizard=("$tools/flush_log.so" "$tools/flush_log32.so") gone=() slow=()
  [ ${#E2E_HELD[@]} -gt 0 ] && server+=("$tools/held_port.so")
  # A Wine server started by the wizard's loader would take the wizard's
  # shims, and a server that waits holds every program of the prefix.
  [ "$E2E_SLOW_CLOSE_MS" = 0 ] && [ "$E2E_SLOW_FLUSH_MS" = 0 ] || server+=("$tools/flush_log.so")
  if [ -n "$E2E_DRIVE_GONE_LINK" ]; then
    gone=(WZ_DRIVE_GONE_LINK="$E2E_DRIVE_GONE_LINK" WZ_DRIVE_GONE_FILE="$E2E_DRIVE_GONE_FILE"
          WZ_DRIVE_GONE_SIZE="$(stat -c %s "$E2E_APP/Bin/App_K40.SBIN")" WZ_DRIVE_GONE_LOG="$E2E/drive-gone.txt")
    [ ${#server[@]} -gt 0 ] || server+=("$tools/flush_log.so")
    server+=("$tools/drive_gone.so")
    wizard+=("$tools/drive_gone.so" "$tools/drive_gone32.so")
  fi
  if [ ${#server[@]} -gt 0 ]; then
    [ -n "$E2E_HELD_WHILE" ] && gone+=(WZ_HELD_WHILE="$E2E_HELD_WHILE")
    (IFS=:; exec env "${gone[@]}" WZ_FLUSH_LOG="$E2E/flushes.txt" WZ_HELD_PORTS="${E2E_HELD[*]}" \
       LD_PRELOAD="${server[*]}" wineserver -p) 2>>"$E2E/wineserver.log"
  fi
  if [ "$E2E_SLOW_CLOSE_MS" != 0 ] || [ "$E2E_SLOW_FLUSH_MS" != 0 ]; then
    slow=(WZ_SLOW_FILE="$(readlink -f "$E2E/drive")/AIS_Firmware.S19" WZ_SLOW_SIZE="$(stat -c %s "$E2E_APP/Bin/App_K40.SBIN")"
          WZ_SLOW_CLOSE_MS="$E2E_SLOW_CLOSE_MS" WZ_SLOW_FLUSH_MS="$E2E_SLOW_FLUSH_MS" WZ_SLOW_LOG="$E2E/slow-drive.txt")
    wizard+=("$tools/slow_drive.so" "$tools/slow_drive32.so")
  fi
  loader=$(wz_loader "$E2E_APP/FirmwareUpgrade.exe")
  # What the program has written through to a disk, in $E2E/flushes.txt
  # (tools/flush_log; the loader skips the shims of the other width).
  (cd "$E2E" && IFS=: && exec env "${gone[@]}" "${slow[@]}" WZ_FLUSH_LOG="$E2E/flushes.txt" LD_PRELOAD="${wizard[*]}" \
     "$loader" "$E2E_APP/FirmwareUpgrade.exe" >"$E2E/wizard.log" 2>&1) &
  E2E_WIZARD_PID=$!
  E2E_PIDS+=($E2E_WIZARD_PID)
  if [ -n "$E2E_BOOT_LETTER" ] && [ -z "${E2E_NOTICES:-}" ]; then
    e2e_removal_notices "$E2E_BOOT_LETTER" &
    E2E_NOTICES=$!
    E2E_PIDS+=($E2E_NOTICES)
  fi
}

# Starts the program again beside the running one; prints its exit code,
# or 99 when it does not end within 30 s.
e2e_second_start() {
  (cd "$E2E" && exec "$(wz_loader "$E2E_APP/FirmwareUpgrade.exe")" "$E2E_APP/FirmwareUpgrade.exe" >"$E2E/second.log" 2>&1) &
  local pid=$! rc
  if ! wz_wait_for "! kill -0 $pid 2>/dev/null" 30; then kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; echo 99; return; fi
  wait "$pid"; rc=$?
  echo "$rc"
}

# e2e_wait_window [SECONDS]: the wizard's window, shown (Wine makes the X
# window of a hidden one too, before the start-up questions).
e2e_wait_window() {
  E2E_WIN=$(wz_wait_window 'ZEMO ZOD Ezodi' "${1:-90}") || return 1
  wz_wait_for "xwininfo -id $E2E_WIN 2>/dev/null | grep -q 'Map State: IsViewable'" 30 || return 1
  local g
  g=$(xwininfo -id "$E2E_WIN")
  E2E_X=$(awk '/Absolute upper-left X/ {print $4}' <<<"$g")
  E2E_Y=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$g")
}

# e2e_click X Y: a left click at client coordinates of the window.
e2e_click() {
  xdotool mousemove --sync $((E2E_X + $(e2e_px "$1"))) $((E2E_Y + $(e2e_px "$2"))) click 1
}
e2e_click_start()  { e2e_click 261 290; }
e2e_click_exit()   { e2e_click 469 313; }
e2e_click_yes()    { e2e_click 390 299; }
e2e_click_no()     { e2e_click 446 299; }
e2e_click_finish() { e2e_click 248 306; }

# The wizard's answers to Windows' own questions: may the session end (1:
# yes), shall AutoPlay be cancelled (1: yes).
e2e_logoff_answer() { wine "$E2E_DRIVER" logoff 2>/dev/null | tr -d '\r'; }
e2e_autoplay_answer() { wine "$E2E_DRIVER" autoplay 2>/dev/null | tr -d '\r'; }

# e2e_exit_default: asks to close the window (Alt+F4) and prints the exit
# question's default button (OK or Cancel), then answers it Cancel.
e2e_exit_default() {
  xdotool key --clearmodifiers alt+F4
  wine "$E2E_DRIVER" default "Exit!" 20 2>/dev/null | tr -d '\r'
  e2e_box "Exit!" Cancel 20 >/dev/null
}

# e2e_box CAPTION OK|Cancel SECONDS: answers a message box; prints its text.
e2e_box() { wine "$E2E_DRIVER" box "$1" "$2" "$3" 2>/dev/null | tr -d '\r'; }
# e2e_expect_box CAPTION TEXT OK|Cancel SECONDS
e2e_expect_box() {
  local got
  got=$(e2e_box "$1" "$3" "$4")
  if [ "$got" = "$2" ]; then echo "ok: box \"$1\": $2"; else e2e_fail "box \"$1\": wanted \"$2\", got \"$got\""; fi
}

e2e_shot() { import -window "$E2E_WIN" "$E2E_SHOTS/$1.png" 2>/dev/null; }

# Colour of one client pixel as "R G B" (0..255).
e2e_pixel() {
  import -window "$E2E_WIN" -crop "1x1+$(e2e_px "$1")+$(e2e_px "$2")" -depth 8 txt:- 2>/dev/null |
    sed -n 's/.*(\([0-9.]*\),\([0-9.]*\),\([0-9.]*\).*/\1 \2 \3/p' | awk '{printf "%d %d %d\n", $1, $2, $3}'
}

# Which page is shown: start, version or upgrade (by the pictures on it).
e2e_page() {
  local r g b
  read -r r g b < <(e2e_pixel 38 89)
  if [ "$b" -gt $((r + 60)) ]; then echo start; return; fi
  read -r r g b < <(e2e_pixel 39 81)
  if [ "$r" -gt 200 ] && [ "$b" -lt 140 ]; then
    read -r r g b < <(e2e_pixel 369 287)
    if [ "$r" = "$g" ] && [ "$g" = "$b" ]; then echo version; else echo upgrade; fi
    return
  fi
  echo unknown
}

e2e_wait_page() {  # PAGE SECONDS
  wz_wait_for "[ \"\$(e2e_page)\" = $1 ]" "$2"
}

# The progress bar is full when its right end is filled.
e2e_progress_full() {
  local r g b
  read -r r g b < <(e2e_pixel 480 382)
  [ "$r" -lt 200 ] || [ "$g" -lt 200 ]
}

# The Finish button is enabled when its check mark is green, not grey.
e2e_finish_enabled() {
  local r g b
  read -r r g b < <(e2e_pixel 223 306)
  [ "$g" -gt $((r + 40)) ]
}

e2e_end() {
  if [ "$E2E_FAILED" = 0 ]; then echo "$E2E_NAME: passed"; else echo "$E2E_NAME: FAILED"; fi
  exit "$E2E_FAILED"
}

# The Start button is enabled when its hand is in colour, not grey.
e2e_start_enabled() {
  local r g b
  read -r r g b < <(e2e_pixel 226 293)
  [ $((r - b)) -gt 40 ]
}

# e2e_reads_as PAGE: a screen reader reads the window's visible items as
# the [PAGE] section of tests/accessible_view.txt says. Under Wine 10 also
# Narrator, through UI Automation, to which Wine's bridge passes neither
# descriptions, nor values, nor read-only and linked, nor a control type
# for the alert.
e2e_reads_as() {
  local want got status=0
  want=$(awk -v p="[$1]" '/^\[/ { on = ($0 == p); next } on && !/^#/' "$WIZARD_SOURCE_DIR/tests/accessible_view.txt")
  got=$(wine "$E2E_PROBE" tree 2>/dev/null | tr -d '\r')
  [ "$got" = "$want" ] || { diff <(echo "$want") <(echo "$got") >&2; status=1; }
  [ "$WZ_WINE" = 10 ] || return $status
  want=$(sed -E 's/^(([^|]*\|){3}[^|]*)( \|.*)?$/\1/; s/^([^|]*\|[^|]*\|)[^|]*\|/\1 |/; s/ (readonly|linked)//g
                s/^alert /other /' <<<"$want")
  got=$(wine "$E2E_UIA_PROBE" tree 2>/dev/null | tr -d '\r')
  [ "$got" = "$want" ] || { echo "through UI Automation:" >&2; diff <(echo "$want") <(echo "$got") >&2; status=1; }
  return $status
}

# e2e_record_events [PROBE]: the window's events from now on, in
# $E2E/events.txt: all of them through Active Accessibility, or the focus
# changes through UI Automation with E2E_UIA_PROBE. A recorder started
# before ends, and its events go.
e2e_record_events() {
  [ -z "${E2E_RECORDER:-}" ] || { kill "$E2E_RECORDER"; wait "$E2E_RECORDER"; rm -f "$E2E/events.txt"; } 2>/dev/null
  wine "${1:-$E2E_PROBE}" events "$(winepath -w "$E2E/events.txt" 2>/dev/null)" >/dev/null 2>&1 &
  E2E_RECORDER=$!
  E2E_PIDS+=($!)
  wz_wait_for "grep -q hooked '$E2E/events.txt' 2>/dev/null" 30
}

# e2e_events_in_order LINE...: the recorded events hold these, in order;
# the last ones may still be on their way to the recorder for a while.
e2e_events_in_order() {
  local i
  for i in $(seq 1 100); do e2e_events_in_order_now "$@" 2>/dev/null && return 0; sleep 0.1; done
  e2e_events_in_order_now "$@"
}
e2e_events_in_order_now() {
  local from=0 want n
  for want in "$@"; do
    n=$(tail -n "+$((from + 1))" "$E2E/events.txt" | tr -d '\r' | grep -nxF -m1 "$want" | cut -d: -f1)
    [ -n "$n" ] || { echo "no \"$want\" after event $from in:" >&2; cat "$E2E/events.txt" >&2; return 1; }
    from=$((from + n))
  done
}

# The sentences on the wire.
E2E_QUERY_HEX=$(printf '!AIAIQ,VER*3C\r\n\0' | od -An -tx1 | tr -d ' \n')
E2E_BOOT_HEX=$(printf '$PDBG,107,1,,,,,,*16\r\n' | od -An -tx1 | tr -d ' \n')
e2e_wire() { od -An -tx1 "$E2E/rec/com$1.bin" 2>/dev/null | tr -d ' \n'; }

# A typical bench: a silent port, the transponder, and a registered port
# that cannot be opened, with the transponder's boot drive as E:.
e2e_standard_bench() {  # [transponder options]
  e2e_boot_drive e "VAZ UD40"
  e2e_ports 3 5 8
  e2e_sim 3 --silent
  e2e_sim 5 --drive "$E2E/drive" "$@"
}

# e2e_flushed_before FILE TIME: the program had FILE written through to
# the disk whole (its size then was the image's) before TIME.
e2e_flushed_before() {
  local size
  size=$(stat -c %s "$E2E_APP/Bin/App_K40.SBIN")
  awk -v f="$(readlink -f "$1")" -v n="$size" -v t="$2" \
    '($1 == "fsync" || $1 == "fdatasync") && $2 == f && $3 == n && $4 <= t { ok = 1 } END { exit !ok }' \
    "$E2E/flushes.txt" 2>/dev/null
}

# Seconds since the epoch, with fractions.
e2e_now() { date +%s.%N; }
e2e_elapsed() { awk -v a="$1" -v b="$(e2e_now)" 'BEGIN {printf "%.1f", b - a}'; }
e2e_between() { awk -v v="$1" -v lo="$2" -v hi="$3" 'BEGIN {exit !(v >= lo && v <= hi)}'; }

# What there was instead of the wizard's window: whether its process still
# runs, what it and Wine wrote, and the windows on the display.
e2e_no_window_report() {
  {
    kill -0 "$E2E_WIZARD_PID" 2>/dev/null && echo "the wizard's process runs" || echo "the wizard's process has ended"
    echo "its output:"; tail -n 20 "$E2E/wizard.log" 2>/dev/null
    echo "windows on the display, boxes included:"; xwininfo -root -tree 2>/dev/null | grep -E '^ +0x' | head -n 20
  } >&2
}

# Starts the wizard and waits for its start page; ends the case without a
# window, saying what there was instead.
e2e_launch() {
  e2e_start_wizard "$@"
  e2e_wait_window 90 || { e2e_fail "no window"; e2e_no_window_report; e2e_end; }
  e2e_check "start page" e2e_wait_page start 30
}

# Start, and the version page with the transponder found.
e2e_start_to_version() {
  e2e_click_start
  e2e_check "version page after Start" e2e_wait_page version 30
}
