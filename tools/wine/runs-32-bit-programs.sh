#!/usr/bin/env bash
# Exits 0 when this machine runs 32-bit x86 programs, as Wine's 32-bit half (wine32) must to
# run 32-bit Windows programs, and 1 with the reason on standard output when it does not: a
# kernel whose 32-bit emulation is off refuses them with "Exec format error", and so would
# refuse Wine's 32-bit loader. With --wine LOADER, that loader must also be there and start.
#   runs-32-bit-programs.sh [--wine LOADER]
set -uo pipefail

# The smallest 32-bit x86 Linux program: one ELF header, one loadable segment, and the three
# instructions of exit(0) through int 0x80.
probe=$(mktemp)
trap 'rm -f "$probe"' EXIT
printf '%b' '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
  '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
  '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' \
  '\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08' \
  '\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00' \
  '\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
chmod +x "$probe"
if ! "$probe" 2>/dev/null; then
  echo "this machine's kernel runs no 32-bit programs (its 32-bit emulation is off)"
  exit 1
fi

if [ "${1:-}" = "--wine" ]; then
  loader=${2:?the path of Wine's 32-bit loader}
  if [ ! -x "$loader" ]; then
    echo "Wine's 32-bit loader $loader is not installed (Debian's wine32:i386)"
    exit 1
  fi
  if ! "$loader" --version >/dev/null 2>&1; then
    echo "Wine's 32-bit loader $loader does not start"
    exit 1
  fi
fi
exit 0
