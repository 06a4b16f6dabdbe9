#!/bin/bash
# Boot drive recognition and the copy worker under Wine, against drives
# mapped in a prefix of their own (see tests/win/bootdrive/wine_drives.h):
# removable drives are folders linked in dosdevices with the type "floppy"
# in HKLM\Software\Wine\Drives and their label in .windows-label; Wine
# reads both when its server starts, so they are in place before that.
# As root, a 64 KiB tmpfs stands for a drive that fills up during the copy.
# J: and K: are dropped by a flush that fails as the device takes the file.
set -euo pipefail

: "${WIZARD_BUILD_DIR:?}" "${WIZARD_SOURCE_DIR:?}"
# shellcheck source=../lib/wine-env.sh
. "$WIZARD_SOURCE_DIR/tests/lib/wine-env.sh"

EXE=$WIZARD_BUILD_DIR/tests/win_bootdrive_tests.exe
[ -f "$EXE" ] || { echo "test program missing: $EXE" >&2; exit 1; }

work=$(mktemp -d "$WIZARD_BUILD_DIR/bootdrive_wine.XXXXXX")
export WINEPREFIX=$work/prefix
mounted=
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$mounted" ]; then umount "$mounted" 2>/dev/null || umount -l "$mounted" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

wz_new_prefix "$WINEPREFIX"
wineserver -k >/dev/null 2>&1 || true

drive() {  # letter, label, type (floppy or hd)
  local letter=$1 label=$2 dir=$work/drives/$1
  mkdir -p "$dir"
  printf '%s\n' "$label" >"$dir/.windows-label"
  rm -f "$WINEPREFIX/dosdevices/$letter:" "$WINEPREFIX/dosdevices/$letter::"
  ln -s "$dir" "$WINEPREFIX/dosdevices/$letter:"
  printf '"%s:"="%s"\n' "$letter" "$3" >>"$work/drives.reg"
}
printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Drives]\n' >"$work/drives.reg"
drive d "VAZ UD40" hd
drive e "vaz ud40" floppy
drive f "BOOT RUZ I ZA 1" floppy
drive g "VAZ UD40" floppy
mkdir -p "$work/drives/h"
# Without it the full-drive case skips itself, and a skip fails this script.
if [ "$(id -u)" = 0 ] && mount -t tmpfs -o size=64k tmpfs "$work/drives/h" 2>/dev/null; then
  mounted=$work/drives/h
  export WZ_FULL_DRIVE=1
else
  echo "no 64 KiB drive could be mounted (needs root): the full-drive case cannot run" >&2
fi
drive h "SMALL" floppy
drive i "GONE" floppy
drive j "DROPPED" floppy
drive k "TIMED OUT" floppy
wz_reg_import "$work/drives.reg"
wineserver -k >/dev/null 2>&1 || true
rm -rf "$work/drives/i"

image_dir=$WINEPREFIX/drive_c/App/Bin
mkdir -p "$image_dir"
head -c $((6 * 1024 * 1024 + 123)) /dev/urandom >"$image_dir/App_K40.SBIN"

# Root writes into read-only files; without the override capabilities the
# test program meets a read-only target as a Windows user does.
as_user=()
if [ "$(id -u)" = 0 ]; then
  as_user=(setpriv --inh-caps=-dac_override,-dac_read_search --bounding-set=-dac_override,-dac_read_search)
fi
# Flushes of a firmware file that fail as a full or vanishing drive's do,
# one for each line the test writes to C:\flush-fails.txt (tools/flush_fails).
native=${WIZARD_NATIVE_BUILD_DIR:?}/tools
export WZ_FLUSH_FAILS=$WINEPREFIX/drive_c/flush-fails.txt WZ_DOSDEVICES=$WINEPREFIX/dosdevices
status=0
wz_gtest "${as_user[@]}" env LD_PRELOAD="$native/flush_fails.so $native/flush_fails32.so" wine "$EXE" || status=$?
wineserver -w
exit $status
