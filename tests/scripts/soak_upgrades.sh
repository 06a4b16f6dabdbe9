#!/usr/bin/env bash
# Soak: 50 upgrades in a row in one run of the program, against the
# simulated transponder (a silent COM3 before it, a registered COM8 that
# cannot be opened after it). Every upgrade must send the query and the boot
# command, reach "Finish!" with the image copied whole and nothing else
# written to the boot drive; after each, the device restarts into its
# application. The image itself must be unchanged at the end.
#
# The process is measured from outside after every upgrade, back on the
# start page with the copy worker idle, by tests/win/tools/proc_meter.cpp:
#   - handles: the program's entries in the system handle table. Wine 8.0
#     answers GetProcessHandleCount with 0 for any process, but fills the
#     system handle table from its server, where every kernel object handle
#     of the process lives (checked with a program that leaks one event a
#     second: the count rises by one a second);
#   - private bytes: PrivateUsage, which Wine leaves at 0; Wine reports the
#     Linux process's anonymous resident memory (RssAnon) as PagefileUsage,
#     and that is taken instead (a program that leaks 1 MiB a second shows
#     it 1 MiB a second higher). On Windows PrivateUsage is used as is;
#   - the open file descriptors of the Linux process that runs the program
#     (Wine keeps one for each open file or port handle it has used).
# Leaks are judged from the 5th to the last upgrade (the first ones warm
# caches, fonts and Wine's lazily loaded parts). Margins:
#   handles, fds   +10: one upgrade opens and closes three ports, a device
#                  list, directory searches and two files; a leak of one
#                  handle per upgrade gives +45 over 45 upgrades, while +10
#                  leaves room for handles Wine makes on its own later;
#   memory     +2 MiB: a leak of one path, one device list or one 64 KiB
#                  copy buffer per upgrade adds up to more over 45
#                  upgrades; the allocator's own noise stays well within it.
# SOAK_UPGRADES (default 50) changes the number of upgrades.
source "$WIZARD_SOURCE_DIR/tests/lib/e2e.sh"

upgrades=${SOAK_UPGRADES:-50}
first=5
handle_margin=10
memory_margin=$((2 * 1024 * 1024))
meter="$WIZARD_BUILD_DIR/tests/proc_meter.exe"
original="$WIZARD_BUILD_DIR/dist/Bin/App_K40.SBIN"

e2e_begin soak-upgrades
e2e_standard_bench --ready-delay 500
e2e_start_wizard
e2e_wait_window 90 || { e2e_fail "no window"; e2e_end; }
[ -x "$meter" ] || [ -f "$meter" ] || { e2e_fail "proc_meter.exe missing"; e2e_end; }

# The Linux process that runs the program: the wine command started by the
# harness execs into it, so it keeps the harness's process id.
linux_pid=$E2E_WIZARD_PID
grep -q 'FirmwareUpgrade.exe' "/proc/$linux_pid/cmdline" 2>/dev/null ||
  { e2e_fail "the program does not run as process $linux_pid"; e2e_end; }

log="$E2E_SHOTS/measurements.txt"
printf '%-8s %-8s %-12s %-6s %-10s\n' upgrade handles private fds rss_anon_kb >"$log"

