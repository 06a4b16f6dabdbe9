#!/usr/bin/env bash
# Checks that a release can be rebuilt by anyone: builds the release of the
# current commit twice, each from a clean clone of its own, in folders of
# different names and depths, at different times, under different time
# zones, locales and umasks; then compares both zips, both executables and
# SHA256SUMS byte for byte, and names every zip member that differs.
# Only the release is built (both cross trees), no tests.
# Usage: tools/check-reproducible.sh   (as root on a fresh machine: installs what it needs)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh" test || exit 1

work=$(mktemp -d "${TMPDIR:-/tmp}/wizard-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT
commit=$(git -C "$root" rev-parse HEAD) || exit 1
[ -z "$(git -C "$root" status --porcelain --untracked-files=no)" ] ||
  echo "note: uncommitted changes are not checked, only commit $commit"
start=$(date +%s)

# A locale other than C for the second build, made in a folder of its own
# (LOCPATH) rather than installed; C.UTF-8 when the locale sources are missing.
other_locale=de_DE.UTF-8
mkdir -p "$work/locale"
if ! localedef -i de_DE -f UTF-8 "$work/locale/$other_locale" >/dev/null 2>&1; then
  other_locale=C.UTF-8
fi

# build NAME SOURCE BUILD64 BUILD32: clones the commit into SOURCE and builds
# the release in BUILD64 (which has BUILD32 pack the 32-bit zip).
build() {
  local name=$1 src=$2 b64=$3 b32=$4 log="$work/$1.log"
  echo "Building the release ($name: $src, TZ=$TZ, LC_ALL=$LC_ALL, umask $(umask)) ..."
  if ! { git clone -q "$root" "$src" && git -C "$src" checkout -q --detach "$commit" &&
         cmake -S "$src" -B "$b64" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-x86_64.cmake" \
           -DCMAKE_BUILD_TYPE=Release -DWIZARD_PEER_BUILD_DIR="$b32" &&
         cmake --build "$b64" --target release; } >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "FAIL: the $name build failed" >&2
    exit 1
  fi
}

a="$work/a"
b="$work/second build/in another folder"
a64="$a/src/build/win" a32="$a/src/build/win32"
b64="$b/out/x64" b32="$b/out/x86"
unset SOURCE_DATE_EPOCH
(umask 022; export TZ=UTC LANG=C LC_ALL=C; build first "$a/src" "$a64" "$a32") || exit 1
(umask 077; export TZ=Pacific/Kiritimati LANG=$other_locale LC_ALL=$other_locale LOCPATH="$work/locale"
 build second "$b/FirmwareUpgrade source" "$b64" "$b32") || exit 1

failed=0
# same WHAT FILE_A FILE_B
same() {
  if cmp -s "$2" "$3"; then echo "ok: $1"; return 0; fi
  echo "FAIL: $1 differs ($(cmp -l "$2" "$3" 2>/dev/null | wc -l) bytes; sizes $(stat -c %s "$2" "$3" | tr '\n' ' '))" >&2
  failed=1
  return 1
}
# zip_members ZIP_A ZIP_B: names each member that differs, or what else does.
zip_members() {
  local ua="$work/unzip-a" ub="$work/unzip-b" m
  rm -rf "$ua" "$ub"
  unzip -q "$1" -d "$ua" && unzip -q "$2" -d "$ub" || return
  if [ "$(unzip -Z1 "$1")" != "$(unzip -Z1 "$2")" ]; then
    echo "  the members differ or come in another order:" >&2
    diff <(unzip -Z1 "$1") <(unzip -Z1 "$2") | sed 's/^/    /' >&2
  fi
  while IFS= read -r m; do
    [ -f "$ua/$m" ] || continue
    cmp -s "$ua/$m" "$ub/$m" || echo "  member differs: $m" >&2
  done < <(unzip -Z1 "$1")
  local headers
  headers=$(diff <(zipinfo -l "$1" | tail -n +3) <(zipinfo -l "$2" | tail -n +3)) ||
    { echo "  headers (dates, permissions, sizes):" >&2; sed 's/^/    /' <<<"$headers" >&2; }
}

same SHA256SUMS "$a64/SHA256SUMS" "$b64/SHA256SUMS"
zips=$(awk '{print $2}' "$a64/SHA256SUMS")
[ "$(wc -l <<<"$zips")" = 2 ] || { echo "FAIL: SHA256SUMS names $(wc -l <<<"$zips") zips, not 2" >&2; failed=1; }
for zip in $zips; do
  same "$zip" "$a64/$zip" "$b64/$zip" || zip_members "$a64/$zip" "$b64/$zip"
done
same "win64 FirmwareUpgrade.exe" "$a64/dist/FirmwareUpgrade.exe" "$b64/dist/FirmwareUpgrade.exe" ||
  same "  its icon" "$a64/resources/FirmwareUpgrade.ico" "$b64/resources/FirmwareUpgrade.ico"
same "win32 FirmwareUpgrade.exe" "$a32/dist/FirmwareUpgrade.exe" "$b32/dist/FirmwareUpgrade.exe" ||
  same "  its icon" "$a32/resources/FirmwareUpgrade.ico" "$b32/resources/FirmwareUpgrade.ico"

echo
sed 's/^/  /' "$a64/SHA256SUMS"
if [ "$failed" = 0 ]; then
  echo "Reproducible: commit $commit gives the same release from both builds ($(( $(date +%s) - start )) s)"
else
  echo "NOT reproducible: commit $commit gives two different releases" >&2
fi
exit $failed
