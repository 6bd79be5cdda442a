#!/usr/bin/env bash
# Checks the built Upgrade.dll the way a setup program and a clean Windows
# machine see it: its export table holds exactly the names of the .def file,
# undecorated (a stdcall name like "Name@8" would not be found by name), and
# it imports nothing but Windows system DLLs (no mingw runtime DLLs to ship)
# and no ANSI text call (every path goes to Windows as UTF-16),
# and its version resource says what installer/Upgrade.rc says. It reads the
# file only, so it runs for both widths on any machine, Wine or not.
# Usage: check_dll.sh <objdump> <Upgrade.dll> (windres is found beside objdump)
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: check_dll.sh <objdump> <dll>" >&2
  exit 2
fi
objdump=$1
dll=$2
def="$(dirname "$0")/../installer/Upgrade.def"
rc="$(dirname "$0")/../installer/Upgrade.rc"
windres=${objdump%objdump}windres
allowed_imports="kernel32.dll ntdll.dll advapi32.dll shell32.dll shlwapi.dll imagehlp.dll user32.dll msvcrt.dll"

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
# The functions imported, as "hint name" lines below each DLL's name.
imported_calls=$(printf '%s\n' "$dump" | awk '
  /DLL Name:/ { inside = 1; next }
  /[Ee]xport [Tt]able/ { inside = 0 }
  inside && NF >= 3 && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ { print $3 }
' | sort -u)

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
# Text reaches Windows as UTF-16 only: a path the ANSI code page can't spell
# would be changed by an ...A call. None may be imported.
# The 32-bit runtime's start-up finds its own helpers by fixed ASCII names;
# those two take no text of the library's.
ansi_calls=$(printf '%s\n' "$imported_calls" | grep -E '[a-z0-9]A$' | grep -vxE 'GetModuleHandleA|LoadLibraryA' || true)
if [ -n "$ansi_calls" ]; then
  echo "FAIL: imports ANSI text calls:"; printf '  %s\n' $ansi_calls; status=1
fi
printf '%s\n' "$imported_calls" | grep -qx 'CreateFileW' || { echo "FAIL: no wide file call found among the imports"; status=1; }

# The version resource as windres reads it back from the DLL, against the
# source: the file version and every string value.
version_lines() { # rc text on stdin -> FILEVERSION and the quoted VALUE lines, normalised
  tr -d '\r' | sed -n -e 's/^[ \t]*FILEVERSION[ \t]*/FILEVERSION /p' -e 's/^[ \t]*\(VALUE "[^"]*", ".*"\)[ \t]*$/\1/p' |
    sed 's/,[ \t]*/,/g' | sort
}
expected_version=$(version_lines <"$rc")
if ! found_rc=$("$windres" -J coff -O rc -i "$dll" 2>&1); then
  echo "FAIL: windres could not read the resources: $found_rc"; status=1
fi
found_version=$(printf '%s\n' "$found_rc" | version_lines)
echo "version resource found:"; printf '%s\n' "$found_version" | sed 's/^/  /'
if [ "$(printf '%s\n' "$expected_version" | grep -c VALUE)" -lt 1 ]; then
  echo "FAIL: no VALUE lines read from $rc"; status=1
elif [ "$expected_version" != "$found_version" ]; then
  echo "FAIL: the version resource differs from Upgrade.rc:"
  diff <(printf '%s\n' "$expected_version") <(printf '%s\n' "$found_version") | sed -n 's/^[<>]/  &/p' || true
  status=1
fi

if [ $status -eq 0 ]; then echo "OK: exports match Upgrade.def, imports are system DLLs only and no ANSI text call, version resource matches Upgrade.rc"; fi
exit $status
