#!/usr/bin/env bash
# The shipped program of this tree and the release.
#  1. The executable: a GUI program of the tree's architecture (PE32 for
#     win32, PE32+ for win64) with its version information; its application
#     manifest as Windows reads it (resource RT_MANIFEST, id 1), entry by
#     entry; and no function newer than Windows 7 imported statically, so
#     that it starts there (the program looks those up at run time).
#     Hardened as Windows allows: ASLR, DEP, Terminal Server aware, no
#     section both writable and executable; no build folder named in it.
#  2. The release target: both zips, win32 and win64, of the same layout,
#     each with the executable of its architecture, members dated from the
#     commit; SHA256SUMS of both. The packing checks the image first, and
#     a cut one stops it.
set -u
: "${WIZARD_BUILD_DIR:?}" "${WIZARD_SOURCE_DIR:?}" "${WIZARD_ARCH:?}"
source "$WIZARD_SOURCE_DIR/tests/lib/wine-env.sh"
exe="$WIZARD_BUILD_DIR/dist/FirmwareUpgrade.exe"
work=$(mktemp -d "$WIZARD_BUILD_DIR/release_package.XXXXXX")
export WINEPREFIX="$work/prefix"
cleanup() { wineserver -k >/dev/null 2>&1; rm -rf "$work"; }
trap cleanup EXIT
failed=0
check() { local what=$1; shift; if "$@"; then echo "ok: $what"; else echo "FAIL: $what" >&2; failed=1; fi; }

declare -A file_type=([win32]='PE32 executable (GUI) Intel 80386' [win64]='PE32+ executable (GUI) x86-64')
declare -A objdump=([win32]=i686-w64-mingw32-objdump [win64]=x86_64-w64-mingw32-objdump)

# 1. The executable.
check "${file_type[$WIZARD_ARCH]}" grep -qF "${file_type[$WIZARD_ARCH]}" <<<"$(file -b "$exe")"
check "version information" grep -q 'ZOD Ezodi R Iravevod Idavedi' <<<"$(strings -el "$exe")"
check "file version 1.8.2.0" grep -q '1\.8\.2\.0' <<<"$(strings -el "$exe")"
check "comment" grep -q 'Firmware Upgrade' <<<"$(strings -el "$exe")"
check "company" grep -qx 'ZEMO' <<<"$(strings -el "$exe")"

# The manifest, read by the loader's own calls under Wine.
wz_new_prefix "$WINEPREFIX" || exit 1
manifest="$work/manifest.xml"
if ! wine "$WIZARD_BUILD_DIR/tests/manifest_resource.exe" "$(winepath -w "$exe" 2>/dev/null)" >"$manifest"; then
  echo "FAIL: no manifest resource (RT_MANIFEST, id 1)" >&2
  exit 1
fi
check "manifest is well-formed XML" xmllint --noout "$manifest"
# el NAME NAMESPACE: an element by its name in its namespace; Windows
# ignores an entry in any other namespace.
el() { printf "*[local-name()='%s' and namespace-uri()='%s']" "$1" "$2"; }
asm1=urn:schemas-microsoft-com:asm.v1
asm3=urn:schemas-microsoft-com:asm.v3
compat=urn:schemas-microsoft-com:compatibility.v1
os="/$(el assembly $asm1)/$(el compatibility $compat)/$(el application $compat)/$(el supportedOS $compat)"
settings="/$(el assembly $asm1)/$(el application $asm3)/$(el windowsSettings $asm3)"
# One row per entry: what it is for, and the XPath that finds it.
manifest_rows=(
  "runs as the invoking user (asInvoker)|/$(el assembly $asm1)/$(el trustInfo $asm3)/$(el security $asm3)/$(el requestedPrivileges $asm3)/$(el requestedExecutionLevel $asm3)[@level='asInvoker']"
  "supported OS: Windows 7|$os[@Id='{35138b9a-5d96-4fbd-8e2d-a2440225f93a}']"
  "supported OS: Windows 8|$os[@Id='{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}']"
  "supported OS: Windows 8.1|$os[@Id='{1f676c76-80e1-4239-95bb-83d0f6d0da78}']"
  "supported OS: Windows 10 and 11|$os[@Id='{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}']"
  "Common Controls 6.0.0.0|/$(el assembly $asm1)/$(el dependency $asm1)/$(el dependentAssembly $asm1)/$(el assemblyIdentity $asm1)[@name='Microsoft.Windows.Common-Controls' and @version='6.0.0.0' and @publicKeyToken='6595b64144ccf1df']"
  "dpiAware true/pm|$settings/$(el dpiAware http://schemas.microsoft.com/SMI/2005/WindowsSettings)[normalize-space()='true/pm']"
  "dpiAwareness PerMonitorV2, PerMonitor|$settings/$(el dpiAwareness http://schemas.microsoft.com/SMI/2016/WindowsSettings)[normalize-space()='PerMonitorV2, PerMonitor']"
  "active code page UTF-8|$settings/$(el activeCodePage http://schemas.microsoft.com/SMI/2019/WindowsSettings)[normalize-space()='UTF-8']"
)
for row in "${manifest_rows[@]}"; do
  IFS='|' read -r what path <<<"$row"
  found=$(xmllint --xpath "boolean($path)" "$manifest" 2>/dev/null)
  check "manifest: $what" [ "$found" = true ]
