#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; a machine that
# already has them all starts at once.
set -euo pipefail

# wine64 runs the 64-bit build's tests and wine32 (i386) the 32-bit build's:
# `wine` alone is satisfied by either, and with i386 enabled apt may pick only
# wine32. python3 writes the release zip. clang and lld build the release
# (with its PDBs, which llvm's tools check), mingw-w64's GCC the second build;
# osslsigncode signs it. python3-yaml reads the CI workflow for its check,
# and npm brings that check's schema validator (below).
packages=(cmake ninja-build g++ googletest libbenchmark-dev clang libclang-rt-14-dev
          g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools lld llvm
          osslsigncode openssl
          wine wine64 wine32:i386 xvfb xdotool imagemagick
          fonts-wine fonts-vlgothic gcovr python3 python3-yaml clang-tidy clang-format)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# Node.js from Debian only where there is none: another one may be installed.
command -v npm >/dev/null 2>&1 || missing+=(nodejs npm)

# The workflow's schema validator, pinned by tests/ci/package-lock.json, into
# tests/ci/node_modules: the tests then run it without a network.
install_workflow_validator() {
  [ -x "$(dirname "$0")/../tests/ci/node_modules/.bin/action-validator" ] && return 0
  echo "installing: the CI workflow's validator (npm, tests/ci)"
  (cd "$(dirname "$0")/../tests/ci" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
}

if [ ${#missing[@]} -eq 0 ]; then
  install_workflow_validator
  exit 0
fi

echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
install_workflow_validator
