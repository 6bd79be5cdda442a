#!/usr/bin/env bash
# Builds example/LedgerwickSetup.msi around an Upgrade.dll, of that DLL's
# width: wixl looks for sources beside the .wxs, so all three are staged in
# the output folder. Usage: build_package.sh <Upgrade.dll> <output folder>
set -euo pipefail
dll=$1 out=$2
repo=$(cd "$(dirname "$0")/../.." && pwd)
LW_WINE_PREFIX_LIB=1 source "$repo/scripts/wine-prefix"
case "$(lw_pe_arch "$dll")" in
    win64) arch=x64 ;;
    win32) arch=x86 ;;
    *) echo "build_package: $dll is not a Windows DLL" >&2; exit 1 ;;
esac
mkdir -p "$out"
cp "$repo/example/LedgerwickSetup.wxs" "$dll" "$out/"
printf 'Ledgerwick Complete 5 (a stand-in for the program)\r\n' >"$out/Ledgerwick5.txt"
cd "$out"
wixl -a "$arch" -D Arch="$arch" -o LedgerwickSetup.msi LedgerwickSetup.wxs
