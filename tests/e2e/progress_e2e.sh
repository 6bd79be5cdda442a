#!/usr/bin/env bash
# End-to-end: the example setup with its window, over a version-4
# installation with 5,000 more user files, watched from outside while it runs
# (progress_watcher.exe reads its progress bar every 100 ms). The bar must
# rise during the upgrade, as the progress callback moves it; a screenshot of
# the page is taken half-way, into the work folder (progress.png). Needs the
# display the suite runs in (xvfb-run).
#
#   progress_e2e.sh <Upgrade.dll> <progress_watcher.exe> <work folder>
set -uo pipefail

dll=$1 watcher=$2 work=$3
repo=$(cd "$(dirname "$0")/../.." && pwd)
source "$repo/tests/e2e/layout.sh"
LW_WINE_PREFIX_LIB=1 source "$repo/scripts/wine-prefix"
if [ "$(lw_pe_arch "$dll")" = win32 ]; then
    lw_probe_32bit
    if [ "$LW_32BIT" != yes ]; then
        echo "skipped: $LW_32BIT_REASON"
        exit 77
    fi
fi
if [ -z "${DISPLAY:-}" ]; then
    echo "progress_e2e: no display; run it under xvfb-run as the suite does"
    exit 1
fi

fail=0
check() { # description, command...
    local what=$1; shift
    if "$@"; then echo "ok   - $what"; else echo "FAIL - $what"; fail=1; fi
}

bulk=5000
trap e2e_finish EXIT
e2e_prepare "$work/progress" "$dll" || { echo "progress_e2e: preparing the prefix and the setup failed"; exit 1; }
e2e_layout_version4 && e2e_layout_bulk $bulk || { echo "progress_e2e: laying out the installation failed"; exit 1; }
echo "setup: $E2E_SETUP_TARGET, prefix: $WINEARCH, $bulk more user files"

positions=$E2E/positions.txt shot=$E2E/progress.png
rm -f "$positions" "$shot" "$C/lwdetails.txt"
lw_wine "$watcher" "Ledgerwick Complete 5" "$(e2e_wine_out lw_wine winepath.exe -w "$positions")" \
    >"$E2E/watcher.out" 2>&1 </dev/null &
watcher_pid=$!
lw_wine "$E2E/LedgerwickSetup.exe" '/DETAILS=C:\lwdetails.txt' >"$E2E/setup.out" 2>&1 </dev/null &
setup_pid=$!
# Half-way through the upgrade, a picture of the whole screen: the setup is
# the only window on it.
while kill -0 "$setup_pid" 2>/dev/null; do
    if [ ! -s "$shot" ] && awk -F'\t' '$3 ~ /^Carrying your files/ && $2 >= 9000 && $2 <= 21000 { found = 1 } END { exit !found }' \
        "$positions" 2>/dev/null; then
        xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$shot" 2>/dev/null || rm -f "$shot"
    fi
    sleep 0.1
done
wait "$setup_pid"; code=$?
wait "$watcher_pid"
check "setup with its window exits 0 (got $code)" test "$code" = 0

# The polls while the upgrade carried the files, in order.
during=$(awk -F'\t' '$3 ~ /^Carrying your files/ { print $2 }' "$positions" 2>/dev/null)
distinct=$(uniq <<<"$during" | grep -c .)
echo "bar positions seen while carrying (0..30000), each change: $(uniq <<<"$during" | tr '\n' ' ')"
echo "polls: $(grep -c . "$positions" 2>/dev/null), of which while carrying: $(grep -c . <<<"$during")"
check "the bar took at least three positions while the files were carried ($distinct)" test "$distinct" -ge 3
check "the bar never went back while the files were carried" test "$during" = "$(sort -n <<<"$during")"
check "the bar was below full at the first of them" test "$(head -n 1 <<<"$during")" -lt 30000
details=$(tr -d '\r' <"$C/lwdetails.txt" 2>/dev/null)
check "details: the run's result is 5" grep -q "^Upgrade finished (result 5): " <<<"$details"
data=$(e2e_unix_path "$(e2e_reg_get HKCU DatafilePath)")
carried=$(e2e_tree "$data" | grep -c .)
check "the data folder holds the $((bulk + 4)) user files ($carried)" test "$carried" = $((bulk + 4))
check "a screenshot was taken half-way ($shot)" bash -c '[ "$(head -c 4 "$1" | tail -c 3)" = PNG ]' _ "$shot"
[ "$fail" = 0 ] || { echo "--- positions:"; cat "$positions" 2>/dev/null | head -50; echo "--- details:"; echo "$details" | tail -20; cat "$E2E/watcher.out" "$E2E/setup.out"; }
e2e_finish
exit $fail
