#!/usr/bin/env bash
# Runs a Windows program under Wine in a prefix private to the build tree:
#   wine-run.sh <prefix-dir> <program.exe> [args...]
# The prefix is created on first use, 32-bit when WINEARCH=win32 is set (the
# 32-bit build's), 64-bit otherwise. Wine's helper processes (wineserver,
# services, explorer) outlive the program, and if they inherited a pipe of
# ctest's, ctest would wait for that pipe forever: the server and the services
# are started here with their output on /dev/null, and a program whose output
# is a pipe writes to files that are copied to the pipe until it ends. Nor may
# they inherit the lock's descriptor.
set -euo pipefail

prefix=$(realpath -m "$1"); shift
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"  # no Mono/Gecko installers

want_arch=${WINEARCH:-win64}

# A 64-bit prefix runs under the 64-bit loader: once Debian's wine32 is
# installed, `wine` is the 32-bit one, which cannot start a 64-bit program.
wine=wine
if [ "$want_arch" = win64 ]; then
  for candidate in wine64 /usr/lib/wine/wine64; do
    if command -v "$candidate" >/dev/null 2>&1; then
      wine=$candidate
      break
    fi
  done
  if [ "$wine" = wine ]; then
    # The 32-bit loader would make a 32-bit prefix and then refuse every
    # 64-bit program with "Bad EXE format".
    echo "wine-run.sh: no 64-bit Wine loader (wine64) for $prefix: run scripts/install-deps.sh" >&2
    exit 127
  fi
else
  runs=0
  "$(dirname "$0")/runs-32-bit.sh" || runs=$?
  if [ "$runs" -eq 2 ]; then
    echo "wine-run.sh: no 32-bit Wine loader (wine32): run scripts/install-deps.sh" >&2
    exit 127
  elif [ "$runs" -ne 0 ]; then
    echo "wine-run.sh: this machine runs no 32-bit programs (its kernel's ia32 emulation is off)," \
         "so Wine cannot run the 32-bit build's programs here" >&2
    exit 126
  fi
fi

mkdir -p "$prefix"
(
  flock 9
  # Under the lock: a prefix being made by another run is complete by now.
  if [ -f "$prefix/system.reg" ] && ! grep -qx "#arch=$want_arch" "$prefix/system.reg"; then
    echo "wine-run.sh: $prefix is not a $want_arch prefix: delete it and run again" >&2
    exit 127
  fi
  # The server first, kept up between programs (a cold start costs seconds);
  # it ends by itself a minute after the last program, or at `wineserver -k`.
  # Started by any other Wine command it would end the moment no program runs
  # (Debian's wrapper gives it -p0), and the next program would start it again
  # with the prefix's services, all holding that program's output: a test of
  # ctest's then never ends. It fails when a server is already up, and then
  # the prefix's services are too.
  server_started=false
  if wineserver -p60 </dev/null >/dev/null 2>&1 9>&-; then server_started=true; fi
  if [ ! -f "$prefix/.t6-ready-3" ]; then
    "$wine" wineboot -i </dev/null >/dev/null 2>&1 9>&-
    # Without a window manager (Xvfb), Wine would wait about 2 s for one each
    # time a window is hidden or destroyed; unmanaged windows do not wait.
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 9>&-
    # Wine's own Tahoma (what "MS Shell Dlg" maps to) and Marlett (the caption
    # buttons' glyphs), which this Wine does not look for on its own.
    cp -n /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
    # Japanese and Chinese text (a path an operator picks): Wine falls back to
    # these two faces for glyphs that Tahoma lacks; VL Gothic stands in for both.
    for face in 'MS UI Gothic' 'SimSun'; do
      "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d 'VL Gothic' /f </dev/null >/dev/null 2>&1 9>&-
    done
    touch "$prefix/.t6-ready-3"
  elif $server_started; then
    "$wine" wineboot </dev/null >/dev/null 2>&1 9>&-
  fi
) 9>"$prefix.lock"

# Wine starts its desktop process (explorer) again, from whichever program
# next makes a window, a second after the last program that had one ended: it
# would hold that program's stderr. So the program writes to unlinked files,
# and a copier follows each into the pipe until this script ends; a kill on
# timeout ends them too (and leaves the program to the server's end).
follow() {  # follow <fd of the program's output> <fd to copy it to>
  local file
  file=$(mktemp)
  exec {writer}>"$file" {reader}<"$file"
  rm -f "$file"
  tail -c +1 -s 0.1 -f --pid=$$ <&"$reader" >&"$2" {writer}>&- &
  exec {reader}<&-
  eval "exec $1>&$writer {writer}>&-"
}
if ! [ -p /dev/stdout ] && ! [ -p /dev/stderr ]; then
  exec "$wine" "$@"
fi
follow 2 2
follow 1 1
# A child, so that a failing end is named: a program that crashes loses the
# output left in its buffers, and its exit code (the low 8 bits of its own;
# 5 for an access violation) is all that is left to go by.
status=0
"$wine" "$@" || status=$?
[ "$status" -eq 0 ] || echo "wine-run.sh: $(basename "${1//\\//}") ended with exit code $status" >&2
exit "$status"
