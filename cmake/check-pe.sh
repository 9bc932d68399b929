#!/usr/bin/env bash
# Fails unless each executable an operator runs carries what keeps a
# downloaded program safe: ASLR and DEP (and high-entropy ASLR when 64-bit),
# imports only from DLLs that Windows always takes from its system folder
# (comctl32 comes from the side-by-side store, as the manifest asks), and the
# call that restricts every later DLL search to the system folder.
#   check-pe.sh <objdump> <executable>...
set -euo pipefail
objdump=$1; shift
status=0
fail() { echo "$1: $2"; status=1; }
for exe in "$@"; do
  headers=$("$objdump" -p "$exe")
  flags=$(sed -n 's/^DllCharacteristics[[:space:]]*\([0-9a-fA-F]*\)$/\1/p' <<<"$headers")
  [ -n "$flags" ] || { fail "$exe" "no PE optional header"; continue; }
  (( 0x$flags & 0x40 )) || fail "$exe" "no ASLR (DYNAMIC_BASE)"
  (( 0x$flags & 0x100 )) || fail "$exe" "no DEP (NX_COMPAT)"
  if grep -q '^Magic[[:space:]]*020b' <<<"$headers"; then
    (( 0x$flags & 0x20 )) || fail "$exe" "no high-entropy ASLR (HIGH_ENTROPY_VA)"
  fi
  while read -r dll; do
    case "${dll,,}" in
      kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|shell32.dll|ole32.dll|oleaut32.dll|comdlg32.dll| \
      msvcrt.dll|comctl32.dll) ;;
      *) fail "$exe" "imports $dll, which Windows may load from the executable's folder" ;;
    esac
  done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
  grep -q '[[:space:]]SetDllDirectoryW$' <<<"$headers" || fail "$exe" "does not import SetDllDirectoryW"
  grep -q -a 'SetDefaultDllDirectories' "$exe" || fail "$exe" "never looks up SetDefaultDllDirectories"
done
exit $status