# measure N: one row for upgrade N; sets m_handles, m_private, m_fds, m_anon.
measure() {
  local line attempt
  # A busy machine can lose one run of the meter (no output at all); that
  # is no leak, so it is asked again.
  for attempt in 1 2 3; do
    line=$(wine "$meter" TFormMain 2>&1 | tr -d '\r')
    grep -q 'system_handles=[0-9]' <<<"$line" && break
    echo "measurement after upgrade $1, attempt $attempt: '$line'" >&2
    sleep 1
  done
  m_handles=$(sed -n 's/.*system_handles=\([0-9]*\).*/\1/p' <<<"$line")
  m_private=$(sed -n 's/.*private=\([0-9]*\).*/\1/p' <<<"$line")
  local pagefile
  pagefile=$(sed -n 's/.*pagefile=\([0-9]*\).*/\1/p' <<<"$line")
  [ "$m_private" = 0 ] && m_private=$pagefile  # Wine: RssAnon
  m_fds=$(ls "/proc/$linux_pid/fd" 2>/dev/null | wc -l)
  m_anon=$(awk '/^RssAnon:/ {print $2}' "/proc/$linux_pid/status" 2>/dev/null)
  if [ -z "$m_handles" ] || [ -z "$m_private" ] || [ "$m_private" = 0 ] || [ -z "$m_anon" ]; then
    e2e_fail "no measurement after upgrade $1: $line"
    return 1
  fi
  printf '%-8s %-8s %-12s %-6s %-10s\n' "$1" "$m_handles" "$m_private" "$m_fds" "$m_anon" >>"$log"
}

# one_upgrade N: Start, Yes, copy, Finish; returns non-zero at the first
# step that fails.
one_upgrade() {
  local n=$1
  e2e_wait_page start 30 || { e2e_fail "upgrade $n: start page"; return 1; }
  e2e_click_start
  e2e_wait_page version 30 || { e2e_fail "upgrade $n: version page after Start"; return 1; }
  e2e_click_yes
  wz_wait_for "[ \"\$(e2e_wire 5)\" = '$E2E_QUERY_HEX$E2E_BOOT_HEX' ]" 15 ||
    { e2e_fail "upgrade $n: query and boot command on the wire"; return 1; }
  # The copy equals the image as shipped, and it is all that was written.
  wz_wait_for "cmp -s '$E2E/drive/AIS_Firmware.S19' '$original'" 30 ||
    { e2e_fail "upgrade $n: image copied"; return 1; }
  wz_wait_for e2e_finish_enabled 15 || { e2e_fail "upgrade $n: Finish enabled"; return 1; }
  e2e_progress_full || { e2e_fail "upgrade $n: progress at 100%"; return 1; }
  [ "$(ls -A "$E2E/drive" | sort | tr '\n' ' ')" = ".windows-label AIS_Firmware.S19 READY.TXT " ] ||
    { e2e_fail "upgrade $n: something else was written to the drive: $(ls -A "$E2E/drive")"; return 1; }
  e2e_click_finish
  e2e_wait_page start 15 || { e2e_fail "upgrade $n: start page after Finish"; return 1; }
  # The device restarts into its application, with a fresh wire record.
  rm -f "$E2E/drive/READY.TXT" "$E2E/drive/AIS_Firmware.S19"
  e2e_restart_sim 5 --drive "$E2E/drive" --ready-delay 500
}

started=$(e2e_now)
done_count=0
measure 0 || e2e_end  # before the first upgrade, for the record
for n in $(seq 1 "$upgrades"); do
  one_upgrade "$n" || break
  done_count=$n
  measure "$n" || break
  if [ "$n" = "$first" ]; then base_handles=$m_handles base_private=$m_private base_fds=$m_fds; fi
done
echo "$done_count of $upgrades upgrades reached Finish in $(e2e_elapsed "$started") s"
e2e_check "all $upgrades upgrades reached Finish" [ "$done_count" = "$upgrades" ]
cat "$log"

if [ "$done_count" = "$upgrades" ] && [ -n "${base_handles:-}" ]; then
  within() {  # what, first, last, margin
    local grow=$(($3 - $2))
    e2e_check "$1 from upgrade $first to $upgrades: $2 -> $3 (+$grow, margin +$4)" [ "$grow" -le "$4" ]
  }
  within "handles" "$base_handles" "$m_handles" "$handle_margin"
  within "private bytes" "$base_private" "$m_private" "$memory_margin"
  within "open fds of the Wine process" "$base_fds" "$m_fds" "$handle_margin"
fi
e2e_check "the image is unchanged" cmp -s "$E2E_APP/Bin/App_K40.SBIN" "$original"
e2e_check "program still running" kill -0 "$E2E_WIZARD_PID"
e2e_end
