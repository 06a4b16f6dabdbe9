#!/bin/bash
# The serial link under Wine against simulated transponders: port
# discovery through SetupAPI, the exclusive probe, the detection order and
# the exact bytes on the wire. Devices (see tests/win/serial/ports.reg):
#   COM3 silent, COM5 transponder, COM7 transponder, COM9 in use elsewhere,
#   COM261 transponder "2.6.1", LPT1, a COMBO adapter whose "COM" is not
#   followed by digits, one device without a friendly name, and a paired
#   Bluetooth device's port, COM11, which discovery leaves out.
# A port "in use elsewhere": Wine does not refuse a share-0 open of a serial
# device that another Wine process holds open, so the simulator puts its
# terminal in exclusive mode (TIOCEXCL) and the open fails as on Windows.
# Root is exempt from TIOCEXCL, so Wine then runs without CAP_SYS_ADMIN.
set -euo pipefail

. "$WIZARD_SOURCE_DIR/tests/lib/serial-sims.sh"
sims_begin serial_ports
wz_reg_import "$WIZARD_SOURCE_DIR/tests/win/serial/ports.reg"

mkdir -p "$work/rec"
# Each simulator records the bytes it receives and the line settings of
# each request.
recorded_sim() {  # port, options...
  local port=$1; shift
  start_sim "$port" --record "$work/rec/port$port.bin" --line-log "$work/rec/port$port.line" "$@"
}
recorded_sim 3 --silent
recorded_sim 5
recorded_sim 7 --version 7.7.7
recorded_sim 9 --busy
recorded_sim 261 --version 2.6.1
wait_sims 3 5 7 9 261

WZ_SERIAL_RECORDS=$(winepath -w "$work/rec"); export WZ_SERIAL_RECORDS
# The Wine server opens the devices: it must start without the capability.
as_user=()
if [ "$(id -u)" = 0 ]; then as_user=(setpriv --inh-caps=-sys_admin --bounding-set=-sys_admin); fi
wineserver -w
status=0
wz_gtest "${as_user[@]}" wine "$EXE" --gtest_filter='SerialOnWine.*' || status=$?
# Let the server end by itself: killing it makes it dump its objects.
wineserver -w

# Outside view of the wire: the silent port and the answering one got
# queries only; the later transponder on COM7 never got a byte.
if [ -s "$work/rec/port7.bin" ]; then echo "COM7 received bytes" >&2; od -c "$work/rec/port7.bin" >&2; status=1; fi
exit $status
