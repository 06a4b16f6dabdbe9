# Shared helpers for tests that run Windows programs under Wine and Xvfb.
# Source it; every function is prefixed wz_.
# The tests run under the host's Wine 8, and under Wine 10 in the root of
# tools/wine10-root.sh, which sets WIZARD_WINE=10.
WZ_WINE=${WIZARD_WINE:-8}

wz_log() { printf '[wine-env] %s\n' "$*" >&2; }

# True when this machine runs 32-bit programs. Some kernels have 32-bit
# emulation off (a virtual machine's kernel may switch it off at boot): Wine's
# 32-bit loader, and every 32-bit Windows program with it, then fails to start.
wz_runs_32bit() { [ ! -x /usr/lib/wine/wine ] || /usr/lib/wine/wine --version >/dev/null 2>&1; }
# There, `wine` is Wine's 64-bit loader, which runs the 64-bit tools.
if ! wz_runs_32bit; then
  case ":$PATH:" in
    *"/tests/lib/wine64-only:"*) ;;
    *) PATH="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine64-only:$PATH" ;;
  esac
fi

export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml,winemenubuilder.exe="}

# Prints the template prefix of this build and Wine, creating it once
# (under a lock, so parallel tests wait for the first one), and again when
# the way it is made (this file) has changed since.
wz_template() {
  local build=${WIZARD_BUILD_DIR:?WIZARD_BUILD_DIR must name the build folder}
  local t="$build/wine-template" made
  [ "$WZ_WINE" = 8 ] || t="$build/wine$WZ_WINE-template"
  made=$(sha256sum <"${BASH_SOURCE[0]}")
  (
    flock 9
    if [ "$(cat "$t/.ready" 2>/dev/null)" != "$made" ]; then
      rm -rf "$t"
      wz_log "creating Wine prefix template in $t"
      WINEPREFIX="$t" wineboot -i >/dev/null 2>&1
      WINEPREFIX="$t" wineserver -w
      # Arial comes from Liberation Sans, the metric-compatible font.
      WINEPREFIX="$t" wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /d 'Liberation Sans' /f >/dev/null 2>&1
      WINEPREFIX="$t" wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS Sans Serif' /d 'Liberation Sans' /f >/dev/null 2>&1
      WINEPREFIX="$t" wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Tahoma /d 'Liberation Sans' /f >/dev/null 2>&1
      # Keyboard cues hidden until a key is pressed, as Windows has them by
      # default (Wine shows them always).
      WINEPREFIX="$t" wine reg add 'HKCU\Control Panel\Desktop' /v UserPreferencesMask /t REG_BINARY /d 1000028012000000 /f >/dev/null 2>&1
      # A new Wine 10 prefix reports Windows 10, Wine 8's Windows 7 (6.1),
      # which is where the cases start; they set a later one themselves.
      # Each bitness reads the version in its own registry view.
      if [ "$WZ_WINE" = 10 ]; then
        for loader in wine /usr/lib/wine/wine64; do WINEPREFIX="$t" "$loader" winecfg -v win7 >/dev/null 2>&1; done
      fi
      WINEPREFIX="$t" wineserver -w
      printf '%s\n' "$made" >"$t/.ready"
    fi
  ) 9>"$t.lock"
  printf '%s\n' "$t"
}

# Makes a fresh prefix in $1 from the template.
wz_new_prefix() {
  local dest=$1 t
  t=$(wz_template) || return 1
  rm -rf "$dest"
  mkdir -p "$(dirname "$dest")"
  cp -a "$t" "$dest"
  rm -f "$dest/.ready"
}

# The Wine loader that runs the Windows program $1 in the process it starts.
# With Wine's 32-bit loader installed, `wine` starts a 64-bit program from a
# 32-bit start.exe, as another Linux process; the process id that the caller
# holds is then start.exe's, and its memory and descriptors are not the
# program's. The 64-bit loader runs a 64-bit program in its own process.
wz_loader() {
  if [ -x /usr/lib/wine/wine64 ] && file -b "$1" | grep -q '^PE32+'; then
    echo /usr/lib/wine/wine64
  else
    echo wine
  fi
}

# Imports the .reg file $1 (a Linux path) into the prefix $WINEPREFIX, and
# makes sure it is in the registry the prefix saved, which the next server
# loads: a write its server did not save (seen once under load, with reg's
# exit code 0) would show as the program's fault. Fails, saying so, when
# the import is not there after three.
# With wine32 installed, `wine` starts the 32-bit tools, whose writes under
# HKLM\Software land in Wow6432Node: import into the 64-bit view, which is
# where Wine and 64-bit programs look.
wz_reg_import() {
  local key hive try
  key=$(grep '^\[' "$1" | tail -n 1 | tr -d '[]\r')
  case $key in
    HKEY_LOCAL_MACHINE\\*) hive=system.reg ;;
    HKEY_CURRENT_USER\\*) hive=user.reg ;;
  esac
  key=${key#*\\}
  for try in 1 2 3; do
    wine reg import "$(winepath -w "$1")" /reg:64 >/dev/null 2>&1; wineserver -w
    [ -z "${hive:-}" ] || grep -qiF "[${key//\\/\\\\}]" "$WINEPREFIX/$hive" && return 0
    wz_log "$1: not in the saved registry after import $try"
  done
  return 1
}

# Starts Xvfb on a display that the server itself finds free (so that
# parallel tests never share one); sets DISPLAY and WZ_XVFB_PID.
# -noreset: an X server resets when its last client goes, and drops a
# client that connects meanwhile. The cases look for windows with short
# clients (xdotool, xwininfo) while Wine's desktop process makes its one
# connection at the first window of a prefix; dropped, it has no display
# driver, and no window of that Wine session ever shows (docs/DESIGN.md).
wz_start_xvfb() {
  local numfile i n
  numfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$numfile" >/dev/null 2>&1 &
  WZ_XVFB_PID=$!
  for i in $(seq 1 300); do
    n=$(tr -dc '0-9' <"$numfile")
    if [ -n "$n" ] && [ -e "/tmp/.X11-unix/X$n" ]; then
      rm -f "$numfile"
      export DISPLAY=":$n"
      return 0
    fi
    kill -0 "$WZ_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$numfile"
  wz_log "no display could be started"
  return 1
}

wz_stop_xvfb() { [ -n "${WZ_XVFB_PID:-}" ] && kill "$WZ_XVFB_PID" 2>/dev/null; wait "$WZ_XVFB_PID" 2>/dev/null; WZ_XVFB_PID=; }

# Waits up to $2 seconds for a window whose name matches $1; prints its id.
wz_wait_window() {
  local name=$1 limit=${2:-60} i id
  for i in $(seq 1 $((limit * 10))); do
    id=$(xdotool search --name "$name" 2>/dev/null | head -n 1)
    if [ -n "$id" ]; then printf '%s\n' "$id"; return 0; fi
    sleep 0.1
  done
  return 1
}

# wz_gtest CMD...: runs a GoogleTest program, shows its report and passes on
# its status; a skipped case fails it, since it proved nothing.
wz_gtest() {
  local out rc
  out=$(mktemp)
  "$@" 2>&1 | tee "$out"; rc=${PIPESTATUS[0]}
  if grep -q '^\[  SKIPPED \]' "$out"; then echo "FAIL: a case was skipped" >&2; rc=1; fi
  rm -f "$out"; return "$rc"
}

# Waits up to $2 seconds for the command in $1 to succeed.
wz_wait_for() {
  local cond=$1 limit=${2:-60} i
  for i in $(seq 1 $((limit * 10))); do
    eval "$cond" && return 0
    sleep 0.1
  done
  return 1
}
