#!/usr/bin/env bash
# A second Windows for the tests: Wine 10 in a Debian 13 root, made once
# with debootstrap and kept, and commands run inside it.
# Usage: tools/wine10-root.sh make           makes the root unless it is ready
#        tools/wine10-root.sh run CMD ARG...  runs a command in it (making it first)
# The root is $WIZARD_WINE10_ROOT, else build/wine10-root beside the sources
# (as root; debootstrap comes from tools/install-deps.sh).
#
# A command sees the host's /dev, /sys and /tmp (so that its displays and
# the host's never take the same number), a /proc of its own, and the
# sources and the build folders at the same paths as on the host, so that
# the test scripts run unchanged; WIZARD_* and E2E_* variables pass in, and
# WIZARD_WINE=10 says which Wine runs. Each command runs in a mount and
# process namespace of its own: its bind mounts exist only there, and when
# it ends, however it ends, they go and so does every process it left.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
root=${WIZARD_WINE10_ROOT:-$here/build/wine10-root}
mirror=${WIZARD_DEBIAN_MIRROR:-http://deb.debian.org/debian}
# What the tests need inside: Wine and a display with its tools, the
# fonts, the shell tools of the harness, and the UI Automation headers
# (mingw-w64-common) that the probe is compiled with on the host.
packages=wine64,wine,xvfb,xdotool,x11-utils,imagemagick,fonts-liberation,procps,psmisc,file,libstdc++6,mingw-w64-common
# The 32-bit build runs under Wine's 32-bit loader, from the i386 archive.
packages_i386=wine32:i386
# The ready marker holds the recipe; a kept root of another recipe is made again.
recipe="trixie minbase $packages $packages_i386"

say() { printf '[wine10-root] %s\n' "$*" >&2; }

ready() { [ "$(cat "$root/.ready" 2>/dev/null)" = "$recipe" ]; }

# Removes a root, never reaching through a mount point into the host.
remove_root() {
  if findmnt -rn -o TARGET | grep -qF "$root/"; then
    say "something is mounted under $root; not removing it"
    return 1
  fi
  rm -rf --one-file-system "$root"
}

# Makes the root from nothing. debootstrap mounts /proc and /sys inside the
# root while it installs; in a mount namespace of its own those mounts
# cannot outlive it, even when it is killed.
make_root() {
  [ "$(id -u)" = 0 ] || { say "making the root needs root"; return 1; }
  command -v debootstrap >/dev/null || "$here/tools/install-deps.sh" test || return 1
  remove_root || return 1
  mkdir -p "$root"
  say "making a Debian 13 root with Wine 10 in $root (takes a few minutes) ..."
  local start=$SECONDS log="$root.log"
  if ! unshare --mount --propagation private --fork --pid --kill-child \
       debootstrap --variant=minbase --include="$packages" trixie "$root" "$mirror" >"$log" 2>&1; then
    tail -n 20 "$log" >&2
    say "debootstrap failed (whole log: $log)"
    return 1
  fi
  # apt-get clean: the downloaded packages are not needed again.
  if ! in_root env DEBIAN_FRONTEND=noninteractive sh -c "dpkg --add-architecture i386 && apt-get update -qq &&
         apt-get install -y -qq --no-install-recommends $packages_i386 && apt-get clean" >>"$log" 2>&1; then
    tail -n 20 "$log" >&2
    say "installing $packages_i386 failed (whole log: $log)"
    return 1
  fi
  printf '%s\n' "$recipe" >"$root/.ready"
  say "root ready in $((SECONDS - start)) s"
}

# Takes the lock: shared while the root is only used, exclusive
# while it is made, so that parallel runs wait for one maker and the root
# is never made again under a running command.
lock_ready_root() {
  mkdir -p "$(dirname "$root")"
  exec {lock_fd}>"$root.lock"
  flock -s "$lock_fd"
  ready && return 0
  flock -x "$lock_fd"
  ready || make_root || return 1
  flock -s "$lock_fd"
}

# The folders a command needs at their host paths: the sources, and the
# build folders when they lie elsewhere.
shared_folders() {
  local d
  for d in "$here" "${WIZARD_OUT:-}" "${WIZARD_BUILD_DIR:-}" "${WIZARD_NATIVE_BUILD_DIR:-}" "${WIZARD_SHOTS_DIR:-}"; do
    [ -n "$d" ] && [ -d "$d" ] && printf '%s\n' "${d%/}"
  done | sort -u | awk 'NR == 1 || index($0, last "/") != 1 { print; last = $0 }'
}

# Inside the namespaces: the mounts, then the command in the root.
mounted=()
unmount_all() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}"; done
}
enter() {
  local m
  trap unmount_all EXIT
  mount -t proc proc "$root/proc" && mounted+=("$root/proc") || return 1
  for m in /sys /dev /dev/pts /dev/shm /tmp $(shared_folders); do
    mkdir -p "$root$m"
    mount --bind "$m" "$root$m" && mounted+=("$root$m") || return 1
  done
  local vars=() v
  for v in $(compgen -e | grep -E '^(WIZARD_|E2E_)'); do vars+=("$v=${!v}"); done
  local dir=$PWD
  [ -d "$root$dir" ] || dir=/
  chroot "$root" env -i -C "$dir" PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin HOME=/root LANG=C.UTF-8 \
    TERM="${TERM:-dumb}" "${vars[@]}" WIZARD_WINE=10 "$@"
}

# Runs a command in the root, in namespaces of its own.
in_root() {
  unshare --mount --propagation private --fork --pid --kill-child bash "$here/tools/wine10-root.sh" _enter "$@"
}

case "${1:-}" in
  make)
    lock_ready_root ;;
  run)
    shift
    [ $# -gt 0 ] || { say "run what?"; exit 2; }
    lock_ready_root || exit 1
    in_root "$@" ;;
  _enter)
    shift
    enter "$@" ;;
  *)
    say "usage: $0 make | run COMMAND [ARG...]"
    exit 2 ;;
esac
