#!/usr/bin/env bash
# While the wizard waits for the boot drive, the two upgrade messages fade
# through their colours, one step every 200 ms, driven by the real timers:
# screenshots taken about 200 ms apart differ, and only in those messages.
source "$WIZARD_SOURCE_DIR/tests/lib/e2e.sh"
e2e_begin blinking-messages
e2e_standard_bench --no-ready
e2e_launch
e2e_start_to_version
e2e_click_yes
e2e_check "upgrade page" e2e_wait_page upgrade 10
for i in 1 2 3 4 5 6; do
  e2e_shot "blink-$i"
  sleep 0.2
done
# The messages' place in the client area: x 62..486, y 188..237.
changed=0
for i in 1 2 3 4 5; do
  a="$E2E_SHOTS/blink-$i.png" b="$E2E_SHOTS/blink-$((i + 1)).png"
  pixels=$(compare -metric AE "$a" "$b" null: 2>&1 | cut -d' ' -f1)
  [ "$pixels" = 0 ] && continue
  # The bounding box of the pixels that changed.
  box=$(compare "$a" "$b" -compose src -highlight-color white -lowlight-color black png:- 2>/dev/null |
        convert - -format '%@' info: 2>/dev/null)
  read -r w h x y < <(sed -E 's/([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)/\1 \2 \3 \4/' <<<"$box")
  changed=$((changed + 1))
  if [ "$x" -lt 62 ] || [ "$y" -lt 188 ] || [ $((x + w)) -gt 487 ] || [ $((y + h)) -gt 238 ]; then
    e2e_fail "screenshots $i and $((i + 1)) differ outside the messages: $box"
  fi
done
e2e_check "the messages changed colour ($changed of 5 pairs)" [ "$changed" -ge 2 ]
e2e_expect_box Error "Devicie update is not ready! Please run again." OK 40
e2e_end
