#!/bin/bash
# Benchmark (not a test): time to identify the transponder on the last of n
# ports, the others silent, divided by the bound: one read time-out
# (902 ms) and 300 ms for the discovery, the probes and the device's answer,
# 1202 ms whatever n, since the ports are asked together. A ratio of at
# most 1 means that the silent ports cost one time-out between them. Each
# case is the median of TRIES detections (default 3).
#
# With --bluetooth: the detection with two ports of paired Bluetooth
# devices registered before the device's port (COM11 and COM12, each with a
# silent simulator behind it, then a silent COM13 and the device on COM14)
# against the same without the two, taking turns; prints both medians and
# their ratio. Those ports are left out unopened, so they should cost
# nothing (target: within 5%).
#
# Usage: bench/serial_identify.sh [n...]   (default: 3 9 17)
#        bench/serial_identify.sh --bluetooth
# Needs WIZARD_BUILD_DIR (cross build, with win_serial_tests.exe) and
# WIZARD_NATIVE_BUILD_DIR (native build, with tools/transponder_sim).
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
: "${WIZARD_BUILD_DIR:?cross build folder}" "${WIZARD_NATIVE_BUILD_DIR:?native build folder}"
export WIZARD_SOURCE_DIR=${WIZARD_SOURCE_DIR:-$here}
# shellcheck source=../tests/lib/wine-env.sh
. "$WIZARD_SOURCE_DIR/tests/lib/wine-env.sh"

SIM=$WIZARD_NATIVE_BUILD_DIR/tools/transponder_sim
EXE=$WIZARD_BUILD_DIR/tests/win_serial_tests.exe
bluetooth=0
if [ "${1:-}" = --bluetooth ]; then bluetooth=1; shift; fi
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(3 9 17)

work=$(mktemp -d "$WIZARD_BUILD_DIR/serial_bench.XXXXXX")
export WINEPREFIX=$work/prefix
pids=()
stop_sims() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  pids=()
}
cleanup() { stop_sims; wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"; }
trap cleanup EXIT

# Ports COM11 and up: Wine gives the low numbers to the host's serial
# devices (COM1 opens /dev/ttyS0 whatever dosdevices says).
base=10

enum='HKEY_LOCAL_MACHINE\System\CurrentControlSet\Enum'
bt_key="$enum\\BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002"

device() {  # key, friendly name, hardware id
  local hw
  hw=$(printf '%s' "$3" | iconv -t UTF-16LE | od -An -tx1 | tr -s ' \n' ',' | sed 's/^,//')
  printf '[%s]\r\n"ClassGUID"="{4D36E978-E325-11CE-BFC1-08002BE10318}"\r\n"Class"="Ports"\r\n' "$1"
  printf '"FriendlyName"="%s"\r\n"HardwareID"=hex(7):%s00,00,00,00\r\n\r\n' "$2" "$hw"
}

# registry FIRST N [BLUETOOTH]: ports COM(10+FIRST)..COM(10+N); with
# BLUETOOTH, the first BLUETOOTH of them belong to paired Bluetooth devices.
registry() {
  local first=$1 n=$2 bt=${3:-0} i
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[-%s\\ROOT\\PORTS]\r\n\r\n[-%s\\BTHENUM]\r\n\r\n' "$enum" "$enum"
  for i in $(seq "$first" "$n"); do
    if [ "$i" -lt $((first + bt)) ]; then
      device "$bt_key\\7&2A1B3C4D&0&0012A3B4C5D$i" "Standard Serial over Bluetooth link (COM$((base + i)))" BTHENUM
    else
      device "$enum\\ROOT\\PORTS\\$(printf %04d "$i")" "USB Serial Port (COM$((base + i)))" "$(printf 'BENCH\\%04d' "$i")"
    fi
  done
}

# identify PORT: one detection; prints its milliseconds, or fails when the
# device was not found on COM PORT.
identify() {
  local line ms port
  line=$(wine "$EXE" --gtest_also_run_disabled_tests --gtest_filter=SerialBench.DISABLED_IdentifyOnce 2>/dev/null |
         grep -o 'identify_ms=[0-9]* port=[0-9]*' || true)
  ms=${line#identify_ms=}; ms=${ms%% *}; port=${line##*port=}
  if [ -z "$line" ] || [ "$port" != "$1" ]; then
    echo "not identified on COM$1 ($line)" >&2; return 1
  fi
  echo "$ms"
}

median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

wz_new_prefix "$WINEPREFIX"

if [ "$bluetooth" = 1 ]; then
  for i in 1 2 3; do
    "$SIM" --link "$WINEPREFIX/dosdevices/com$((base + i))" --silent >/dev/null &
    pids+=($!)
  done
  "$SIM" --link "$WINEPREFIX/dosdevices/com$((base + 4))" >/dev/null &
  pids+=($!)
  for i in 1 2 3 4; do wz_wait_for "[ -L '$WINEPREFIX/dosdevices/com$((base + i))' ]" 20; done
  registry 3 4 >"$work/without.reg"
  registry 1 4 2 >"$work/with.reg"
  without=(); with=()
  for try in $(seq 1 "${TRIES:-5}"); do
    wz_reg_import "$(winepath -w "$work/without.reg")"
    ms=$(identify $((base + 4))) || exit 1
    without+=("$ms")
    wz_reg_import "$(winepath -w "$work/with.reg")"
    ms=$(identify $((base + 4))) || exit 1
    with+=("$ms")
  done
  a=$(median "${with[@]}"); b=$(median "${without[@]}")
  printf '%-22s %10s\n' case ms
  printf '%-22s %10d\n' without_bluetooth "$b" with_two_bluetooth "$a"
  awk -v a="$a" -v b="$b" 'BEGIN { printf "ratio %.3f\n", a / b }'
  stop_sims
  wineserver -w
  exit 0
fi

printf '%4s %4s %10s %10s %7s\n' n k ms bound ratio
bound=1202
for n in "${sizes[@]}"; do
  registry 1 "$n" > "$work/ports.reg"
  wz_reg_import "$(winepath -w "$work/ports.reg")"
  for i in $(seq 1 "$n"); do
    if [ "$i" = "$n" ]; then opt=(); else opt=(--silent); fi
    "$SIM" --link "$WINEPREFIX/dosdevices/com$((base + i))" "${opt[@]}" >/dev/null &
    pids+=($!)
  done
  for i in $(seq 1 "$n"); do wz_wait_for "[ -L '$WINEPREFIX/dosdevices/com$((base + i))' ]" 20; done
  times=()
  for try in $(seq 1 "${TRIES:-3}"); do
    ms=$(identify $((base + n))) || { echo "n=$n try $try" >&2; exit 1; }
    times+=("$ms")
  done
  ms=$(median "${times[@]}")
  awk -v n="$n" -v ms="$ms" -v b="$bound" 'BEGIN { printf "%4d %4d %10d %10d %7.3f\n", n, n, ms, b, ms / b }'
  stop_sims
done
wineserver -w
