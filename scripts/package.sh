#!/usr/bin/env bash
# Builds the release from the committed tree (HEAD), in a folder of its own:
#   dist/t6update-<version>-windows.zip   x86/t6update.exe, x64/t6update.exe, README.txt, NOTICES.txt
#   dist/t6update-<version>-symbols.zip   the executables and their PDBs, laid out as a symbol
#                                         store (<name>/<identity>/<name>) for WinDbg and Visual Studio
#   dist/SHA256SUMS                       the zips' and each executable's SHA-256
# and prints the SHA-256 figures. One commit gives the same executables, and
# the same zip, in any folder at any time: no build path in the executables, a
# time stamp that is a hash of their contents, and in the zip sorted entries
# dated from the commit, with no owner or permission bits. (The PDBs name the
# folder they were built in.)
# With a code-signing certificate the executables are signed (scripts/sign.sh):
#   T6_SIGN_PKCS12=<file> T6_SIGN_PASSWORD=<password> [T6_SIGN_TIMESTAMP_URL=<url>] \
#   bash scripts/package.sh [--check]
# --check builds the release twice, one after the other, in two folders of
# different path lengths with different time zones and umasks, and fails
# unless the two are the same to the byte before any signing (the PDBs by
# their identity); it then signs the first when a certificate is given.
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

# build_release <folder>: the unsigned release of HEAD, built in <folder>/src,
# laid out in <folder>/dist.
build_release() {
  local work=$1 preset arch version maps=() pairs=()
  rm -rf "$work"
  mkdir -p "$work/src" "$work/dist/stage" "$work/dist/pdb"
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
    mkdir -p "$work/dist/stage/$arch" "$work/dist/pdb/$arch"
    cp "$work/src/build/$preset/ui/t6update.exe" "$work/dist/stage/$arch/"
    cp "$work/src/build/$preset/ui/t6update.pdb" "$work/dist/pdb/$arch/"
    maps+=("$arch=$work/src/build/$preset/ui/t6update.map")
    pairs+=("$work/dist/stage/$arch/t6update.exe=$work/dist/pdb/$arch/t6update.pdb")
  done
  bash cmake/check-symbols.sh "${pairs[@]}" >/dev/null
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$work/src/build/windows/CMakeCache.txt")
  echo "$version" >"$work/version"
  # CRLF: Notepad before Windows 10 shows LF-only text as one line.
  sed 's/$/\r/' "$work/src/docs/operator-guide.txt" >"$work/dist/stage/README.txt"
  bash cmake/notices.sh "$version" x86_64-w64-mingw32 i686-w64-mingw32 >"$work/notices.txt"
  bash cmake/check-notices.sh "$work/notices.txt" "${maps[@]}" >/dev/null
  sed 's/$/\r/' "$work/notices.txt" >"$work/dist/stage/NOTICES.txt"
  pack "$work"
}

# pack <folder>: the zips and SHA256SUMS of what <folder>/dist/stage holds.
pack() {
  local work=$1 version arch
  version=$(cat "$work/version")
  rm -rf "$work/dist/symbols"
  for arch in x64 x86; do
    store "$work/dist/symbols" "$work/dist/stage/$arch/t6update.exe" "$work/dist/pdb/$arch/t6update.pdb"
  done
  zip_folder "$work/dist/stage" "$work/dist/t6update-$version-windows.zip"
  zip_folder "$work/dist/symbols" "$work/dist/t6update-$version-symbols.zip"
  { (cd "$work/dist" && sha256sum "t6update-$version-windows.zip" "t6update-$version-symbols.zip")
    (cd "$work/dist/stage" && sha256sum x86/t6update.exe x64/t6update.exe); } >"$work/dist/SHA256SUMS"
}

# store <folder> <exe> <pdb>: both where a debugger given <folder> as its
# symbol path looks for them: t6update.exe/<time stamp><image size>/ and
# t6update.pdb/<GUID><age>/.
store() {
  local keys
  read -r -a keys < <(/usr/bin/python3 cmake/stamp-identity.py --keys "$2")
  [ "${#keys[@]}" -eq 2 ] || { echo "package: $2 has no identity" >&2; return 1; }
  mkdir -p "$1/t6update.exe/${keys[0]}" "$1/t6update.pdb/${keys[1]}"
  cp "$2" "$1/t6update.exe/${keys[0]}/"
  cp "$3" "$1/t6update.pdb/${keys[1]}/"
}

# zip_folder <folder> <zip>: every file of the folder, the same bytes on every machine.
zip_folder() {
  # Debian's Python, whose zlib is the system's: the same deflate output on every machine.
  /usr/bin/python3 - "$1" "$2" <<'PY'
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
}

# sign_release <folder>: with a certificate, its executables signed and packed again.
sign_release() {
  [ -n "${T6_SIGN_PKCS12:-}" ] || { echo "unsigned: no certificate given (T6_SIGN_PKCS12)"; return 0; }
  bash scripts/sign.sh "$1/dist/stage/x64/t6update.exe" "$1/dist/stage/x86/t6update.exe"
  pack "$1"
}

# publish <folder>: its release into dist/, the figures on stdout.
publish() {
  rm -rf dist
  mkdir -p dist
  cp "$1/dist/SHA256SUMS" "$1"/dist/*.zip dist/
  echo "release of $commit in dist/ (SHA-256):"
  sed 's/^/  /' dist/SHA256SUMS
}

work=$ROOT/build/package
if [ "$check" -eq 0 ]; then
  build_release "$work/release"
  sign_release "$work/release"
  publish "$work/release"
  exit 0
fi

first=$work/first
second=$work/second-build/in-a-folder-with-a-longer-name
started=$(date +%s)
(umask 022; export TZ=UTC; build_release "$first")
(umask 077; export TZ=Pacific/Kiritimati; build_release "$second")

# Every file of both, unsigned: the zips, SHA256SUMS and what went into them.
# The PDBs, and the symbols' zip that holds them, name the folder they were
# built in: check-symbols.sh tied each to its executable, which is compared.
files() {
  (cd "$1/dist" && find . -type f ! -name '*.pdb' ! -name '*-symbols.zip' -printf '%P\n' | LC_ALL=C sort)
}
differ=0
if [ "$(files "$first")" != "$(files "$second")" ]; then
  echo "  the two builds made different files" >&2
  differ=1
fi
while read -r file; do
  if [ "$file" = SHA256SUMS ]; then
    same() { cmp -s <(grep -v -- '-symbols\.zip$' "$1") <(grep -v -- '-symbols\.zip$' "$2"); }
  else
    same() { cmp -s "$1" "$2"; }
  fi
  if same "$first/dist/$file" "$second/dist/$file"; then
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
sign_release "$first"
publish "$first"
