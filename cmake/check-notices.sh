#!/usr/bin/env bash
# Fails when an executable links a library or object of its toolchain that
# NOTICES.txt does not list for it: a new library needs its notice first
# (cmake/notices.sh). The linker's maps (lld's /map) name the archive of every
# object that gives the executable a symbol; the program's own objects (.obj,
# .res) and libraries (libt6*) need none.
#   check-notices.sh <NOTICES.txt> <arch>=<t6update.map>...     e.g. x64=build/windows/ui/t6update.map
set -euo pipefail
notices=$1; shift
status=0
for pair in "$@"; do
  arch=${pair%%=*} map=${pair#*=}
  # This executable's list: from "<arch>/t6update.exe:" to the next blank line.
  listed=$(awk -v head="$arch/t6update.exe:" '$0 == head {on=1; next} on && NF == 0 {exit} on {print $1}' "$notices")
  [ -n "$listed" ] || { echo "$notices lists no library for $arch"; status=1; continue; }
  # The symbols' table, after its "Lib:Object" heading: the last column.
  linked=$(awk '/Lib:Object$/ {on=1; next} on && $1 ~ /^[0-9a-f]+:[0-9a-f]+$/ && $NF !~ /^</ {
                  n=split($NF, p, ":"); print (n > 1 ? p[1] : $NF)}' "$map" |
           grep -v -E '\.(obj|res)$|^libt6' | LC_ALL=C sort -u)
  [ -n "$linked" ] || { echo "$map names no library: not a linker map?"; status=1; continue; }
  while read -r library; do
    grep -qxF "$library" <<<"$listed" || { echo "$arch links $library, whose notice $notices lacks"; status=1; }
  done <<<"$linked"
  [ "$status" -ne 0 ] || echo "$arch: $(wc -l <<<"$linked") toolchain libraries linked, each with its notice"
done
exit $status
