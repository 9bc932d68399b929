#!/usr/bin/env bash
# Writes the release's NOTICES.txt to stdout: which libraries of the toolchain
# the executables link, statically, and the licence texts those libraries ask
# to be carried in every copy, taken from the Debian packages' own copyright
# files (and the common licence they refer to), as installed on this machine.
#   notices.sh <version> <triplet>...      e.g. 1.0.1 x86_64-w64-mingw32 i686-w64-mingw32
# check-notices.sh fails when an executable links a library not listed here.
set -euo pipefail
version=$1; shift

# The toolchain's libraries and start-up objects in the executables, as the
# linker's map names them: mingw-w64's start-up code, C runtime, winpthreads
# and import libraries, and GCC's runtime (libgcc, libssp, libstdc++).
linked=(crt2.o crtbegin.o crtend.o libmingw32 libmingwex libmsvcrt libmoldname libpthread
        libkernel32 libuser32 libgdi32 libadvapi32 libshell32 libole32 liboleaut32 libuuid
        libcomctl32 libcomdlg32 libgcc libgcc_eh libssp libstdc++)

# One copy of each text: the two architectures' packages carry the same.
declare -A notice_of=()  # SHA-256 of a copyright file -> the packages it speaks for
declare -A text_of=()    # SHA-256 -> the file
notices=()
echo "t6/t10 Update Program $version: notices"
echo
echo "The program's executables carry, linked statically, the following libraries"
echo "of their toolchain (Debian's mingw-w64 and its GCC). Their licences follow,"
echo "as each Debian package states them."
for triplet in "$@"; do
  case $triplet in
    x86_64-*) arch=x64 ;;
    i686-*) arch=x86 ;;
    *) echo "notices.sh: unknown triplet $triplet" >&2; exit 2 ;;
  esac
  echo
  echo "$arch/t6update.exe:"
  for name in "${linked[@]}"; do
    file=$name
    [[ $name == *.o ]] || file=$name.a
    path=$("$triplet-gcc-posix" -print-file-name="$file")
    [ -f "$path" ] || { echo "notices.sh: $triplet has no $file" >&2; exit 1; }
    package=$(dpkg-query -S "$(realpath "$path")" 2>/dev/null | head -n 1 | cut -d: -f1) ||
      { echo "notices.sh: no package owns $path" >&2; exit 1; }
    copyright=$(realpath "/usr/share/doc/$package/copyright")
    [ -f "$copyright" ] || { echo "notices.sh: $package has no copyright file" >&2; exit 1; }
    printf '  %-14s %s %s\n' "$name" "$package" "$(dpkg-query -W -f='${Version}' "$package")"
    sum=$(sha256sum <"$copyright" | cut -d' ' -f1)
    if [ -z "${notice_of[$sum]:-}" ]; then
      notices+=("$sum")
      notice_of[$sum]=$package
      text_of[$sum]=$copyright
    elif [[ " ${notice_of[$sum]} " != *" $package "* ]]; then
      notice_of[$sum]="${notice_of[$sum]} $package"
    fi
  done
done

for sum in "${notices[@]}"; do
  echo
  echo "==== Notice of: ${notice_of[$sum]} ===="
  echo
  cat "${text_of[$sum]}"
done
# The GCC runtime's copyright file gives its licence by reference.
echo
echo "==== GNU General Public License, version 3, to which the notices above refer ===="
echo
cat /usr/share/common-licenses/GPL-3
