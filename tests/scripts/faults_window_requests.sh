#!/usr/bin/env bash
# The fixed window under requests to maximise or size it from outside: the
# maximise command that the title bar and the system menu post, a maximise
# through ShowWindow as the task bar does it, the system menu's size
# command, and a new size set through SetWindowPos as window tools do. The
# client area stays 554 by 420 after each, and the start page is still shown.
source "$WIZARD_SOURCE_DIR/tests/lib/e2e.sh"
e2e_begin window-requests
e2e_launch
out=$(wine "$WIZARD_BUILD_DIR/tests/window_requests.exe" TFormMain 2>/dev/null | tr -d '\r')
echo "$out"
for request in found syscommand-maximize showwindow-maximize showwindow-restore syscommand-size setwindowpos-size; do
  size=$(awk -v r="$request" '$1 == r { print $2 }' <<<"$out")
  e2e_check "$request: client area $size" [ "$size" = 554x420 ]
done
e2e_check "not maximised by the command" grep -q '^syscommand-maximize .* zoomed=0$' <<<"$out"
e2e_check "start page still shown" e2e_wait_page start 10
e2e_end
