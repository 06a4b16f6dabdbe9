#!/bin/bash
# Benchmark (not a test): time to identify the transponder on the k-th of n
# ports, the others silent, divided by the bound for that case. A silent
# port asked before the device costs at most its write time-out (530 ms)
# and its read time-out (902 ms); the device's own port, the discovery and
# the device's answer get 150 ms. So the bound is (k - 1) x 1432 + 150 ms,
# and a ratio of at most 1 means that the silent ports cost what their
# time-outs allow and the rest no more than 150 ms. Each case is the median
# of TRIES detections (default 3).
#
# Usage: bench/serial_identify.sh [n...]   (default: 3 6)
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
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(3 6)

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

registry() {  # n: ports COM11..COM(10+n)
  local n=$1 i hw
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[-HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\ROOT\\PORTS]\r\n\r\n'
  for i in $(seq 1 "$n"); do
    hw=$(printf 'BENCH\\%04d' "$i" | iconv -t UTF-16LE | od -An -tx1 | tr -s ' \n' ',' | sed 's/^,//')
    printf '[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\ROOT\\PORTS\\%04d]\r\n' "$i"
    printf '"ClassGUID"="{4D36E978-E325-11CE-BFC1-08002BE10318}"\r\n"Class"="Ports"\r\n'
    printf '"FriendlyName"="USB Serial Port (COM%d)"\r\n' $((base + i))
    printf '"HardwareID"=hex(7):%s00,00,00,00\r\n\r\n' "$hw"
  done
}

wz_new_prefix "$WINEPREFIX"
printf '%4s %4s %10s %10s %7s\n' n k ms bound ratio
for n in "${sizes[@]}"; do
  registry "$n" > "$work/ports.reg"
  wz_reg_import "$(winepath -w "$work/ports.reg")"
  for k in $(seq 1 "$n"); do
    for i in $(seq 1 "$n"); do
      if [ "$i" = "$k" ]; then opt=(); else opt=(--silent); fi
      "$SIM" --link "$WINEPREFIX/dosdevices/com$((base + i))" "${opt[@]}" >/dev/null &
      pids+=($!)
    done
    for i in $(seq 1 "$n"); do wz_wait_for "[ -L '$WINEPREFIX/dosdevices/com$((base + i))' ]" 20; done
    times=()
    for try in $(seq 1 "${TRIES:-3}"); do
      line=$(wine "$EXE" --gtest_also_run_disabled_tests --gtest_filter=SerialBench.DISABLED_IdentifyOnce 2>/dev/null |
             grep -o 'identify_ms=[0-9]* port=[0-9]*' || true)
      ms=${line#identify_ms=}; ms=${ms%% *}; port=${line##*port=}
      if [ -z "$line" ] || [ "$port" != $((base + k)) ]; then
        echo "n=$n k=$k try $try: not identified on COM$((base + k)) ($line)" >&2; exit 1
      fi
      times+=("$ms")
    done
    ms=$(printf '%s\n' "${times[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
    bound=$(((k - 1) * 1432 + 150))
    awk -v n="$n" -v k="$k" -v ms="$ms" -v b="$bound" 'BEGIN { printf "%4d %4d %10d %10d %7.3f\n", n, k, ms, b, ms / b }'
    stop_sims
  done
done
wineserver -w
