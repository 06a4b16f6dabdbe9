#!/usr/bin/env bash
# The window stays alive while Start scans the ports: seven silent ports
# and the transponder on the eighth, and another program asks the window
# WM_NULL again and again throughout. The window answers while the search
# goes on (the ports are asked together, each on a thread): no ask waits
# through half of the search, as every ask would if the window waited for
# the ports. How promptly it answers is the benchmark's figure
# (bench/window_answers.sh), not this case's. The device is still
# found on the eighth port after a query on each silent one. In a second
# search, Alt+F4 asks "Are you sure to exit?", and OK ends the wizard at once.
source "$WIZARD_SOURCE_DIR/tests/lib/e2e.sh"
e2e_begin scan-answers
silent=(11 12 13 14 15 16 17)
e2e_ports "${silent[@]}" 18
for p in "${silent[@]}"; do e2e_sim "$p" --silent; done
e2e_sim 18
e2e_launch

stop="$E2E/meter.stop"
: >"$E2E/meter.txt"
wine "$WIZARD_BUILD_DIR/tests/answer_meter.exe" TFormMain "$(winepath -w "$stop")" 120 \
  >"$E2E/meter.txt" 2>/dev/null &
meter=$!
E2E_PIDS+=($meter)
e2e_check "meter found the window" wz_wait_for "grep -q found '$E2E/meter.txt'" 60
started=$(e2e_now)
e2e_click_start
e2e_check "version page after Start" e2e_wait_page version 60
searched=$(e2e_elapsed "$started")
echo "scan to the version page: $searched s"
touch "$stop"
wz_wait_for "grep -q sends= '$E2E/meter.txt'" 30
result=$(tr -d '\r' <"$E2E/meter.txt" | grep sends= || true)
echo "meter: ${result:-no result}"
longest=$(sed -n 's/.*longest_ms=\([0-9]*\).*/\1/p' <<<"$result")
sends=$(sed -n 's/.*sends=\([0-9]*\).*/\1/p' <<<"$result")
e2e_check "the window was asked throughout the scan" [ "${sends:-0}" -ge 5 ]
half_ms=$(awk -v s="$searched" 'BEGIN {printf "%d", s * 500}')
e2e_check "no ask waited through half the search (longest ${longest:-?} ms of ${searched} s)" \
  [ "${longest:-99999}" -lt "$half_ms" ]
for p in "${silent[@]}"; do
  e2e_check "COM$p got the query" [ "$(e2e_wire "$p")" = "$E2E_QUERY_HEX" ]
done
e2e_check "COM18 got the query" [ "$(e2e_wire 18)" = "$E2E_QUERY_HEX" ]
e2e_check "the log lists the ports in order" \
  [ "$(e2e_log | sed -n 's/.* at [0-9]* ms: COM\([0-9]*\): .*/\1/p' | tr '\n' ' ')" = "11 12 13 14 15 16 17 18 " ]
at_ms() { e2e_log | sed -n "s/.* at \([0-9]*\) ms: COM$1: .*/\1/p" | tail -n 1; }
e2e_check "the transponder chosen within 1.6 s of the asking ($(at_ms 18) ms)" [ "$(at_ms 18)" -lt 1600 ]

# Leaving during a search: Alt+F4 asks as on the start page, and OK ends the
# wizard at once, without a choice.
e2e_click_no
e2e_check "start page after No" e2e_wait_page start 10
e2e_click_start
xdotool key --clearmodifiers alt+F4
e2e_expect_box "Exit!" "Are you sure to exit?" OK 20
e2e_check "the wizard ends" wz_wait_for "! kill -0 $E2E_WIZARD_PID 2>/dev/null" 10
e2e_check "the log says so" e2e_log_has "exit during the search: the program ends"
e2e_check "no choice in the second search" e2e_log_has "the search ends without a choice"
e2e_end
