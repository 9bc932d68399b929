#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; a machine that
# already has them all starts at once.
set -euo pipefail

packages=(cmake ninja-build g++ googletest libbenchmark-dev clang libclang-rt-14-dev
          g++-mingw-w64-x86-64-posix mingw-w64-tools wine xvfb xdotool imagemagick
          fonts-wine fonts-vlgothic zlib1g-dev gcovr)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
