#!/usr/bin/env bash
# Makes a self-signed code-signing certificate that lives two days, for the
# tests of the signing: <folder>/throwaway.pfx (password "throwaway") and
# <folder>/throwaway.pem, its certificate, to verify against.
#   throwaway_certificate.sh <folder>
set -euo pipefail
dir=$1
mkdir -p "$dir"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=t6update throwaway test signer" \
  -addext extendedKeyUsage=codeSigning -keyout "$dir/throwaway.key" -out "$dir/throwaway.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$dir/throwaway.key" -in "$dir/throwaway.pem" -out "$dir/throwaway.pfx" \
  -passout pass:throwaway
rm -f "$dir/throwaway.key"
