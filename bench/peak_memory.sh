#!/bin/bash
# Benchmark, not a test: the wizard's memory in a whole upgrade under Wine
# (Start, which asks sixteen silent ports and the transponder together,
# Yes, the simulated device's boot drive, the copy of a 64 MiB image,
# Finish), measured on the Linux process that runs it:
#   search_private_peak_kib  the largest anonymous resident memory (RssAnon,
#                            what Wine reports as the process's private
#                            bytes) seen from Start to the version page,
#                            sampled continuously;
#   search_threads_peak      the most threads the process had meanwhile
#                            (Wine's own among them), and
#   search_threads_before    how many it had before Start;
#   wine_thread_kib          what one more waiting thread adds to RssAnon
#                            under Wine, measured on bench/idle_threads.cpp
#                            with none and with sixteen threads of 64 KiB:
#                            Wine gives each thread a region of its own of
#                            about 1 MiB, whatever its stack size, where
#                            Windows keeps a thread's kernel stack outside
#                            the process's private bytes;
#   search_private_net_kib   search_private_peak_kib less that share for each
#                            thread the search added: the figure Windows
#                            would report, but for each thread's few pages
#                            of stack and its TEB;
#   private_peak_kib         the same from Yes to Finish;
#   wizard_working_peak_kib  the process's peak resident set (VmHWM, Wine's
#                            peak working set), Wine's own libraries included;
#   bare_working_peak_kib    the same for a bare Win32 window
#                            (bench/bare_window.cpp), for comparison.
# Run by bench/run.sh; needs WIZARD_BUILD_DIR and WIZARD_NATIVE_BUILD_DIR.
# The bare window is built with BENCH_CXX (default the 64-bit cross
# compiler): give the compiler of the wizard's width.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
export WIZARD_SOURCE_DIR=${WIZARD_SOURCE_DIR:-$here}
# shellcheck source=../tests/lib/e2e.sh
source "$WIZARD_SOURCE_DIR/tests/lib/e2e.sh"

e2e_begin bench-memory
"${BENCH_CXX:-x86_64-w64-mingw32-g++-posix}" -std=c++17 -O2 -mwindows -static -static-libgcc -static-libstdc++ \
  "$WIZARD_SOURCE_DIR/bench/bare_window.cpp" -o "$E2E/bare_window.exe" || exit 1
"${BENCH_CXX:-x86_64-w64-mingw32-g++-posix}" -std=c++17 -O2 -static -static-libgcc -static-libstdc++ \
  "$WIZARD_SOURCE_DIR/bench/idle_threads.cpp" -o "$E2E/idle_threads.exe" || exit 1
e2e_boot_drive e "VAZ UD40"
silent=$(seq 5 20)
# shellcheck disable=SC2086
e2e_ports $silent 21
for port in $silent; do e2e_sim "$port" --silent; done
e2e_sim 21 --drive "$E2E/drive" --ready-delay 500
mkdir -p "$E2E/app/Bin"
cp "$E2E_EXE" "$E2E/app/"
cp "$WIZARD_BUILD_DIR/dist/Bin/Firmware.csv" "$E2E/app/Bin/"
head -c $((64 * 1024 * 1024)) /dev/urandom >"$E2E/app/Bin/App_K40.SBIN"

e2e_start_wizard "$E2E/app"
e2e_wait_window 90 || { echo "no window" >&2; exit 1; }
pid=$E2E_WIZARD_PID
e2e_wait_page start 30 || { echo "no start page" >&2; exit 1; }

# Sampler: the largest RssAnon and the most threads until NAME.stop
# appears, into NAME.peak and NAME.threads (no process per sample).
sample() {
  local max=0 threads=0 key value _
  while [ ! -e "$E2E/$1.stop" ]; do
    while read -r key value _; do
      if [ "$key" = RssAnon: ] && [ "$value" -gt "$max" ]; then max=$value; fi
      if [ "$key" = Threads: ] && [ "$value" -gt "$threads" ]; then threads=$value; fi
    done <"/proc/$pid/status"
  done
  echo "$max" >"$E2E/$1.peak"
  echo "$threads" >"$E2E/$1.threads"
}
threads_before=$(awk '/^Threads:/ { print $2 }' "/proc/$pid/status")
# sampled NAME ACTION FAILURE CONDITION...: samples as NAME from ACTION until
# CONDITION holds; FAILURE is said when it does not.
sampled() {
  local name=$1 action=$2 failure=$3
  shift 3
  sample "$name" &
  local sampler=$!
  E2E_PIDS+=("$sampler")
  "$action"
  "$@" || { touch "$E2E/$name.stop"; echo "$failure" >&2; exit 1; }
  touch "$E2E/$name.stop"
  wait "$sampler"
}
sampled search e2e_click_start "device not found" e2e_wait_page version 30
sampled copy e2e_click_yes "the upgrade did not finish" wz_wait_for e2e_finish_enabled 120
cmp -s "$E2E/drive/AIS_Firmware.S19" "$E2E/app/Bin/App_K40.SBIN" || { echo "the copy differs" >&2; exit 1; }
wizard_hwm=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status")

# The bare window in the same prefix, for its peak resident set.
"$(wz_loader "$E2E/bare_window.exe")" "$E2E/bare_window.exe" >/dev/null 2>&1 &
bare=$!
E2E_PIDS+=("$bare")
wz_wait_window 'Bare window' 60 >/dev/null || { echo "no bare window" >&2; exit 1; }
bare_hwm=$(awk '/^VmHWM:/ { print $2 }' "/proc/$bare/status")

# RssAnon of idle_threads.exe with N waiting threads.
idle_kib() {
  local ready="$E2E/idle-$1.ready" kib
  "$(wz_loader "$E2E/idle_threads.exe")" "$E2E/idle_threads.exe" "$1" "$(winepath -w "$ready" 2>/dev/null)" \
    >/dev/null 2>&1 &
  local idle=$!
  E2E_PIDS+=("$idle")
  wz_wait_for "[ -e '$ready' ]" 60 || { echo "no idle threads" >&2; exit 1; }
  kib=$(awk '/^RssAnon:/ { print $2 }' "/proc/$idle/status")
  kill "$idle" 2>/dev/null
  echo "$kib"
}
none=$(idle_kib 0)
sixteen=$(idle_kib 16)
per_thread=$(((sixteen - none) / 16))
search_peak=$(cat "$E2E/search.peak")
search_threads=$(cat "$E2E/search.threads")
added=$((search_threads - threads_before))
[ "$added" -gt 0 ] || added=0
echo "search_private_peak_kib $search_peak"
echo "search_threads_peak $search_threads"
echo "search_threads_before $threads_before"
echo "wine_thread_kib $per_thread"
echo "search_private_net_kib $((search_peak - added * per_thread))"
echo "private_peak_kib $(cat "$E2E/copy.peak")"
echo "wizard_working_peak_kib $wizard_hwm"
echo "bare_working_peak_kib $bare_hwm"