done

# Functions that came after Windows 7 (or with one of its updates only):
# an executable that imports one of them does not start there.
late_functions=(GetDpiForWindow GetDpiForSystem AdjustWindowRectExForDpi SetThreadDpiAwarenessContext
                SetProcessDpiAwarenessContext GetSystemMetricsForDpi SystemParametersInfoForDpi
                EnableNonClientDpiScaling GetDpiForMonitor SetProcessDpiAwareness
                SetDefaultDllDirectories AddDllDirectory RemoveDllDirectory
                SetThreadDescription GetThreadDescription)
imports=$("${objdump[$WIZARD_ARCH]}" -p "$exe" |
  awk '/DLL Name:/ { dll = tolower($3); next } /^$/ { dll = "" } dll && $1 ~ /^[0-9a-f]+$/ && NF >= 3 { print dll, $3 }')
[ -n "$imports" ] || { echo "FAIL: no import listing" >&2; failed=1; }
late=$(for f in "${late_functions[@]}"; do awk -v f="$f" '$2 == f { print $2 " from " $1 }' <<<"$imports"; done)
check "no function newer than Windows 7 imported statically${late:+ (imports: $(tr '\n' ' ' <<<"$late"))}" [ -z "$late" ]

# Hardening: Windows loads the program at a random address (ASLR, which
# needs its relocations; high-entropy addresses for x64), runs none of its
# data (DEP) and applies no Terminal Server shims.
declare -A hardening=([win32]='DYNAMIC_BASE NX_COMPAT TERMINAL_SERVICE_AWARE'
                      [win64]='DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT TERMINAL_SERVICE_AWARE')
headers=$("${objdump[$WIZARD_ARCH]}" -p "$exe")
dll_flags=$(awk '/^DllCharacteristics/ { on = 1; next } on && /^\t/ { print $1; next } { on = 0 }' <<<"$headers")
for flag in ${hardening[$WIZARD_ARCH]}; do
  check "DllCharacteristics: $flag" grep -qx "$flag" <<<"$dll_flags"
done
relocations_kept() {
  ! grep -q 'relocations stripped' <<<"$headers" &&
    awk '/Base Relocation Directory/ { found = $3 !~ /^0+$/ } END { exit !found }' <<<"$headers"
}
check "relocations kept" relocations_kept
# objdump -h: a section Windows may execute is CODE, one it may not write READONLY.
wx=$("${objdump[$WIZARD_ARCH]}" -h "$exe" | awk '/^ *[0-9]+ / { name = $2; next } /CODE/ && !/READONLY/ { print name }')
check "no section both writable and executable${wx:+ ($wx)}" [ -z "$wx" ]
for dir in "$WIZARD_SOURCE_DIR" "$WIZARD_BUILD_DIR"; do
  check "no path of $dir in the program" bash -c '! strings -a "$1" | grep -qF "$2"' _ "$exe" "$dir"
