#!/usr/bin/env bash
# Host preparation on the registry of a fresh Wine prefix: the Win32 layer
# on its own, then the whole flow (policy missing + OK, Cancel, policy set,
# policy stored as text + Cancel, policy set in the 32-bit view only +
# Cancel), run from a folder whose path holds spaces, with the registry
# checked from outside after each run. The 32-bit build runs it under WoW64:
# the policy must be read and written in the 64-bit view, where Windows
# Search reads it, and never in the 32-bit view (Wow6432Node).
set -euo pipefail
: "${WIZARD_BUILD_DIR:?}" "${WIZARD_SOURCE_DIR:?}"
source "$WIZARD_SOURCE_DIR/tests/lib/wine-env.sh"

work=$(mktemp -d "$WIZARD_BUILD_DIR/hostprep.XXXXXX")
export WINEPREFIX="$work/prefix"
cleanup() { wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"; }
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

wz_new_prefix "$WINEPREFIX"
# Wine shares HKLM\SOFTWARE\Policies between the two views through a link
# at Wow6432Node\Policies, so that even a 32-bit write without the 64-bit
# view reaches the shared key. Cut the link (the server is not running yet):
# the 32-bit view is then a key of its own, as for the rest of SOFTWARE, and
# a write in the wrong view shows.
sed -i '/^\[Software\\\\Wow6432Node\\\\Policies\]/,/^$/d' "$WINEPREFIX/system.reg"
if grep -q '^\[Software\\\\Wow6432Node\\\\Policies\]' "$WINEPREFIX/system.reg"; then fail "the views still share the policies"; fi
folder="$WINEPREFIX/drive_c/Program Files/ZEMO Firmware Wizard"
mkdir -p "$folder"
cp "$WIZARD_BUILD_DIR/tests/win_hostprep_tests.exe" "$folder/"
exe='C:\Program Files\ZEMO Firmware Wizard\win_hostprep_tests.exe'

policy_key='HKLM\SOFTWARE\Policies\Microsoft\Windows\Windows Search'
runonce_key='HKCU\Software\Microsoft\Windows\CurrentVersion\RunOnce'

# Runs the test exe; $1 names the prepared state, $2 the gtest filter.
# The named case must have run and passed, not been skipped.
run_case() {
  local state=$1 filter=$2 out="$work/out.txt"
  WIZARD_HOSTPREP_CASE=$state wine "$exe" --gtest_filter="$filter" >"$out" 2>&1 || { cat "$out"; fail "$filter in state $state"; }
  wineserver -w
  grep -q "^\[       OK \] $filter " "$out" || { cat "$out"; fail "$filter did not run in state $state"; }
  grep -q 'SKIPPED' "$out" && { cat "$out"; fail "$filter was skipped"; }
  return 0
}

# What the flow may touch, as text: the policies in both views and the
# run-once key exported, or "absent".
snapshot() {
  local key view
  for key in 'HKLM\SOFTWARE\Policies /reg:64' ${views32:+'HKLM\SOFTWARE\Policies /reg:32'} "$runonce_key /reg:64"; do
    view=${key##* }; key=${key% *}
    echo "== $key $view"
    if wine reg export "$key" "$work/key.reg" /y "$view" >/dev/null 2>&1; then
      iconv -f UTF-16LE -t UTF-8 "$work/key.reg" | tr -d '\r'
    else
      echo absent
    fi
  done
  rm -f "$work/key.reg"
}

# The 32-bit view is read and written with Wine's 32-bit tools: on a machine
# that runs no 32-bit programs it is left out.
views32=yes
wz_runs_32bit || { views32=; echo "no 32-bit programs run here: the 32-bit registry view is left out"; }

# query KEY VALUE [VIEW]: the value's line as reg prints it, in the 64-bit
# view unless /reg:32 is given.
query() { wine reg query "$1" /v "$2" "${3:-/reg:64}" 2>/dev/null | tr -d '\r' | grep -F "    $2    " || true; }

# 1. The Win32 layer on its own.
out="$work/layer.txt"
wine "$exe" --gtest_filter='-PreparedPrefix.*' >"$out" 2>&1 || { cat "$out"; fail "Win32 layer tests"; }
grep -q '^\[  PASSED  \] 5 tests' "$out" || { cat "$out"; fail "Win32 layer tests did not all run"; }

# 2. No policy value, Cancel: the registry stays exactly as it was.
[ -z "$(query "$policy_key" DisableRemovableDriveIndexing)" ] || fail "fresh prefix already holds the policy"
before=$(snapshot)
run_case cancel 'PreparedPrefix.CancelWritesNothing'
after=$(snapshot)
[ "$before" = "$after" ] || { diff <(echo "$before") <(echo "$after") >&2; fail "Cancel changed the registry"; }

# 3. No policy value, OK: the policy, the quoted resume command, the restart.
run_case missing-ok 'PreparedPrefix.MissingPolicyAndOk'
line=$(query "$policy_key" DisableRemovableDriveIndexing)
[ "$line" = "    DisableRemovableDriveIndexing    REG_DWORD    0x1" ] || fail "policy value: '$line'"
if [ -n "$views32" ]; then
  line=$(query "$policy_key" DisableRemovableDriveIndexing /reg:32)
  [ -z "$line" ] || fail "policy written in the 32-bit view (Wow6432Node), where Windows Search never reads it"
fi
line=$(query "$runonce_key" 'VAR Uzudivid Orirere')
[ "$line" = "    VAR Uzudivid Orirere    REG_SZ    \"$exe\"" ] || fail "resume entry: '$line'"

# 4. The policy set: nothing shown, start-up goes on.
run_case policy-set 'PreparedPrefix.PolicySetShowsNothing'

# 5. The policy stored as text counts as not set; Cancel leaves it as text.
wine reg add "$policy_key" /v DisableRemovableDriveIndexing /t REG_SZ /d 1 /f /reg:64 >/dev/null 2>&1
wineserver -w
before=$(snapshot)
run_case cancel 'PreparedPrefix.CancelWritesNothing'
after=$(snapshot)
[ "$before" = "$after" ] || { diff <(echo "$before") <(echo "$after") >&2; fail "Cancel changed the text policy"; }
line=$(query "$policy_key" DisableRemovableDriveIndexing)
[ "$line" = "    DisableRemovableDriveIndexing    REG_SZ    1" ] || fail "text policy: '$line'"

# 6. The policy set in the 32-bit view only, where Windows Search never
# reads it, counts as not set: the question comes; Cancel changes nothing.
[ -n "$views32" ] || { echo "hostprep_registry: all checks passed but the 32-bit view's"; exit 0; }
wine reg delete "$policy_key" /v DisableRemovableDriveIndexing /f /reg:64 >/dev/null 2>&1
wine reg add "$policy_key" /v DisableRemovableDriveIndexing /t REG_DWORD /d 1 /f /reg:32 >/dev/null 2>&1
wineserver -w
[ -n "$(query "$policy_key" DisableRemovableDriveIndexing /reg:32)" ] || fail "no policy in the 32-bit view"
[ -z "$(query "$policy_key" DisableRemovableDriveIndexing)" ] || fail "the views share the policy"
before=$(snapshot)
run_case cancel 'PreparedPrefix.CancelWritesNothing'
after=$(snapshot)
[ "$before" = "$after" ] || { diff <(echo "$before") <(echo "$after") >&2; fail "Cancel changed the registry"; }

echo "hostprep_registry: all checks passed"
