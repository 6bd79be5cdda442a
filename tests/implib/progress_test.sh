#!/usr/bin/env bash
# Runs the guide's C example (docs/examples/progress.c) in the suite's Wine
# prefix over a small version-4 folder and checks what its callback saw: the
# total fixed once counted, done never going back, a call before the end with
# done below the total, the last call done == total "Finished", and a mask
# with the files carried. Leaves the prefix as the suite expects it.
#
#   progress_test.sh <progress example .exe>
set -uo pipefail

exe=$1
repo=$(cd "$(dirname "$0")/../.." && pwd)
LW_WINE_PREFIX_LIB=1 source "$repo/scripts/wine-prefix"

arch=${LW_WINE_ARCH:-$(lw_pe_arch "$exe")}
if [ "$arch" = win32 ]; then
    lw_probe_32bit
    if [ "$LW_32BIT" != yes ]; then
        echo "skipped: $LW_32BIT_REASON"
        exit 77
    fi
fi
prefix=${LW_WINE_PREFIX:-$(lw_wine_default_prefix "$arch")}
lw_wine_prefix_ensure "$arch" "$prefix" || exit 1
lw_wineserver -p"${LW_WINESERVER_LINGER:-60}" >/dev/null 2>&1 || true
C=$WINEPREFIX/drive_c

clean() {
    rm -rf "$C/Ledgerwick" "$C/Ledgerwick OLD" "$C"/users/*/Documents/"Ledgerwick Data"
    lw_wine reg delete 'HKCU\Software\Velmora Software Ltd' /f >/dev/null 2>&1 </dev/null || true
}
clean
trap clean EXIT
# A data file of a few 64 KB units and a letter: more than one unit of work.
mkdir -p "$C/Ledgerwick/Letters" &&
    head -c 300000 /dev/urandom >"$C/Ledgerwick/Accounts.LW" &&
    printf '{\\rtf1 letter}\r\n' >"$C/Ledgerwick/Letters/Note.RTF" || { echo "could not lay out C:\\Ledgerwick"; exit 1; }

out=$(mktemp "${TMPDIR:-/tmp}/progress.XXXXXX")
lw_wine "$exe" >"$out" 2>/dev/null </dev/null
status=$?
tr -d '\r' <"$out" >"$out.lines"
rm -f "$out"
cat "$out.lines"

fail=0
check() { # description, command...
    local what=$1; shift
    if "$@"; then echo "ok   - $what"; else echo "FAIL - $what"; fail=1; fi
}
check "the example exits 0 (got $status)" test "$status" = 0
# Every line but the last is one call: done, total, item.
verdict=$(awk '
    /^result / { result = $2; next }
    { n++; done = $1 + 0; total = $2 + 0; item = $0; sub(/^[0-9]+ [0-9]+ /, "", item)
      if (total == 0) { if (fixed) bad = bad " total 0 after the count"; next }
      if (!fixed) { fixed = total }
      else if (total != fixed) bad = bad " total changed"
      if (done < last) bad = bad " done went back"
      if (done < total) below = 1
      last = done; last_total = total; last_item = item }
    END {
      if (!fixed) bad = bad " no call with a total"
      if (!below) bad = bad " no call with done below the total"
      if (last != last_total || last_item != "Finished") bad = bad " last call not done==total Finished"
      if (result == "") bad = bad " no result"
      else if (int(result) % 2 != 1 || int(result / 8) % 2 || int(result / 32) % 2) bad = bad " result " result
      print (bad == "" ? "ok" : bad) }' "$out.lines")
check "callbacks: total fixed, done rising to the total, then Finished; mask carried ($verdict)" test "$verdict" = ok
rm -f "$out.lines"
check "the data file is in the data folder" bash -c 'ls "$1"/users/*/Documents/"Ledgerwick Data"/Accounts.LW >/dev/null 2>&1' _ "$C"
exit $fail
