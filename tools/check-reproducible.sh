#!/usr/bin/env bash
# Checks that a release can be rebuilt by anyone: builds the release of the
# current commit twice, each from a clean clone of its own, in folders of
# different names and depths, at different times, under different time
# zones, locales and umasks; then compares both zips, both executables,
# SHA256SUMS and BUILDINFO.txt byte for byte, and names every zip member that differs.
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

# A locale other than C for the second build, made in a folder of its own
# (LOCPATH) rather than installed; C.UTF-8 when the locale sources are missing.
other_locale=de_DE.UTF-8
mkdir -p "$work/locale"
localedef -i de_DE -f UTF-8 "$work/locale/$other_locale" >/dev/null 2>&1 || other_locale=C.UTF-8

# build SOURCE BUILD64 BUILD32: clones the commit into SOURCE and builds the
# release in BUILD64 (which has BUILD32 pack the 32-bit zip).
build() {
  echo "Building the release in $1 (TZ=$TZ, LC_ALL=$LC_ALL, umask $(umask)) ..."
  { git clone -q "$root" "$1" && git -C "$1" checkout -q --detach "$commit" &&
    cmake -S "$1" -B "$2" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$1/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DWIZARD_PEER_BUILD_DIR="$3" &&
    cmake --build "$2" --target release; } >"$work/build.log" 2>&1 ||
    { tail -n 40 "$work/build.log"; echo "FAIL: the build in $1 failed" >&2; exit 1; }
}
# The trees: inside the first clone, outside the second.
a="$work/a/src/build" b="$work/second build/in another folder/trees"
unset SOURCE_DATE_EPOCH
(umask 022; export TZ=UTC LANG=C LC_ALL=C; build "$work/a/src" "$a/win" "$a/win32") || exit 1
(umask 077; export LOCPATH="$work/locale" TZ=Pacific/Kiritimati LANG=$other_locale LC_ALL=$other_locale
 build "$work/second build/FirmwareUpgrade source" "$b/win" "$b/win32") || exit 1

failed=0
for f in win/SHA256SUMS win/BUILDINFO.txt win/dist/FirmwareUpgrade.exe win32/dist/FirmwareUpgrade.exe \
         $(awk '{ print "win/" $2 }' "$a/win/SHA256SUMS"); do
  if cmp -s "$a/$f" "$b/$f"; then echo "ok: $f"; continue; fi
  echo "FAIL: $f differs" >&2; failed=1
  [[ $f == *.zip ]] || continue
  # The members that differ, or else the zip's own headers.
  rm -rf "$work/unzip-a" "$work/unzip-b"
  unzip -q "$a/$f" -d "$work/unzip-a" && unzip -q "$b/$f" -d "$work/unzip-b"
  ! diff -rq "$work/unzip-a" "$work/unzip-b" >&2 ||
    diff <(zipinfo -l "$a/$f" | tail -n +3) <(zipinfo -l "$b/$f" | tail -n +3) >&2
done
sed 's/^/  /' "$a/win/SHA256SUMS"
if [ "$failed" = 0 ]; then echo "Reproducible: commit $commit"; else echo "NOT reproducible: commit $commit" >&2; fi
exit $failed
