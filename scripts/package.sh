#!/usr/bin/env bash
# Builds the release from the committed tree (HEAD), in a folder of its own:
#   dist/t6update-<version>-windows.zip      x86/t6update.exe, x64/t6update.exe, README.txt
#   dist/SHA256SUMS                           the zip's and each executable's SHA-256
#   dist/debug/{x86,x64}/t6update.exe.debug   their debugging information, for a debugger
# and prints the SHA-256 figures. One commit gives the same bytes in any folder
# at any time: no build path in the executables, no time stamp in their
# headers, and in the zip sorted entries dated from the commit, with no owner
# or permission bits.
#   bash scripts/package.sh [--check]
# --check builds the release twice, one after the other, in two folders of
# different path lengths with different time zones and umasks, and fails
# unless every file of the two is the same.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"

check=0
case "${1:-}" in
  --check) check=1 ;;
  "") ;;
  *) echo "usage: bash scripts/package.sh [--check]" >&2; exit 2 ;;
esac

bash scripts/install-deps.sh

commit=$(git rev-parse HEAD)
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct HEAD)
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "note: uncommitted changes are left out; the package is built from $commit" >&2
fi

# build_release <folder>: the release of HEAD, built in <folder>/src, laid out in <folder>/dist.
build_release() {
  local work=$1 preset arch version zip
  rm -rf "$work"
  mkdir -p "$work/src" "$work/dist/stage"
  git archive --format=tar HEAD | tar -x -C "$work/src"
  for preset in windows windows-x86; do
    case $preset in
      windows) arch=x64 ;;
      windows-x86) arch=x86 ;;
    esac
    if ! (cd "$work/src" && cmake --preset "$preset" && cmake --build "build/$preset" --target t6update -j 2) \
         >"$work/$preset.log" 2>&1; then
      cat "$work/$preset.log" >&2
      echo "package: the $preset build failed" >&2
      return 1
    fi
    mkdir -p "$work/dist/stage/$arch" "$work/dist/debug/$arch"
    cp "$work/src/build/$preset/ui/t6update.exe" "$work/dist/stage/$arch/"
    cp "$work/src/build/$preset/ui/t6update.exe.debug" "$work/dist/debug/$arch/"
  done
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$work/src/build/windows/CMakeCache.txt")
  # CRLF: Notepad before Windows 10 shows LF-only text as one line.
  sed 's/$/\r/' "$work/src/docs/operator-guide.txt" >"$work/dist/stage/README.txt"
  zip=t6update-$version-windows.zip
  # Debian's Python, whose zlib is the system's: the same deflate output on every machine.
  /usr/bin/python3 - "$work/dist/stage" "$work/dist/$zip" <<'PY'
import os, sys, time, zipfile
stage, target = sys.argv[1], sys.argv[2]
# Zip dates start in 1980 and have no time zone: the commit's time, in UTC.
stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]
names = sorted(os.path.relpath(os.path.join(folder, name), stage).replace(os.sep, "/")
               for folder, _, files in os.walk(stage) for name in files)
with zipfile.ZipFile(target, "w") as archive:
    for name in names:
        entry = zipfile.ZipInfo(name, stamp)
        entry.create_system = 0  # MS-DOS: no Unix owner or permission bits
        entry.external_attr = 0
        entry.compress_type = zipfile.ZIP_DEFLATED
        with open(os.path.join(stage, name), "rb") as source:
            archive.writestr(entry, source.read(), compresslevel=9)
PY
  { (cd "$work/dist" && sha256sum "$zip")
    (cd "$work/dist/stage" && sha256sum x86/t6update.exe x64/t6update.exe); } >"$work/dist/SHA256SUMS"
}

# publish <folder>: its release into dist/, the figures on stdout.
publish() {
  rm -rf dist
  mkdir -p dist
  cp -r "$1/dist/debug" "$1/dist/SHA256SUMS" "$1"/dist/*.zip dist/
  echo "release of $commit in dist/ (SHA-256):"
  sed 's/^/  /' dist/SHA256SUMS
}

work=$ROOT/build/package
if [ "$check" -eq 0 ]; then
  build_release "$work/release"
  publish "$work/release"
  exit 0
fi

first=$work/first
second=$work/second-build/in-a-folder-with-a-longer-name
started=$(date +%s)
(umask 022; export TZ=UTC; build_release "$first")
(umask 077; export TZ=Pacific/Kiritimati; build_release "$second")
publish "$first"

# Every file of both: the zip, SHA256SUMS, the debugging information, and
# what went into the zip (stage/).
files() { (cd "$1/dist" && find . -type f -printf '%P\n' | LC_ALL=C sort); }
differ=0
if [ "$(files "$first")" != "$(files "$second")" ]; then
  echo "  the two builds made different files" >&2
  differ=1
fi
while read -r file; do
  if cmp -s "$first/dist/$file" "$second/dist/$file"; then
    echo "  same in both builds: $file"
  else
    echo "  DIFFERENT: $file ($(cmp -l "$first/dist/$file" "$second/dist/$file" 2>/dev/null | wc -l) bytes differ)"
    differ=1
  fi
done < <(files "$first")
echo "two builds in $(( $(date +%s) - started )) s"
if [ "$differ" -ne 0 ]; then
  echo "package --check: the two builds differ" >&2
  exit 1
fi
echo "package --check: the two builds are the same to the byte"
