#!/usr/bin/env bash
# The wizard always appears: started many times, several at once, each start
# in a Wine session of its own (a new Wine server, its services and its
# desktop process come up with it, as on a machine's first start), every
# start shows its window, or says in its log that it has none and ends.
# Then a start on a desktop without a display driver, whose window cannot be
# made: it ends on its own with Windows' reason in its log, and the start
# after it, with the driver back, finds no lock held and shows its window.
source "$WIZARD_SOURCE_DIR/tests/lib/e2e.sh"

lanes=${E2E_STARTUP_LANES:-4}  # starts at once
rounds=${E2E_STARTUP_ROUNDS:-4}  # starts one after another in each lane
results=$(mktemp -d "$WIZARD_BUILD_DIR/e2e-startup-results.XXXXXX")
trap 'rm -rf "$results"' EXIT

# How a start ended: "window" (shown and mapped), "ended" (no window, said so
# in the log, process gone), or what there was instead after the bound.
startup_outcome() {
  local limit=$1 i id before=$2
  for i in $(seq 1 $((limit * 10))); do
    id=$(xdotool search --name 'ZEMO ZOD Ezodi' 2>/dev/null | head -n 1)
    if [ -n "$id" ] && xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable'; then
      echo window; return
    fi
    if ! kill -0 "$E2E_WIZARD_PID" 2>/dev/null; then
      if [ "$(e2e_log | grep -c '^.*no window: ')" -gt "$before" ]; then echo ended; else echo "ended without a word"; fi
      return
    fi
    sleep 0.1
  done
  echo "neither a window nor an end within $limit s"
}

# One lane: its own prefix and display, starts one after another.
lane() {
  local k=$1 r outcome before
  e2e_begin "startup-$k"
  for r in $(seq 1 "$rounds"); do
    before=$(e2e_log | grep -c 'no window: ')
    e2e_start_wizard
    outcome=$(startup_outcome 90 "$before")
    echo "lane $k start $r: $outcome" >>"$results/lane$k"
    [ "$outcome" = window ] || [ "$outcome" = ended ] || e2e_no_window_report
    kill "$E2E_WIZARD_PID" 2>/dev/null; wait "$E2E_WIZARD_PID" 2>/dev/null
  done
  [ "$k" = 1 ] || exit 0
  # No display driver for the desktop: no window can be made.
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d nothing /f >/dev/null 2>&1
  before=$(e2e_log | grep -c 'no window: ')
  e2e_start_wizard
  outcome=$(startup_outcome 90 "$before")
  echo "no driver: $outcome" >>"$results/lane$k"
  e2e_log | grep 'no window: ' | tail -n 1 >>"$results/lane$k"
  kill "$E2E_WIZARD_PID" 2>/dev/null; wait "$E2E_WIZARD_PID" 2>/dev/null
  wine reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f >/dev/null 2>&1
  e2e_start_wizard
  echo "after it: $(startup_outcome 90 0)" >>"$results/lane$k"
  exit 0
}

started=$(e2e_now)
for k in $(seq 1 "$lanes"); do (lane "$k") & done
wait
cat "$results"/lane*
total=$(cat "$results"/lane* | grep -c '^lane ')
shown=$(cat "$results"/lane* | grep -c '^lane .*: window$')
echo "$shown of $total starts showed their window in $(e2e_elapsed "$started") s"

E2E_NAME=startup-many
e2e_check "every start showed its window or ended saying so" \
  [ "$(cat "$results"/lane* | grep -c -E '^lane .*: (window|ended)$')" = $((lanes * rounds)) ]
e2e_check "a start without a display driver ends by itself" grep -qx 'no driver: ended' "$results/lane1"
e2e_check "its log gives Windows' reason" grep -qE "no window: the task bar's window could not be made: Windows (says: .* \(error [0-9]+\)|gave no reason)" "$results/lane1"
e2e_check "the start after it finds no lock held and shows its window" grep -qx 'after it: window' "$results/lane1"
e2e_end
