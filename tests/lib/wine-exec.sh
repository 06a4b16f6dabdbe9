#!/usr/bin/env bash
# Runs one Windows program under Wine for CTest, each run in a prefix of
# its own made from the build's template, removed afterwards.
set -u
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh"
if [ -z "${WINEPREFIX:-}" ]; then
  WINEPREFIX=$(mktemp -d "${WIZARD_BUILD_DIR:?}/wine-run.XXXXXX")
  export WINEPREFIX
  wz_new_prefix "$WINEPREFIX" || exit 1
  trap 'wineserver -k >/dev/null 2>&1; rm -rf "$WINEPREFIX"' EXIT
fi
wine "$@"
rc=$?
wineserver -w
exit $rc