done

# 2. The release: both zips, packed by this tree's release target (one tree
# at a time: either tree's target packs in both).
exec 9>"${WIZARD_RELEASE_LOCK:-$WIZARD_BUILD_DIR/release.lock}"
flock 9
cmake --build "$WIZARD_BUILD_DIR" --target release >"$work/release.log" 2>&1 ||
  { cat "$work/release.log"; echo "FAIL: release target" >&2; exit 1; }
flock -u 9
check "the packing refuses a cut image" bash -c 'head -c 5000 "$2" >"$3" && ! "$1" "$3"' _ \
  "$WIZARD_BUILD_DIR/check_image_host" "$WIZARD_SOURCE_DIR/resources/Bin/App_K40.SBIN" "$work/cut.SBIN"
layouts=()
# The members' date: SOURCE_DATE_EPOCH, or the time of the last commit, to
# the even second below (a zip keeps times in steps of two seconds).
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$WIZARD_SOURCE_DIR" log -1 --format=%ct 2>/dev/null || echo 315532800)}
release_date=$(TZ=UTC date -d "@$((epoch - epoch % 2))" +%Y%m%d.%H%M%S)
for arch in win32 win64; do
  zip="$WIZARD_BUILD_DIR/FirmwareUpgrade-1.8.2-$arch.zip"
  if [ ! -f "$zip" ]; then echo "FAIL: $arch: the release packs no $(basename "$zip")" >&2; failed=1; continue; fi
  listing=$(unzip -Z1 "$zip" | sort)
  for f in FirmwareUpgrade.exe README.txt Bin/App_K40.SBIN Bin/Firmware.csv; do
    check "$arch: zip holds $f" grep -q "^FirmwareUpgrade-1.8.2-$arch/$f\$" <<<"$listing"
  done
  layouts+=("$(sed 's|^[^/]*/||' <<<"$listing")")
  dates=$(zipinfo -T "$zip" | awk '$NF ~ /^FirmwareUpgrade/ { print $(NF - 1) }' | sort -u)
  check "$arch: every member dated $release_date (${dates//$'\n'/ })" [ "$dates" = "$release_date" ]
  unzip -p "$zip" '*/FirmwareUpgrade.exe' >"$work/$arch.exe"
  check "$arch: the zip's program is a ${file_type[$arch]}" grep -qF "${file_type[$arch]}" <<<"$(file -b "$work/$arch.exe")"
  unzip -p "$zip" '*/README.txt' | tr -d '\r' >"$work/$arch-readme.txt"
  check "$arch: read-me has Windows line ends" bash -c "unzip -p '$zip' '*/README.txt' | head -n 1 | grep -q $'\r\$'"
  check "$arch: read-me says which zip to take" bash -c "grep -q 'win32.zip' '$work/$arch-readme.txt' && grep -q 'win64.zip' '$work/$arch-readme.txt'"
done
check "$WIZARD_ARCH: the zip holds this tree's program" cmp -s "$exe" "$work/$WIZARD_ARCH.exe"
check "SHA256SUMS of both zips, as sha256sum -c reads them" bash -c 'cd "$1" && sha256sum --quiet -c SHA256SUMS &&
  [ "$(cut -d " " -f 3 SHA256SUMS | tr "\n" " ")" = "FirmwareUpgrade-1.8.2-win32.zip FirmwareUpgrade-1.8.2-win64.zip " ]' _ "$WIZARD_BUILD_DIR"
check "BUILDINFO.txt names both cross compilers, both binutils and Python's zlib" bash -c 'for t in \
  "g++-mingw-w64-x86-64-posix " "g++-mingw-w64-i686-posix " binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 " zlib "; do
  grep -qF -- "$t" "$1/BUILDINFO.txt" || exit 1; done' _ "$WIZARD_BUILD_DIR"
same_layout() { [ "${#layouts[@]}" = 2 ] && [ "${layouts[0]}" = "${layouts[1]}" ]; }
check "both zips have the same layout" same_layout
exit $failed
