#!/usr/bin/env bash
# Builds the wizard and runs its whole test suite: native unit tests, the
# same under AddressSanitizer and UndefinedBehaviorSanitizer, the fuzz
# targets for a bounded number of runs, then the Windows build's tests
# under Wine (the Win32 layer and the real program in a real window).
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

# Runs ctest in folder $1 and adds its counts to the totals.
run_ctest() {
  local dir=$1 name=$2 parallel=${3:-1} report
  report=$(mktemp)
  (cd "$dir" && ctest --output-on-failure -j "$parallel" 2>&1) | tee "$report"
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
  if ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
     "$out/sanitize/tests/unit_tests" --gtest_brief=1; then
    passed=$((passed + 1))
  else
    step_failed "unit tests under sanitizers"
  fi
else
  step_failed "sanitizer build"
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

log "Windows build and its tests under Wine"
if cmake -S "$root" -B "$out/win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
     -DCMAKE_BUILD_TYPE=Release -DWIZARD_NATIVE_BUILD_DIR="$out/native" >/dev/null &&
   ninja -C "$out/win" -j "$jobs"; then
  run_ctest "$out/win" "Windows tests under Wine" 2
else
  step_failed "Windows build"
fi

echo
for f in "${failures[@]}"; do echo "FAILED: $f"; done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
