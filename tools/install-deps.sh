#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing the
# wizard need, when some are missing. Usage: install-deps.sh [run|test]
set -euo pipefail
what=${1:-test}

packages=(cmake ninja-build g++ make
          g++-mingw-w64-x86-64 gcc-mingw-w64-x86-64 mingw-w64-tools binutils-mingw-w64-x86-64
          wine wine64 xvfb xdotool x11-utils imagemagick fonts-liberation socat procps psmisc
          python3 git)
if [ "$what" = test ]; then
  packages+=(googletest libgtest-dev libgmock-dev clang libclang-rt-14-dev zip unzip file libxml2-utils
             g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 wine32:i386
             osslsigncode openssl locales tzdata debootstrap gcc-multilib)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages and not root: run as root, or install them: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
# The 32-bit build runs under Wine's 32-bit loader, from the i386 archive.
if printf '%s\n' "${missing[@]}" | grep -q ':i386$' && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
# A mirror in the middle of a sync fails one index now and then: ask again,
# and go on with the indexes that came when it keeps failing, since the
# install says plainly if a package is then missing.
indexes_whole=yes
for try in 1 2 3; do
  apt-get update -qq && break
  if [ "$try" = 3 ]; then
    echo "apt-get update failed three times: going on with the indexes it has" >&2
    indexes_whole=
  else
    sleep 10
  fi
done
apt-get install -y -qq "${missing[@]}" >/dev/null && exit 0
[ -n "$indexes_whole" ] && exit 1
# Without an index of one architecture (the security archive's i386 one,
# say), a multi-arch library's twins can be had only at different versions,
# and the install stops at "held broken packages". The release's own suite
# as the default keeps the twins at one version.
suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
[ -n "$suite" ] || exit 1
echo "The install failed with an index missing: installing again from $suite's own suite (apt-get install -t $suite)" >&2
apt-get install -y -qq -t "$suite" "${missing[@]}" >/dev/null && exit 0
echo "That failed too: this machine's libraries are newer than what the indexes that came offer; run again once the mirror has synced" >&2
exit 1
