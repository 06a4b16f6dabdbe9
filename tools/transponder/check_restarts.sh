#!/usr/bin/env bash
# The device's restarts as the end-to-end cases rely on them, without Wine:
# which links (port, drive) exist when, what the drive holds, and when the
# port answers; and the drive that goes inside the close of a whole image
# (tools/drive_gone). Usage: check_restarts.sh SIMULATOR DRIVE_GONE_SO
set -u
sim=$1 shim=$2
work=$(mktemp -d); trap 'kill $(jobs -p) 2>/dev/null; wait; rm -rf "$work"' EXIT
failed=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAIL: $1" >&2; failed=1; fi; }
until_true() { local i; for i in $(seq 50); do eval "$1" && return 0; sleep 0.1; done; return 1; }
# ask LINK query|boot: what the device says within 0.5 s, at its line settings.
ask() {
  python3 - "$@" <<'PY'
import os, select, sys, termios
try: fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
except OSError: print("no port"); sys.exit()
a = termios.tcgetattr(fd)
a[0] &= ~termios.INPCK; a[2] = (a[2] & ~(termios.CSIZE | termios.PARENB | termios.CSTOPB)) | termios.CS8
a[4] = a[5] = termios.B115200
termios.tcsetattr(fd, termios.TCSANOW, a)
os.write(fd, b"!AIAIQ,VER*3C\r\n\0" if sys.argv[2] == "query" else b"$PDBG,107,1,,,,,,*16\r\n")
got = b""
while select.select([fd], [], [], 0.5)[0]: got += os.read(fd, 4096)
print(got.decode().split(",")[9] if got else "nothing")
PY
}

# The drive's link after a process that has the shim writes the image (of
# 1000 bytes) with BYTES and closes it; "old": the image was written before
# the drive came back, and the process only reads it.
echo "--- the drive that goes at the close of a whole image"
mkdir -p "$work/d"
while IFS='|' read -r name bytes want; do
  ln -sfn "$work/d" "$work/e:"
  if [ "$bytes" = old ]; then head -c 1000 /dev/zero >"$work/d/image"; sleep 0.02; ln -sfn "$work/d" "$work/e:"; fi
  WZ_DRIVE_GONE_FILE=$work/d/image WZ_DRIVE_GONE_SIZE=1000 WZ_DRIVE_GONE_LINK=$work/e: LD_PRELOAD=$shim \
    python3 -c 'import os, sys
fd = os.open(sys.argv[1], os.O_RDWR | os.O_CREAT | (0 if sys.argv[2] == "old" else os.O_TRUNC))
if sys.argv[2] != "old": os.write(fd, bytes(int(sys.argv[2])))
os.close(fd)
print("gone" if not os.path.lexists(sys.argv[3]) else "there")' "$work/d/image" "$bytes" "$work/e:" >"$work/got"
  check "$name: the drive is $want when close returns" "[ \"\$(cat '$work/got')\" = $want ]"
done <<'ROWS'
a whole image|1000|gone
a cut image|999|there
an image from before the drive came back|old|there
ROWS

# run NAME OPTIONS...: a device on $work/com5 with its drive $work/d as
# $work/e:, taken through a boot command to its drive; the image follows.
run() {
  echo "--- $1"; shift
  rm -rf "$work/d" "$work"/com* "$work/e:"; mkdir -p "$work/d"; ln -s "$work/d" "$work/e:"
  "$sim" --link "$work/com5" --drive "$work/d" --drive-link "$work/e:" --ready-delay 200 --reboot-after 0.3 "$@" \
    >/dev/null 2>"$work/sim.log" &
  until_true "[ -e '$work/com5' ]"; ask "$work/com5" boot >/dev/null
  check "the port goes in the boot loader" "[ ! -e '$work/com5' ]"
  check "READY.TXT comes" "until_true '[ -e $work/d/READY.TXT ]'"
  head -c 1000 /dev/urandom >"$work/d/AIS_Firmware.S19"
}
image_taken() { until_true "[ ! -e '$work/d/AIS_Firmware.S19' ]"; }

run "back with the new firmware, on another port, quiet at first" --link-after "$work/com7" --quiet-after-restart 1
check "back on COM7" "until_true '[ -e $work/com7 ]'"
check "the drive went, COM5 stays gone" "[ ! -e '$work/e:' ] && [ ! -e '$work/com5' ]"
check "quiet at first" "[ \"\$(ask '$work/com7' query)\" = nothing ]"
sleep 0.7
check "then the new version" "[ \"\$(ask '$work/com7' query)\" = 2.05.118 ]"

run "back in the boot loader, then with the firmware" --restart-into boot-loader,firmware --drive-back-after 0.5
image_taken
check "the drive went, READY.TXT too" "[ ! -e '$work/e:' ] && [ ! -e '$work/d/READY.TXT' ]"
check "the drive is back with READY.TXT" "until_true '[ -e $work/e:/READY.TXT ]'"
check "without the image, and no port" "[ ! -e '$work/d/AIS_Firmware.S19' ] && [ ! -e '$work/com5' ]"
head -c 1000 /dev/urandom >"$work/d/AIS_Firmware.S19"
check "another image: back with the new firmware" "until_true '[ -e $work/com5 ]' && [ \"\$(ask '$work/com5' query)\" = 2.05.118 ]"

run "back as nothing" --restart-into nothing --drive-back-after 0.2
image_taken; sleep 1
check "neither drive nor port" "[ ! -e '$work/e:' ] && [ ! -e '$work/com5' ]"
exit $failed
