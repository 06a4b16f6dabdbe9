#!/bin/bash
# Replies as one Wine read sees them: each port has a simulated transponder
# with one way of answering (see tests/win/serial/serial_replies_test.cpp).
set -euo pipefail

. "$WIZARD_SOURCE_DIR/tests/lib/serial-sims.sh"
sims_begin serial_replies
start_sim 2 --gap 100 --gap-after 10
start_sim 3 --noise 300
start_sim 4 --other-model
start_sim 5 --model-later
start_sim 6 --few-commas
start_sim 7 --long-version
start_sim 8 --noise 200
start_sim 9 --reply-delay 300
wait_sims 2 3 4 5 6 7 8 9

status=0
WZ_SERIAL_REPLIES=1 wz_gtest wine "$EXE" --gtest_filter='SerialRepliesOnWine.*' || status=$?
wineserver -w
exit $status
