#!/usr/bin/env bash
# Checks a program linked against a shipped import library: it must import
# from Upgrade.dll exactly the plain names of the .def file. A 32-bit import
# library that kept the stdcall decoration (Name@8) would link, yet the
# program would not start, as the DLL exports no such name.
# Usage: check_implib.sh <objdump> <program.exe>
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: check_implib.sh <objdump> <program.exe>" >&2
  exit 2
fi
objdump=$1 exe=$2
def="$(dirname "$0")/../installer/Upgrade.def"

expected=$(awk '
  { sub(/;.*/, "") }
  /^[ \t]*EXPORTS[ \t]*$/ { inside = 1; next }
  /^[ \t]*(LIBRARY|NAME|SECTIONS|STACKSIZE|HEAPSIZE|VERSION|DESCRIPTION)([ \t]|$)/ { inside = 0; next }
  inside && NF { name = $1; sub(/=.*/, "", name); sub(/@.*/, "", name); print name }
' "$def" | sort)

# objdump lists each imported DLL as "DLL Name: X" followed by its names,
# one per line ("<vma> <hint> <name>"), up to a blank line.
imported=$("$objdump" -p "$exe" | awk '
  /DLL Name:/ { inside = (tolower($3) == "upgrade.dll"); next }
  inside && /^[ \t]*$/ { inside = 0; next }
  inside && /^[ \t]*[0-9a-f]+[ \t]+[0-9]+[ \t]+[^ \t]+$/ { print $3 }
' | sort)

echo "imported from Upgrade.dll:"; printf '  %s\n' $imported
if [ "$imported" != "$expected" ]; then
  echo "FAIL: the imports from Upgrade.dll differ from the exports in Upgrade.def:"
  diff <(printf '%s\n' "$expected") <(printf '%s\n' "$imported") | sed -n 's/^[<>]/  &/p' || true
  exit 1
fi
echo "OK: imports the plain export names of Upgrade.def"
