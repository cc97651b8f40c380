#!/usr/bin/env bash
# Exits 0 when this machine runs 32-bit x86 programs (and so 32-bit Wine),
# 1 when it does not: some 64-bit kernels are built without them, and any
# i386 program there fails with "Exec format error".
#
# The probe is a 96-byte static i386 ELF program written here byte by byte
# (it calls exit(42) through int 0x80), so it needs no i386 C library and
# no compiler. FILTERS_RUNS_32BIT=1 or 0 forces either answer.
set -u
case "${FILTERS_RUNS_32BIT:-}" in
  1) exit 0 ;;
  0) exit 1 ;;
  "") ;;
  *) echo "FILTERS_RUNS_32BIT is 0 or 1, not '$FILTERS_RUNS_32BIT'" >&2; exit 2 ;;
esac
# A directory where programs may run (a noexec /tmp would refuse any program).
dir=""
trap '[ -z "$dir" ] || rm -rf "$dir"' EXIT
for base in "${TMPDIR:-/tmp}" "$(dirname "$0")/.."; do
  dir=$(mktemp -d "$base/runs-32bit.XXXXXX") || continue
  cp "$(type -P true)" "$dir/true" && "$dir/true" && break
  rm -rf "$dir"
  dir=""
done
[ -n "$dir" ] || { echo "$0: no directory to run a program in" >&2; exit 1; }
# ELF header: 32-bit, little-endian, executable, i386, entry 0x08048054,
# one program header at 52.
printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' >"$dir/probe"
printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' >>"$dir/probe"
printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00' >>"$dir/probe"
# One loadable segment: the whole 96-byte file at 0x08048000, read + execute.
printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' >>"$dir/probe"
printf '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' >>"$dir/probe"
# mov eax, 1 (exit); mov ebx, 42; int 0x80
printf '\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >>"$dir/probe"
chmod +x "$dir/probe"
"$dir/probe" 2>/dev/null
[ $? -eq 42 ]
