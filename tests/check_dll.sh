#!/usr/bin/env bash
# Checks the built Upgrade.dll the way a setup program and a clean Windows
# machine see it: its export table holds exactly the names of the .def file,
# undecorated (a stdcall name like "Name@8" would not be found by name), and
# it imports nothing but Windows system DLLs (no mingw runtime DLLs to ship).
# Usage: check_dll.sh <objdump> <Upgrade.dll>
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: check_dll.sh <objdump> <dll>" >&2
  exit 2
fi
objdump=$1
dll=$2
def="$(dirname "$0")/../installer/Upgrade.def"
allowed_imports="kernel32.dll advapi32.dll shell32.dll shlwapi.dll imagehlp.dll user32.dll msvcrt.dll"

dump=$("$objdump" -p "$dll")

# The names after EXPORTS, without ordinals, decorations or comments.
expected=$(awk '
  { sub(/;.*/, "") }
  /^[ \t]*EXPORTS[ \t]*$/ { inside = 1; next }
  /^[ \t]*(LIBRARY|NAME|SECTIONS|STACKSIZE|HEAPSIZE|VERSION|DESCRIPTION)([ \t]|$)/ { inside = 0; next }
  inside && NF { name = $1; sub(/=.*/, "", name); sub(/@.*/, "", name); print name }
' "$def" | sort)

# objdump lists exported names under "[Ordinal/Name Pointer] Table" as
# "[   0] Name" (newer binutils add "+base[   1] 0000" before the name).
exported=$(printf '%s\n' "$dump" | awk '
  /\[Ordinal\/Name Pointer\] Table/ { inside = 1; next }
  inside && /^[ \t]*\[ *[0-9]+\]/ { print $NF; next }
  inside { inside = 0 }
' | sort)

imports=$(printf '%s\n' "$dump" | awk '/DLL Name:/ { print $3 }' | sort -u)

status=0
echo "exports expected (Upgrade.def):"; printf '  %s\n' $expected
echo "exports found:"; printf '  %s\n' $exported
echo "imports found:"; printf '  %s\n' $imports

if [ -z "$expected" ]; then
  echo "FAIL: no EXPORTS names read from $def"; status=1
fi
if [ "$expected" != "$exported" ]; then
  echo "FAIL: the export table differs from Upgrade.def:"
  diff <(printf '%s\n' "$expected") <(printf '%s\n' "$exported") | sed -n 's/^[<>]/  &/p' || true
  status=1
fi
for name in $exported; do
  case "$name" in
    *@*|_*) echo "FAIL: decorated export name: $name"; status=1 ;;
  esac
done
for dll_name in $imports; do
  lower=$(printf '%s' "$dll_name" | tr 'A-Z' 'a-z')
  case " $allowed_imports " in
    *" $lower "*) ;;
    *) echo "FAIL: imports a DLL that is not a Windows system DLL: $dll_name"; status=1 ;;
  esac
done
[ -n "$imports" ] || { echo "FAIL: no import table found"; status=1; }

if [ $status -eq 0 ]; then echo "OK: exports match Upgrade.def, imports are system DLLs only"; fi
exit $status
