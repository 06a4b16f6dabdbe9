#!/usr/bin/env bash
# The shipped program and its release zip: a 64-bit GUI executable that
# needs only DLLs of Windows itself, with its icon and version information,
# packed with the Bin folder and a read-me.
set -u
exe="$WIZARD_BUILD_DIR/dist/FirmwareUpgrade.exe"
failed=0
check() { local what=$1; shift; if "$@"; then echo "ok: $what"; else echo "FAIL: $what" >&2; failed=1; fi; }

check "PE32+ GUI executable" grep -q 'PE32+ executable (GUI) x86-64' <<<"$(file "$exe")"
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print tolower($3)}' | sort -u)
echo "imports: $(tr '\n' ' ' <<<"$dlls")"
for dll in $dlls; do
  case "$dll" in
    kernel32.dll|user32.dll|gdi32.dll|comctl32.dll|setupapi.dll|advapi32.dll|shell32.dll|msimg32.dll|msvcrt.dll) ;;
    *) echo "FAIL: imports $dll, which Windows does not carry" >&2; failed=1 ;;
  esac
done
check "version information" grep -q 'ZOD Ezodi R Iravevod Idavedi' <<<"$(strings -el "$exe")"
check "file version 1.8.2.0" grep -q '1\.8\.2\.0' <<<"$(strings -el "$exe")"
check "comment" grep -q 'Firmware Upgrade' <<<"$(strings -el "$exe")"
check "company" grep -qx 'ZEMO' <<<"$(strings -el "$exe")"

cmake --build "$WIZARD_BUILD_DIR" --target release >/dev/null || { echo "FAIL: release target" >&2; exit 1; }
zip=$(ls "$WIZARD_BUILD_DIR"/FirmwareUpgrade-*-win64.zip)
listing=$(unzip -Z1 "$zip" | sort)
for f in FirmwareUpgrade.exe README.txt Bin/App_K40.SBIN Bin/Firmware.csv; do
  check "zip holds $f" grep -q "/$f\$" <<<"$listing"
done
check "zip is named for the version" [ "$(basename "$zip")" = FirmwareUpgrade-1.8.2-win64.zip ]
check "read-me has Windows line ends" bash -c "unzip -p '$zip' '*/README.txt' | head -n 1 | grep -q $'\r\$'"
exit $failed
