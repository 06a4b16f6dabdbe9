#!/usr/bin/env bash
# The boot drive never reports ready: the box about 11 s after Yes, then
# the start page; a second attempt waits afresh.
source "$WIZARD_SOURCE_DIR/tests/lib/e2e.sh"
e2e_begin drive-not-ready
e2e_standard_bench --no-ready
e2e_start_wizard
e2e_wait_window 90 || { e2e_fail "no window"; e2e_end; }
for attempt in 1 2; do
  e2e_check "start page ($attempt)" e2e_wait_page start 30
  e2e_start_to_version
  e2e_click_yes
  yes_at=$(e2e_now)
  e2e_check "upgrade page ($attempt)" e2e_wait_page upgrade 10
  [ "$attempt" = 1 ] && e2e_shot upgrade-waiting
  e2e_expect_box Error "Devicie update is not ready! Please run again." OK 40
  took=$(e2e_elapsed "$yes_at")
  e2e_check "box ${took}s after Yes" e2e_between "$took" 9.5 16
  e2e_check "start page after the box ($attempt)" e2e_wait_page start 10
  # The device is still in its boot loader: it restarts for the next try.
  e2e_restart_sim 5 --drive "$E2E/drive" --no-ready
done
e2e_end
