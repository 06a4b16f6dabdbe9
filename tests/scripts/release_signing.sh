#!/usr/bin/env bash
# The signed release. With a code-signing certificate (a throwaway
# self-signed one), the release target of a scratch pair of trees signs both
# executables before packing: SHA-256, the product's name and web address,
# the password in no log or build file. The signed 64-bit wizard does a
# whole upgrade under Wine. Each signature, taken out of the signed program
# and attached to the unsigned program of this tree's own build (made
# independently, in another folder), gives back the signed program byte for
# byte: anyone can check that a signed program is the reproducible one.
set -u
: "${WIZARD_BUILD_DIR:?}" "${WIZARD_SOURCE_DIR:?}"
work=$(mktemp -d "$WIZARD_BUILD_DIR/release_signing.XXXXXX")
trap 'rm -rf "$work"' EXIT
failed=0
check() { local what=$1; shift; if "$@"; then echo "ok: $what"; else echo "FAIL: $what" >&2; failed=1; fi; }
cache() { sed -n "s/^$1:[A-Z]*=//p" "$WIZARD_BUILD_DIR/CMakeCache.txt"; }

# A password that breaks any command line that does not quote it.
export WIZARD_SIGNING_PASSWORD="pw $RANDOM 'single' \"double\" \$HOME; *"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
  -subj "/CN=Release signing test" -addext extendedKeyUsage=codeSigning 2>/dev/null &&
  openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/cert.p12" \
    -passout env:WIZARD_SIGNING_PASSWORD || { echo "FAIL: no test certificate" >&2; exit 1; }

# Scratch trees of this tree's kind, the 32-bit one configured by the
# release target itself (one release build at a time, as in release_package;
# one compiler at a time, beside the other cases' Wine programs).
exec 9>"${WIZARD_RELEASE_LOCK:-$WIZARD_BUILD_DIR/release.lock}"
flock 9
if ! { cmake -S "$WIZARD_SOURCE_DIR" -B "$work/win" -G "$(cache CMAKE_GENERATOR)" \
         -DCMAKE_TOOLCHAIN_FILE="$(cache CMAKE_TOOLCHAIN_FILE)" -DCMAKE_BUILD_TYPE="$(cache CMAKE_BUILD_TYPE)" \
         -DWIZARD_PEER_BUILD_DIR="$work/win32" -DWIZARD_SIGNING_PKCS12="$work/cert.p12" \
         -DWIZARD_SIGNING_NO_TIMESTAMP=ON &&
       CMAKE_BUILD_PARALLEL_LEVEL=1 cmake --build "$work/win" --target release; } >"$work/release.log" 2>&1; then
  tail -n 40 "$work/release.log"; echo "FAIL: signed release" >&2; exit 1
fi
flock -u 9

maker_web=$(sed -n 's/.*kMakerWebAddress = "\(.*\)".*/\1/p' "$WIZARD_SOURCE_DIR/app/layout.h")
# The unsigned programs of builds made apart from the scratch trees.
declare -A independent=([win64]="$WIZARD_BUILD_DIR" [win32]="$(cache WIZARD_PEER_BUILD_DIR)")
[ -f "${independent[win32]}/dist/FirmwareUpgrade.exe" ] || independent[win32]="$work/win32"
check "the password in no log or build file" \
  bash -c '! grep -rqF -- "$1" "$2/release.log" "$2/win" "$2/win32"' _ "$WIZARD_SIGNING_PASSWORD" "$work"
for arch in win32 win64; do
  signed="$work/$arch-signed.exe"
  unzip -p "$work/win/FirmwareUpgrade-1.8.2-$arch.zip" '*/FirmwareUpgrade.exe' >"$signed"
  verify=$(osslsigncode verify -CAfile "$work/cert.pem" -in "$signed" 2>&1)
  for row in 'Signature verification: ok' 'Message digest algorithm: SHA256' \
             'Text description: ZOD Ezodi R Iravevod Idavedi' "URL description: $maker_web"; do
    check "$arch: the zip's program is signed: $row" grep -qF "$row" <<<"$verify"
  done
  osslsigncode extract-signature -in "$signed" -out "$work/$arch.sig" >/dev/null 2>&1
  osslsigncode attach-signature -CAfile "$work/cert.pem" -sigin "$work/$arch.sig" \
    -in "${independent[$arch]}/dist/FirmwareUpgrade.exe" -out "$work/$arch-attached.exe" >/dev/null 2>&1
  check "$arch: its signature on the build in ${independent[$arch]} gives the signed program" \
    cmp -s "$work/$arch-attached.exe" "$signed"
done

# A certificate without a time-stamp server, and without saying so, is
# refused when the tree is configured.
refused=$(cmake -S "$WIZARD_SOURCE_DIR" -B "$work/no-timestamp" -DCMAKE_TOOLCHAIN_FILE="$(cache CMAKE_TOOLCHAIN_FILE)" \
            -DWIZARD_SIGNING_PKCS12="$work/cert.p12" 2>&1)
check "signing without a time stamp, unasked, is refused" grep -qF "WIZARD_SIGNING_NO_TIMESTAMP=ON" <<<"$refused"
# A PKCS#12 file without a password signs with the password left empty.
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/open.p12" -passout pass: &&
  WIZARD_SIGNING_PASSWORD= bash "$WIZARD_SOURCE_DIR/tools/sign-exe.sh" "$WIZARD_BUILD_DIR/dist/FirmwareUpgrade.exe" \
    "$work/open-signed.exe" "$work/open.p12" "Test" "$maker_web" >/dev/null
check "a certificate without a password, the password empty: signed" \
  grep -qF 'Signature verification: ok' <<<"$(osslsigncode verify -CAfile "$work/cert.pem" -in "$work/open-signed.exe" 2>&1)"

# The signed wizard does the whole upgrade of the end-to-end case.
E2E_EXE="$work/win64-signed.exe" WIZARD_SHOTS_DIR="$work/shots" \
  bash "$WIZARD_SOURCE_DIR/tests/scripts/e2e_full_upgrade.sh" || failed=1
exit $failed
