#!/usr/bin/env bash
# Builds the wizard and runs its whole test suite: native unit tests, the
# same under AddressSanitizer and UndefinedBehaviorSanitizer, and under
# ThreadSanitizer, the fuzz
# targets for a bounded number of runs, then the 64-bit and the 32-bit
# Windows builds' tests under Wine 8 (the Win32 layer and the real program
# in a real window; the 32-bit one under WoW64), and the main end-to-end
# cases of both builds again under Wine 10, in a Debian 13 root made once
# (tools/wine10-root.sh) and kept in the build folder.
# Usage: tools/run-tests.sh   (as root on a fresh machine: installs what it needs)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${WIZARD_OUT:-$root/build}
fuzz_runs=${WIZARD_FUZZ_RUNS:-200000}
jobs=$(nproc)

"$root/tools/install-deps.sh" test || exit 1

passed=0
failed=0
failures=()
log() { printf '\n=== %s\n' "$*"; }

# run_ctest DIR NAME PARALLEL [CTEST ARGS...]: runs ctest in DIR and adds
# its counts to the totals.
run_ctest() {
  local dir=$1 name=$2 parallel=$3 report
  shift 3
  report=$(mktemp)
  (cd "$dir" && ctest --output-on-failure -j "$parallel" "$@" 2>&1) | tee "$report"
  local line total bad
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$report" | tail -n 1)
  if [ -z "$line" ]; then
    failed=$((failed + 1)); failures+=("$name: no result")
  else
    bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
    passed=$((passed + total - bad)); failed=$((failed + bad))
    [ "$bad" -eq 0 ] || failures+=("$name: $bad failed")
  fi
  rm -f "$report"
}

step_failed() { failed=$((failed + 1)); failures+=("$1"); }

log "Native build and unit tests"
if cmake -S "$root" -B "$out/native" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null &&
   ninja -C "$out/native" -j "$jobs"; then
  run_ctest "$out/native" "native unit tests" "$jobs"
else
  step_failed "native build"
fi

log "Unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
if cmake -S "$root" -B "$out/sanitize" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DWIZARD_SANITIZE=ON >/dev/null &&
   ninja -C "$out/sanitize" -j "$jobs" unit_tests; then
  # All rows in one process, bounded: a row that hangs fails the step.
  if ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
     timeout 900 "$out/sanitize/tests/unit_tests" --gtest_brief=1; then
    passed=$((passed + 1))
  else
    step_failed "unit tests under sanitizers"
  fi
else
  step_failed "sanitizer build"
fi

log "Unit tests under ThreadSanitizer"
if cmake -S "$root" -B "$out/tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DWIZARD_TSAN=ON >/dev/null &&
   ninja -C "$out/tsan" -j "$jobs" unit_tests; then
  # The rows side by side with their workers: any race fails the step.
  if TSAN_OPTIONS=halt_on_error=1 timeout 900 "$out/tsan/tests/unit_tests" --gtest_brief=1; then
    passed=$((passed + 1))
  else
    step_failed "unit tests under ThreadSanitizer"
  fi
else
  step_failed "ThreadSanitizer build"
fi

log "Fuzz targets ($fuzz_runs runs each)"
fuzzers=$(ls "$root"/tests/fuzz/*_fuzz.cpp 2>/dev/null || true)
if [ -n "$fuzzers" ]; then
  if CC=clang CXX=clang++ cmake -S "$root" -B "$out/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
       -DWIZARD_FUZZ=ON -DWIZARD_WERROR=OFF >/dev/null &&
     ninja -C "$out/fuzz" -j "$jobs" $(for s in $fuzzers; do basename "$s" .cpp; done); then
    for src in $fuzzers; do
      name=$(basename "$src" .cpp)
      corpus_seed="$root/tests/fuzz/corpus/${name%_fuzz}"
      work=$(mktemp -d)
      [ -d "$corpus_seed" ] && cp -r "$corpus_seed"/. "$work"/
      if "$out/fuzz/tests/$name" -runs="$fuzz_runs" -max_len=4096 "$work" >"$out/fuzz/$name.log" 2>&1; then
        echo "$name: clean after $fuzz_runs runs"; passed=$((passed + 1))
      else
        tail -n 40 "$out/fuzz/$name.log"; step_failed "fuzz $name"
      fi
      rm -rf "$work"
    done
  else
    step_failed "fuzz build"
  fi
fi

log "Wine 10 in a Debian 13 root"
# Made before the Windows trees are configured: the UI Automation probe is
# compiled with the root's headers.
export WIZARD_WINE10_ROOT=${WIZARD_WINE10_ROOT:-$out/wine10-root}
started=$SECONDS
wine10_root=yes
"$root/tools/wine10-root.sh" make || { step_failed "Wine 10 root"; wine10_root=; }
wine10_root_seconds=$((SECONDS - started))

log "Windows builds, 64-bit and 32-bit, and their tests under Wine"
# Two trees, one per toolchain, each the other's peer for the release.
# Their Wine tests run in one ctest, so that the 32-bit cases run beside the
# 64-bit ones (each case has its own prefix and display; each tree its own
# prefix template), the long soak first.
declare -A toolchain=([win]=mingw-w64-x86_64.cmake [win32]=mingw-w64-i686.cmake)
declare -A peer=([win]=win32 [win32]=win)
wine_trees=()
for tree in win win32; do
  if cmake -S "$root" -B "$out/$tree" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/${toolchain[$tree]}" \
       -DCMAKE_BUILD_TYPE=Release -DWIZARD_NATIVE_BUILD_DIR="$out/native" \
       -DWIZARD_PEER_BUILD_DIR="$out/${peer[$tree]}" -DWIZARD_WINE10_ROOT="$WIZARD_WINE10_ROOT" >/dev/null &&
     ninja -C "$out/$tree" -j "$jobs"; then
    wine_trees+=("$out/$tree")
  else
    step_failed "Windows build ($tree)"
  fi
done
# A machine whose kernel runs no 32-bit programs (some virtual machines
# switch 32-bit emulation off) cannot start Wine's 32-bit loader: the 32-bit
# build is made, and takes part in the release, but its cases cannot run.
if [ -x /usr/lib/wine/wine ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "NOTE: this machine runs no 32-bit programs (its kernel has 32-bit emulation off):" \
    "the 32-bit build's cases under Wine are left out"
  runnable=()
  for t in "${wine_trees[@]}"; do [ "$t" = "$out/win32" ] || runnable+=("$t"); done
  wine_trees=("${runnable[@]}")
fi
if [ ${#wine_trees[@]} -gt 0 ]; then
  mkdir -p "$out/wine-tests"
  { echo "# Generated by tools/run-tests.sh: the Wine tests of both Windows trees."
    printf 'subdirs('; printf '"%s" ' "${wine_trees[@]}"; echo ')'; } >"$out/wine-tests/CTestTestfile.cmake"
  run_ctest "$out/wine-tests" "Windows tests under Wine" "${WIZARD_WINE_JOBS:-3}" -LE wine10
fi

if [ -n "$wine10_root" ] && [ ${#wine_trees[@]} -gt 0 ]; then
  log "End-to-end cases under Wine 10, 64-bit and 32-bit"
  started=$SECONDS
  run_ctest "$out/wine-tests" "Windows tests under Wine 10" "${WIZARD_WINE_JOBS:-3}" -L wine10
  echo "Wine 10: root ready in $wine10_root_seconds s, its cases in $((SECONDS - started)) s"
fi

echo
for f in "${failures[@]}"; do echo "FAILED: $f"; done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
