#!/usr/bin/env bash
# Windows 8 and later (the prefix reports 6.2): the indexing policy.
#   missing + OK     -> policy 1, quoted resume entry, restart asked, program ends
#   missing + Cancel -> registry exactly as before, program ends
#   already set      -> the normal start page, no question
#   missing + OK, run from a folder named in Cyrillic and Chinese
#                    -> the resume entry, read back through the wide
#                       registry calls, is that folder's program, quoted
#   the same folder without the UTF-8 code page (as Windows before 10 1903)
#                    -> a box names the fix; no question, nothing written
source "$WIZARD_SOURCE_DIR/tests/lib/e2e.sh"
e2e_begin windows8-policy
e2e_windows_version 6.2
policy='HKLM\SOFTWARE\Policies\Microsoft\Windows\Windows Search'
runonce='HKCU\Software\Microsoft\Windows\CurrentVersion\RunOnce'
question="A system restart is required. You must restart Windows before installing the new firmware.
Click Yes to restart the system. Make sure all applications are saved and closed.
Click Cancel to abort the firmware upgrade process."
# A Wine client that meets its server as it shuts down gets nothing and
# says so, and reg.exe itself has crashed once at its start ("wine:
# Unhandled page fault"): Wine's own words mean the snapshot is taken again.
snapshot() {
  local out i
  for i in 1 2 3 4 5; do
    out=$({ wine reg query "$policy" /s /reg:64 2>&1; wine reg query "$runonce" /s /reg:64 2>&1; } | tr -d '\r')
    grep -qE '^wine( client error|:)' <<<"$out" || break
  done
  echo "$out"
}
# The registry is as the snapshot $1 shows it (else the difference is shown).
unchanged() { diff <(echo "$1") <(echo "$(snapshot)") >&2; }
app="$E2E/Program Files/ZEMO Wizard"

# Cancel first: nothing may change. A second start while the question is
# up brings the question forward (from behind another program's window)
# and ends; there is still one question.
before=$(snapshot)
e2e_start_wizard "$app"
boxes() { wine "$E2E_DRIVER" boxes "$1" 2>/dev/null | tr -d '\r'; }
e2e_check "restart question" wz_wait_for '[ "$(boxes Information)" = 1 ]' 90
wine notepad >/dev/null 2>&1 &
E2E_PIDS+=($!)
wz_wait_for "[ \"\$(wine '$E2E_DRIVER' front 2>/dev/null | tr -d '\r')\" != Information ]" 60 ||
  e2e_fail "another program's window did not come to the front"
e2e_check "second start during the question ends with code 0" [ "$(e2e_second_start)" = 0 ]
e2e_check "the question is brought forward" wz_wait_for "[ \"\$(wine '$E2E_DRIVER' front 2>/dev/null | tr -d '\r')\" = Information ]" 10
e2e_check "one question box, and no other box" [ "$(boxes Information)$(boxes 'ZEMO DAZ Adoze R Irodidiz Odovuz')" = 10 ]
# The hidden window is watched from before the answer until it is gone.
wine "$E2E_DRIVER" unseen 60 >"$E2E/unseen.txt" 2>/dev/null &
watcher=$!
E2E_PIDS+=($watcher)
e2e_check "the hidden window is watched" wz_wait_for "grep -q watching '$E2E/unseen.txt'" 30
e2e_expect_box Information "$question" Cancel 90
e2e_check "program ended after Cancel" wz_wait_for "! kill -0 $E2E_WIZARD_PID 2>/dev/null" 30
e2e_check "registry unchanged after Cancel" unchanged "$before"
e2e_check "the window was not shown between Cancel and the end" wait "$watcher"

# OK: the policy and the resume entry are written.
e2e_start_wizard "$app"
e2e_expect_box Information "$question" OK 90
e2e_check "program ended after OK" wz_wait_for "! kill -0 $E2E_WIZARD_PID 2>/dev/null" 30
value=$(wine reg query "$policy" /v DisableRemovableDriveIndexing /reg:64 2>/dev/null | tr -d '\r' | grep DisableRemovableDriveIndexing)
e2e_check "policy value is REG_DWORD 1" grep -qE 'REG_DWORD[[:space:]]+0x1$' <<<"$value"
entry=$(wine reg query "$runonce" /v "VAR Uzudivid Orirere" /reg:64 2>/dev/null | tr -d '\r' | grep 'VAR Uzudivid Orirere')
expected="\"$(winepath -w "$app/FirmwareUpgrade.exe" 2>/dev/null)\""
e2e_check "resume entry holds the quoted path ($entry)" grep -qF "REG_SZ    $expected" <<<"$entry"

# Policy in force: the ordinary start page.
e2e_start_wizard "$app"
e2e_wait_window 90 || e2e_fail "no window with the policy set"
e2e_check "no question with the policy set" wine "$E2E_DRIVER" nobox Information 3
e2e_check "start page" e2e_wait_page start 30
e2e_check "Start enabled" e2e_start_enabled
e2e_shot start-page-policy-set

# From a folder that no ANSI code page holds.
wineserver -k; wineserver -w  # the wizard above ends
wine reg delete "$policy" /v DisableRemovableDriveIndexing /f /reg:64 >/dev/null 2>&1
wine reg delete "$runonce" /v "VAR Uzudivid Orirere" /f >/dev/null 2>&1
wineserver -w
unicode_app="$WINEPREFIX/drive_c/Обновление 升级"
# First a copy whose manifest no longer asks for UTF-8 (blanked in place,
# so the file's layout stays): the program then has the prefix's ANSI code
# page, which holds neither alphabet.
mkdir -p "$unicode_app" && cp -r "$WIZARD_BUILD_DIR/dist/Bin" "$unicode_app/"
perl -0777 -pe 's{<activeCodePage[^>]*>UTF-8</activeCodePage>}{" " x length $&}e' \
  "$E2E_EXE" >"$unicode_app/FirmwareUpgrade.exe"
before=$(snapshot)
e2e_start_wizard "$unicode_app"
box=$(e2e_box "ZEMO DAZ Adoze R Irodidiz Odovuz" OK 90)
e2e_check "a box names the fix ($box)" grep -qF 'a folder with a plain name, such as C:\Firmware' <<<"$box"
e2e_check "program ended after the box" wz_wait_for "! kill -0 $E2E_WIZARD_PID 2>/dev/null" 30
e2e_check "registry unchanged without the UTF-8 code page" unchanged "$before"
# With the UTF-8 code page: the entry names the program in that folder.
cp "$E2E_EXE" "$unicode_app/"
e2e_start_wizard "$unicode_app"
e2e_expect_box Information "$question" OK 90
e2e_check "program ended after OK" wz_wait_for "! kill -0 $E2E_WIZARD_PID 2>/dev/null" 30
wine "$E2E_DRIVER" runonce "$(winepath -w "$E2E/runonce.txt")" 2>/dev/null
e2e_check "resume entry is the program in that folder, quoted" \
  [ "$(cat "$E2E/runonce.txt" 2>/dev/null)" = '"C:\Обновление 升级\FirmwareUpgrade.exe"' ]
e2e_end
