#!/usr/bin/env bash
# The DLLs the executable imports: only the known system DLLs that the
# README names (kernel32, user32, gdi32, advapi32, msvcrt), which Windows
# always loads from its own folder. Any other DLL is searched for in the
# program's folder first, where a file of that name (in Downloads, say)
# would be loaded in its place; such DLLs (shell32, setupapi, comctl32 and
# the rest) are loaded at run time from System32.
set -u
: "${WIZARD_BUILD_DIR:?}" "${WIZARD_ARCH:?}"
exe="$WIZARD_BUILD_DIR/dist/FirmwareUpgrade.exe"
declare -A objdump=([win32]=i686-w64-mingw32-objdump [win64]=x86_64-w64-mingw32-objdump)
declare -A allowed=()
for dll in kernel32 user32 gdi32 advapi32 msvcrt; do
  allowed[$dll.dll]=1
done

dlls=$("${objdump[$WIZARD_ARCH]}" -p "$exe" | awk '/DLL Name:/ { print tolower($3) }' | sort -u)
[ -n "$dlls" ] || { echo "FAIL: no import listing for $exe" >&2; exit 1; }
echo "imports: $(tr '\n' ' ' <<<"$dlls")"
failed=0
for dll in $dlls; do
  if [ -z "${allowed[$dll]:-}" ]; then
    echo "FAIL: imports $dll, which is not one of the system DLLs that the program may import" >&2
    failed=1
  fi
done
[ "$failed" = 0 ] && echo "ok: only system DLLs imported"
exit $failed
