#!/bin/bash
# Benchmark, not a test: how long the copy worker takes to put a 64 MiB
# image on a drive, against a plain CopyFileExA without a progress routine
# followed by the same write-through to the drive (FlushFileBuffers and the
# size check; both under Wine, timed inside the program) and against cp of
# the same file on the host. Prints the medians and the two ratios side by side.
#
#   bench/copy_bench.sh [RUNS]
# Uses WIZARD_BUILD_DIR for its Wine prefix template when set (a cross
# build folder); otherwise a temporary one, which takes a few seconds more.
# BENCH_CXX names the cross compiler, and so the width of the measured
# program (default x86_64-w64-mingw32-g++-posix; i686-... for 32-bit).
set -euo pipefail

runs=${1:-5}
src=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/copy_bench.XXXXXX")
own_template=
if [ -z "${WIZARD_BUILD_DIR:-}" ]; then
  export WIZARD_BUILD_DIR=$work/build
  mkdir -p "$WIZARD_BUILD_DIR"
  own_template=1
fi
# shellcheck source=../tests/lib/wine-env.sh
. "$src/tests/lib/wine-env.sh"
export WINEPREFIX=$work/prefix
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$own_template" ]; then WINEPREFIX=$WIZARD_BUILD_DIR/wine-template wineserver -k >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

"${BENCH_CXX:-x86_64-w64-mingw32-g++-posix}" -std=c++17 -O2 -Wall -Wextra -DWIN32_LEAN_AND_MEAN -DNOMINMAX \
  -D_WIN32_WINNT=0x0601 -I"$src" \
  "$src/bench/copy_bench.cpp" "$src/bootdrive/Copyfilethread.cpp" "$src/bootdrive/copy_progress.cpp" \
  "$src/bootdrive/drive_paths.cpp" "$src/bootdrive/file_copier_win.cpp" "$src/bootdrive/thread_name_win.cpp" \
  "$src/bootdrive/copy_end.cpp" "$src/bootdrive/drives_win.cpp" "$src/bootdrive/volume_gone.cpp" \
  "$src/bootdrive/last_byte_watch_win.cpp" \
  "$src/base/utf8_text.cpp" "$src/base/system_message_win.cpp" \
  -static -static-libgcc -static-libstdc++ -o "$work/copy_bench.exe"

wz_new_prefix "$WINEPREFIX"
data=$WINEPREFIX/drive_c/bench
mkdir -p "$data"
head -c $((64 * 1024 * 1024)) /dev/urandom >"$data/App_K40.SBIN"

out=$(wine "$work/copy_bench.exe" 'C:\bench\App_K40.SBIN' 'C:\bench\AIS_Firmware.S19' "$runs")
wineserver -w
worker_ms=$(awk '$1 == "worker" { print $2 }' <<<"$out")
plain_ms=$(awk '$1 == "plain" { print $2 }' <<<"$out")
paired=$(awk '$1 == "ratio" { print $2 }' <<<"$out")
if ! cmp -s "$data/App_K40.SBIN" "$data/AIS_Firmware.S19"; then echo "the copy differs from the image" >&2; exit 1; fi

cp_times=()
for i in $(seq 0 "$runs"); do  # the first run warms the cache and is dropped
  rm -f "$data/cp_copy"
  t0=$(date +%s%N)
  cp "$data/App_K40.SBIN" "$data/cp_copy"
  t1=$(date +%s%N)
  [ "$i" -gt 0 ] && cp_times+=("$(awk -v n=$((t1 - t0)) 'BEGIN { printf "%.3f", n / 1e6 }')")
done
cp_ms=$(printf '%s\n' "${cp_times[@]}" | sort -g | awk '{ v[NR] = $1 } END { print v[int(NR / 2) + 1] }')

printf '64 MiB image, median of %s runs (ms)\n' "$runs"
printf '%-10s %-16s %-10s | %-22s %-12s\n' worker CopyFileExA cp worker/CopyFileExA worker/cp
# worker/CopyFileExA is the median of each round's own ratio.
awk -v w="$worker_ms" -v p="$plain_ms" -v c="$cp_ms" -v r="$paired" \
  'BEGIN { printf "%-10.1f %-16.1f %-10.1f | %-22.3f %-12.2f\n", w, p, c, r, w / c }'
