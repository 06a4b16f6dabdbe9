#!/usr/bin/env bash
# Signs a copy of an executable (Authenticode, SHA-256) with a PKCS#12
# certificate; the input stays as it is.
# Usage: sign-exe.sh IN.exe OUT.exe PKCS12 DESCRIPTION URL [TIMESTAMP_URL]
# The certificate's password comes from WIZARD_SIGNING_PASSWORD (none when
# unset or empty, as for a PKCS#12 file without one) and reaches
# osslsigncode on its standard input, never on a command line or in a
# file. With TIMESTAMP_URL, an RFC 3161 server counter-signs the time of
# signing, so that the signature outlives the certificate.
set -euo pipefail
[ $# -ge 5 ] && [ $# -le 6 ] || { echo "usage: $0 IN.exe OUT.exe PKCS12 DESCRIPTION URL [TIMESTAMP_URL]" >&2; exit 2; }
in=$1 out=$2 pkcs12=$3 description=$4 url=$5 timestamp=${6:-}
[ -f "$pkcs12" ] || { echo "sign-exe: no certificate file $pkcs12" >&2; exit 1; }
args=(sign -pkcs12 "$pkcs12" -h sha256 -n "$description" -i "$url")
[ -z "$timestamp" ] || args+=(-ts "$timestamp")
# osslsigncode cannot read an empty password from a file.
[ -z "${WIZARD_SIGNING_PASSWORD:-}" ] || args+=(-readpass /dev/stdin)
rm -f "$out"
# printf is built into bash: the password appears in no process's arguments.
printf '%s' "${WIZARD_SIGNING_PASSWORD:-}" | osslsigncode "${args[@]}" -in "$in" -out "$out" >/dev/null ||
  { rm -f "$out"; echo "sign-exe: signing $in failed" >&2; exit 1; }
echo "Signed $(basename "$(dirname "$out")")/$(basename "$out") ($description, $url${timestamp:+, time-stamped by $timestamp})"
