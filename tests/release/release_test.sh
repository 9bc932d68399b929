#!/usr/bin/env bash
# What the release carries, checked on the build's own updater:
#   release_test.sh notices <build> <triplet>   every toolchain library linked has its notice,
#                                               and a notice taken out is missed
#   release_test.sh symbols <build>             the PDB is the executable's, and another is not
#   release_test.sh signing <build> <wine-run...>
#       signed with a throwaway certificate, the updater verifies, a copy altered
#       by one byte does not, and the signed updater performs a whole update
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
what=$1 build=$2
shift 2
work=$build/release-test/$what
rm -rf "$work"
mkdir -p "$work"
exe=$build/ui/t6update.exe
arch=x64
[ "$(llvm-readobj --file-headers "$exe" | sed -n 's/^Arch: //p')" = x86_64 ] || arch=x86

# expect_failure <what it shows> <command...>
expect_failure() {
  local shown=$1
  shift
  if "$@" >"$work/out" 2>&1; then
    echo "FAIL: passed: $*"
    exit 1
  fi
  grep -qF "$shown" "$work/out" || { cat "$work/out"; echo "FAIL: '$*' did not say: $shown"; exit 1; }
}

case $what in
  notices)
    triplet=$1
    bash "$root/cmake/notices.sh" test "$triplet" >"$work/NOTICES.txt"
    bash "$root/cmake/check-notices.sh" "$work/NOTICES.txt" "$arch=$build/ui/t6update.map"
    grep -q '^==== GNU General Public License, version 3' "$work/NOTICES.txt" || { echo "FAIL: no GPL-3 text"; exit 1; }
    grep -v '^  libstdc++ ' "$work/NOTICES.txt" >"$work/without-libstdc++.txt"
    expect_failure "$arch links libstdc++, whose notice" \
      bash "$root/cmake/check-notices.sh" "$work/without-libstdc++.txt" "$arch=$build/ui/t6update.map"
    ;;
  symbols)
    pdb=$build/ui/t6update.pdb
    bash "$root/cmake/check-symbols.sh" "$exe=$pdb"
    # A PDB one byte apart in its GUID (a rebuild's) must not be taken for it.
    python3 - "$exe" "$pdb" "$work/t6update.pdb" <<'PY'
import struct, sys
exe, pdb, out = (open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read(), sys.argv[3])
at = exe.index(b"RSDS")
guid = exe[at + 4:at + 20]
assert pdb.count(guid) >= 1, "the PDB does not hold the executable's GUID"
altered = bytearray(pdb)
i = pdb.index(guid)
altered[i] ^= 0x01
open(out, "wb").write(bytes(altered))
PY
    expect_failure "expects the PDB" bash "$root/cmake/check-symbols.sh" "$exe=$work/t6update.pdb"
    ;;
  signing)
    bash "$root/tests/release/throwaway_certificate.sh" "$work"
    mkdir -p "$work/signed"
    cp "$exe" "$work/signed/t6update.exe"
    T6_SIGN_PKCS12=$work/throwaway.pfx T6_SIGN_PASSWORD=throwaway T6_SIGN_CA=$work/throwaway.pem \
      bash "$root/scripts/sign.sh" "$work/signed/t6update.exe"
    osslsigncode verify -CAfile "$work/throwaway.pem" -in "$work/signed/t6update.exe" | grep -x 'Signature verification: ok'
    # One byte of code changed after the signing.
    cp "$work/signed/t6update.exe" "$work/altered.exe"
    python3 - "$work/altered.exe" <<'PY'
import sys
path = sys.argv[1]
data = bytearray(open(path, "rb").read())
data[0x1000] ^= 0xFF
open(path, "wb").write(bytes(data))
PY
    expect_failure "MISMATCH" osslsigncode verify -CAfile "$work/throwaway.pem" -in "$work/altered.exe"
    echo "a copy altered by one byte is rejected"
    # The whole update, by the signed executable; the run of a missing one
    # shows that the test takes the executable it is given.
    update() {
      T6_TEST_UPDATER="Z:${1//\//\\}" "${wine_run[@]}" "$build/tests/t6_windows_e2e_tests.exe" \
        --gtest_filter='DevicesAndServices/FullUpdate.*/t6_fw'
    }
    wine_run=("$@")
    expect_failure "FAILED" update "$work/signed/missing.exe"
    update "$work/signed/t6update.exe" | tee "$work/out"
    grep -qF '[  PASSED  ] 1 test.' "$work/out" || { echo "FAIL: the signed updater's update did not pass"; exit 1; }
    ;;
  *)
    echo "usage: release_test.sh notices|symbols|signing <build> ..." >&2
    exit 2
    ;;
esac
