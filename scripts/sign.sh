#!/usr/bin/env bash
# Signs Windows executables in place with Authenticode (SHA-256), with the
# vendor's code-signing certificate, and verifies each signature:
#   T6_SIGN_PKCS12=<certificate and key, .pfx/.p12> T6_SIGN_PASSWORD=<its password> \
#   [T6_SIGN_TIMESTAMP_URL=<RFC 3161 time-stamp server>] \
#   [T6_SIGN_CA=<CA certificates to verify against; default: the system's>] \
#   bash scripts/sign.sh <executable>...
# The password is handed to osslsigncode through a pipe, never on a command
# line, which every user of the machine can read.
set -euo pipefail
if [ -z "${T6_SIGN_PKCS12:-}" ] || [ ! -f "$T6_SIGN_PKCS12" ]; then
  echo "sign.sh: T6_SIGN_PKCS12 must name the certificate file (PKCS#12)" >&2
  exit 2
fi
ca=${T6_SIGN_CA:-/etc/ssl/certs/ca-certificates.crt}
timestamp=()
[ -z "${T6_SIGN_TIMESTAMP_URL:-}" ] || timestamp=(-ts "$T6_SIGN_TIMESTAMP_URL")
for exe in "$@"; do
  signed=$exe.signed
  rm -f "$signed"
  if ! osslsigncode sign -pkcs12 "$T6_SIGN_PKCS12" -readpass <(printf '%s' "${T6_SIGN_PASSWORD:-}") \
         -h sha256 -n "t6/t10 Update Program" "${timestamp[@]}" -in "$exe" -out "$signed" >"$signed.log" 2>&1 ||
     ! osslsigncode verify -CAfile "$ca" -in "$signed" >>"$signed.log" 2>&1; then
    cat "$signed.log" >&2
    rm -f "$signed" "$signed.log"
    echo "sign.sh: $exe could not be signed and verified" >&2
    exit 1
  fi
  rm -f "$signed.log"
  chmod --reference="$exe" "$signed"
  mv "$signed" "$exe"
  echo "signed: $exe"
done
