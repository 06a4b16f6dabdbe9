#!/bin/bash
# Benchmarks, not tests: one command that measures the wizard side by side
# with its yardsticks in one run and prints one table of ratios, each with
# its target and whether it is met. Nothing here fails on a missed target;
# the table says so.
#
#   bench/run.sh [RUNS]        (RUNS: timed rounds per comparison, default 7)
#
# Needs a Release cross build (WIZARD_BUILD_DIR, default build/win, as
# tools/run-tests.sh makes it) and a native build with the simulator
# (WIZARD_NATIVE_BUILD_DIR, default build/native). Wine, Xvfb and the
# mingw-w64 compilers as for the tests.
#
# Figures:
#   start-up      program start to its window on screen, the wizard against
#                 a bare Win32 window (bench/bare_window.cpp), taking turns
#                 (bench/start_timer.cpp), both with the wizard's manifest;
#                 target: at most 1.2 times;
#   copy          the copy worker against a plain CopyFileExA and cp, 64 MiB
#                 (bench/copy_bench.sh); target: within 5% of CopyFileExA;
#   identify      Start's detection with the device on port k of n, the
#                 others silent, against the bound: the time-outs of the
#                 silent ports asked before it plus 150 ms
#                 (bench/serial_identify.sh); target: within the bound;
#   identify with Bluetooth ports
#                 the same detection with two ports of paired Bluetooth
#                 devices registered before the device's, against the same
#                 without them (bench/serial_identify.sh --bluetooth);
#                 target: within 5%;
#   memory        the wizard's peak private memory while it copies a 64 MiB
#                 image in a whole upgrade (bench/peak_memory.sh); target:
#                 below 20 MiB;
#   size          FirmwareUpgrade.exe of the Release build; target: below
#                 2 MiB.
set -euo pipefail

runs=${1:-7}
root=$(cd "$(dirname "$0")/.." && pwd)
export WIZARD_SOURCE_DIR=$root
export WIZARD_BUILD_DIR=${WIZARD_BUILD_DIR:-$root/build/win}
export WIZARD_NATIVE_BUILD_DIR=${WIZARD_NATIVE_BUILD_DIR:-$root/build/native}
exe=$WIZARD_BUILD_DIR/dist/FirmwareUpgrade.exe
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$WIZARD_BUILD_DIR/CMakeCache.txt" 2>/dev/null || true)
[ -f "$exe" ] || { echo "no $exe: build the cross tree first (tools/run-tests.sh does)" >&2; exit 2; }
[ "$build_type" = Release ] || { echo "$WIZARD_BUILD_DIR is a '$build_type' build; the figures need Release" >&2; exit 2; }
[ -x "$WIZARD_NATIVE_BUILD_DIR/tools/transponder_sim" ] || { echo "no simulator in $WIZARD_NATIVE_BUILD_DIR" >&2; exit 2; }

