# Simulated transponders on the COM ports of a fresh Wine prefix, for the
# serial link's script tests. Source it after setting `set -euo pipefail`;
# then: sims_begin NAME; start_sim PORT [simulator options]...; wait_sims PORTS...
# It defines SIM, EXE (win_serial_tests.exe), work (the case's folder) and
# exports WINEPREFIX; everything is stopped and removed at exit.

: "${WIZARD_BUILD_DIR:?}" "${WIZARD_NATIVE_BUILD_DIR:?}" "${WIZARD_SOURCE_DIR:?}"
# shellcheck source=wine-env.sh
. "$WIZARD_SOURCE_DIR/tests/lib/wine-env.sh"

SIM=$WIZARD_NATIVE_BUILD_DIR/tools/transponder_sim
EXE=$WIZARD_BUILD_DIR/tests/win_serial_tests.exe
[ -x "$SIM" ] || { echo "simulator missing: $SIM (build the native tree)" >&2; exit 1; }
[ -f "$EXE" ] || { echo "test program missing: $EXE" >&2; exit 1; }

pids=()
sims_cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  WINEPREFIX=$work/prefix wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}

sims_begin() {  # name
  work=$(mktemp -d "$WIZARD_BUILD_DIR/$1.XXXXXX")
  export WINEPREFIX=$work/prefix
  trap sims_cleanup EXIT
  wz_new_prefix "$WINEPREFIX"
}

start_sim() {  # port, options...
  local port=$1; shift
  "$SIM" --link "$WINEPREFIX/dosdevices/com$port" "$@" >/dev/null &
  pids+=($!)
}

wait_sims() {  # ports...
  local port
  for port in "$@"; do
    wz_wait_for "[ -L '$WINEPREFIX/dosdevices/com$port' ]" 20 || { echo "simulator on COM$port did not start" >&2; exit 1; }
  done
}
