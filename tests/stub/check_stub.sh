#!/usr/bin/env bash
# check_stub.sh SETUP_EXE OBJDUMP x86|x64
# The stub is a GUI program for its processor that runs alone: only system
# DLLs in its import table, and no msi.dll (the Windows Installer library is
# bound on first use, from the system folder only). The 32-bit one, which
# every user downloads, stays within 64 KiB.
set -euo pipefail
exe=$1 objdump=$2 arch=$3
failed=0
check() { # check DESCRIPTION COMMAND...
  if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1"; failed=1; fi
}
kind=$(file -b "$exe")
echo "file: $kind"
size=$(stat -c %s "$exe")
echo "size: $size bytes"
case $arch in
  x86)
    check "PE32 GUI program for Intel 80386" grep -q '^PE32 executable (GUI) Intel 80386' <<<"$kind"
    check "at most 65,536 bytes" test "$size" -le 65536
    ;;
  x64)
    check "PE32+ GUI program for x86-64" grep -q '^PE32+ executable (GUI) x86-64' <<<"$kind"
    ;;
  *) echo "check_stub.sh: unknown processor $arch" >&2; exit 2 ;;
esac
imports=$("$objdump" -p "$exe" | awk '/DLL Name:/ {print tolower($3)}' | sort -u)
echo "imports:" $imports
check "no msi.dll in the import table" bash -c '! grep -qx msi.dll <<<"$1"' _ "$imports"
check "only system DLLs imported" bash -c \
  '! grep -qvE "^(kernel32|user32|comctl32|msvcrt|advapi32)\.dll$" <<<"$1"' _ "$imports"
subsystem=$("$objdump" -p "$exe" | awk '/^Subsystem/ {print $2}')
check "Windows GUI subsystem (2)" test "$subsystem" = 00000002
exit $failed