# shellcheck source=../tests/lib/wine-env.sh
. "$root/tests/lib/wine-env.sh"
work=$(mktemp -d "$WIZARD_BUILD_DIR/bench.XXXXXX")
export WINEPREFIX=$work/prefix
cleanup() {
  set +e  # every step runs, whatever the one before it gave
  wineserver -k >/dev/null 2>&1
  wineserver -w 2>/dev/null  # the server saves the registry as it goes
  wz_stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT

rows=()
# row FIGURE MEASURED REFERENCE RATIO TARGET (ratio limit; "-" for none)
row() {
  local met=-
  if [ "$5" != - ]; then met=$(awk -v r="$4" -v t="$5" 'BEGIN { print (r <= t) ? "yes" : "NO" }'); fi
  rows+=("$(printf '%-40s %-12s %-22s %-7s %-7s %s' "$1" "$2" "$3" "$4" "$5" "$met")")
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
say() { printf '[bench] %s\n' "$*" >&2; }

# 1. Size of the Release executable.
size=$(stat -c %s "$exe")
row "exe size (MiB)" "$(awk -v s="$size" 'BEGIN { printf "%.2f", s / 1048576 }')" "2 MiB limit" \
  "$(ratio "$size" $((2 * 1048576)))" 1

# 2. Start-up against the bare window.
say "start-up: $runs rounds"
cxx=(x86_64-w64-mingw32-g++-posix -std=c++17 -O2 -Wall -Wextra -static -static-libgcc -static-libstdc++)
# The bare window carries the wizard's manifest, so that both start with
# the same activation context (Common Controls 6, DPI awareness).
printf '1 24 "%s"\n' "$root/resources/FirmwareUpgrade.manifest" >"$work/bare_window.rc"
x86_64-w64-mingw32-windres "$work/bare_window.rc" -O coff -o "$work/bare_window.res"
"${cxx[@]}" -mwindows "$root/bench/bare_window.cpp" "$work/bare_window.res" -o "$work/bare_window.exe"
"${cxx[@]}" "$root/bench/start_timer.cpp" -o "$work/start_timer.exe"
wz_new_prefix "$WINEPREFIX"
wz_start_xvfb
app=$WINEPREFIX/drive_c/wizard
mkdir -p "$app"
cp "$exe" "$work/bare_window.exe" "$app/"
cp -r "$WIZARD_BUILD_DIR/dist/Bin" "$app/"
out=$(wine "$work/start_timer.exe" "$runs" 'C:\wizard\FirmwareUpgrade.exe' TFormMain \
  'C:\wizard\bare_window.exe' BareWindow 2>&1 | tr -d '\r')
wizard_ms=$(awk '$1 == "a" { print $2 }' <<<"$out")
bare_ms=$(awk '$1 == "b" { print $2 }' <<<"$out")
[ -n "$wizard_ms" ] && [ -n "$bare_ms" ] || { echo "start-up timing failed: $out" >&2; exit 1; }
row "start-up to window (ms)" "$wizard_ms" "bare window $bare_ms" "$(ratio "$wizard_ms" "$bare_ms")" 1.2
wineserver -k >/dev/null 2>&1 || true
wineserver -w 2>/dev/null || true
wz_stop_xvfb || true

# 3. The copy against CopyFileExA and cp.
say "copy: $runs rounds of 64 MiB"
out=$(bash "$root/bench/copy_bench.sh" "$runs")
read -r worker_ms plain_ms cp_ms < <(awk '/^[0-9]/ { print $1, $2, $3 }' <<<"$out" | tail -n 1)
[ -n "${cp_ms:-}" ] || { echo "copy timing failed: $out" >&2; exit 1; }
row "copy 64 MiB, worker (ms)" "$worker_ms" "CopyFileExA $plain_ms" "$(ratio "$worker_ms" "$plain_ms")" 1.05
row "copy 64 MiB, worker (ms)" "$worker_ms" "cp $cp_ms" "$(ratio "$worker_ms" "$cp_ms")" -

# 4. Identification against its bound.
say "identification: device on port k of 3"
out=$(bash "$root/bench/serial_identify.sh" 3)
while read -r n k ms bound r; do
  row "identify, device on port $k of $n (ms)" "$ms" "bound $bound" "$r" 1
done < <(awk '$1 ~ /^[0-9]+$/' <<<"$out")

say "identification: two Bluetooth ports before the device"
out=$(bash "$root/bench/serial_identify.sh" --bluetooth)
with_bt=$(awk '$1 == "with_two_bluetooth" { print $2 }' <<<"$out")
without_bt=$(awk '$1 == "without_bluetooth" { print $2 }' <<<"$out")
[ -n "$with_bt" ] && [ -n "$without_bt" ] || { echo "Bluetooth identification failed: $out" >&2; exit 1; }
row "identify, 2 Bluetooth ports first (ms)" "$with_bt" "without them $without_bt" "$(ratio "$with_bt" "$without_bt")" 1.05

# 5. Peak memory during a copy.
say "peak memory: one upgrade with a 64 MiB image"
out=$(bash "$root/bench/peak_memory.sh")
private_kib=$(awk '$1 == "private_peak_kib" { print $2 }' <<<"$out")
[ -n "$private_kib" ] || { echo "memory measurement failed: $out" >&2; exit 1; }
row "peak private memory in a copy (MiB)" "$(awk -v k="$private_kib" 'BEGIN { printf "%.1f", k / 1024 }')" \
  "20 MiB limit" "$(ratio "$private_kib" $((20 * 1024)))" 1
wizard_hwm=$(awk '$1 == "wizard_working_peak_kib" { print $2 }' <<<"$out")
bare_hwm=$(awk '$1 == "bare_working_peak_kib" { print $2 }' <<<"$out")
row "peak working set (MiB)" "$(awk -v k="$wizard_hwm" 'BEGIN { printf "%.1f", k / 1024 }')" \
  "bare window $(awk -v k="$bare_hwm" 'BEGIN { printf "%.1f", k / 1024 }')" "$(ratio "$wizard_hwm" "$bare_hwm")" -

echo
printf '%-40s %-12s %-22s %-7s %-7s %s\n' figure measured "against" ratio target met
for r in "${rows[@]}"; do printf '%s\n' "$r"; done
