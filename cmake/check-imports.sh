#!/usr/bin/env bash
# Fails when a Windows binary imports a DLL that Windows does not ship (a
# mingw runtime such as libwinpthread-1.dll or libstdc++-6.dll).
#   check-imports.sh <objdump> <binary>...
set -euo pipefail
objdump=$1; shift
status=0
for binary in "$@"; do
  while read -r dll; do
    case "${dll,,}" in
      kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|shell32.dll|ole32.dll|oleaut32.dll| \
      comctl32.dll|comdlg32.dll|msvcrt.dll|ucrtbase.dll|api-ms-win-*|ws2_32.dll|winmm.dll|version.dll) ;;
      *) echo "$binary imports $dll"; status=1 ;;
    esac
  done < <("$objdump" -p "$binary" | sed -n 's/^[[:space:]]*DLL Name: //p')
done
exit $status
