#!/usr/bin/env bash
# Whether this machine can run 32-bit x86 programs, as the 32-bit Wine loader
# is one: 0 yes; 1 no, the kernel refuses them ("Exec format error": booted
# without its ia32 emulation, its log says "32-bit emulation disabled"); 2 the
# loader (Debian's wine32) is not installed, so nothing is known.
loader=/usr/lib/wine/wine
[ -x "$loader" ] || exit 2
"$loader" --version >/dev/null 2>&1 || exit 1
