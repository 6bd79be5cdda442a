#!/usr/bin/env bash
# The example MSI package (example/LedgerwickSetup.wxs, built with wixl around
# the given Upgrade.dll) installed silently by Wine's msiexec over the
# walk-through's version-4 installation. Wine reports an action DLL that
# fails to load as success, so each case looks for the actions' own lines
# in the verbose log, not only at the exit code. Every msiexec run is under
# a time limit: a 32-bit action on a machine that cannot run 32-bit programs
# hangs rather than fails.
#
# Usage: msi_e2e.sh upgrade|bad|preview|polish <Upgrade.dll> <work folder>
# Exit 77 (a skip, with its reason) for a 32-bit DLL where 32-bit programs
# cannot run.
set -uo pipefail
case=$1 dll=$(readlink -f "$2") work=$3/msi
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../e2e/layout.sh"
LW_WINE_PREFIX_LIB=1 source "$E2E_REPO/scripts/wine-prefix"

if [ "$(lw_pe_arch "$dll")" = win32 ]; then
    lw_probe_32bit
    if [ "$LW_32BIT" != yes ]; then
        echo "SKIP: the 32-bit package needs Wine's 32-bit msiexec: $LW_32BIT_REASON"
        exit 77
    fi
fi
fail() { echo "FAIL: $*"; e2e_finish; exit 1; }
trap e2e_finish EXIT

e2e_prepare "$work" "$dll" || fail "could not prepare the prefix"
bash "$E2E_REPO/tests/msi/build_package.sh" "$dll" "$work/package" || fail "wixl could not build the package"
package=$(e2e_wine_out lw_wine winepath.exe -w "$work/package/LedgerwickSetup.msi")
msilog_win=$(e2e_wine_out lw_wine winepath.exe -w "$work/msi.log")
program="$C/Program Files/Ledgerwick Complete 5/Ledgerwick5.txt"

# Runs msiexec /i with the given properties; $msi_status is its exit status.
install() {
    rm -f "$work/msi.log"
    msi_status=0
    timeout 120 "$LW_WINE64" msiexec /i "$package" /qn /l*v "$msilog_win" "$@" >"$work/msiexec.out" 2>&1 \
        </dev/null || msi_status=$?
    [ "$msi_status" != 124 ] || fail "msiexec did not end within 120 s"
    # Wine writes the verbose log as UTF-16 when it holds text the code page
    # lacks; either way it is read as UTF-8 here.
    if [ "$(head -c 2 "$work/msi.log" 2>/dev/null | od -An -tx1 | tr -d ' ')" = fffe ]; then
        iconv -f UTF-16 -t UTF-8 "$work/msi.log" >"$work/msi.txt"
    else
        cp "$work/msi.log" "$work/msi.txt" 2>/dev/null || : >"$work/msi.txt"
    fi
}
uninstall() {
    timeout 120 "$LW_WINE64" msiexec /x "$package" /qn >/dev/null 2>&1 </dev/null || true
    rm -f "$program"
}
log_has() { grep -qF -- "$1" "$work/msi.txt"; }

uninstall
e2e_prepare "$work" "$dll" || fail "could not reset the prefix"
e2e_layout_version4 || fail "could not lay out the version-4 installation"
data=$(e2e_unix_path "$DATAFILE_PATH_TEXT")

case $case in
upgrade)
    install LW_OLDFOLDER='C:\Ledgerwick' LW_REPORT='C:\lw-report.txt'
    [ "$msi_status" = 0 ] || fail "msiexec exited with $msi_status (see $work/msi.txt)"
    log_has "Ledgerwick upgrade: scheduled from version 4" || fail "the immediate action's line is not in the log"
    log_has "Upgrade.dll (UpV5) INFO ----## Started ##----" || fail "the upgrade's own lines are not in the log"
    log_has "Ledgerwick upgrade: result " || fail "the deferred action's result line is not in the log"
    [ -f "$program" ] || fail "the program file was not installed"
    for f in Accounts.LW Backups/Accounts.BK1 Backups/Accounts.BK2 Letters/Reminder.RTF; do
        cmp -s "$SAMPLES/$(basename "$f")" "$data/${f/Backups/Automated Backups}" ||
            cmp -s "$SAMPLES/$(basename "$f")" "$data/$f" || fail "$f is not byte-identical in the data folder"
    done
    [ -f "$C/lw-report.txt" ] || fail "no report at LW_REPORT"
    [ ! -e "$C/Ledgerwick/Accounts.LW" ] || fail "the data file is still in the old folder"
    ;;
bad)
    before=$(e2e_snapshot)
    install LW_OLDFOLDER='C:\Ledgerwick' LW_PREVIOUSVERSION=four
    [ "$msi_status" = 67 ] || fail "msiexec exited with $msi_status, not 67 (1603 mod 256)"
    log_has 'LW_PREVIOUSVERSION "four" is not a version number' || fail "the log does not name the bad property"
    [ "$(e2e_snapshot)" = "$before" ] || fail "the failed install changed the old installation"
    [ ! -f "$program" ] || fail "the failed install left the program file"
    ;;
preview)
    before=$(e2e_snapshot)
    install LW_OLDFOLDER='C:\Ledgerwick' LW_PREVIEW=1 LW_REPORT='C:\lw-preview.txt'
    [ "$msi_status" = 0 ] || fail "msiexec exited with $msi_status"
    log_has "a preview: nothing was changed" || fail "the preview's result line is not in the log"
    [ "$(e2e_snapshot)" = "$before" ] || fail "the preview changed the old installation"
    [ -s "$C/lw-preview.txt" ] || fail "the preview wrote no report"
    ;;
polish)
    old="$C/Księgowość Łódź"
    rm -rf "$old" && mv "$C/Ledgerwick" "$old" || fail "could not make the Polish old folder"
    install 'LW_OLDFOLDER=C:\Księgowość Łódź' 'LW_REPORT=C:\lw-polish.txt'
    [ "$msi_status" = 0 ] || fail "msiexec exited with $msi_status"
    # Wine writes the verbose log in the ANSI code page ('?' for what it
    # lacks): the report, in UTF-8, shows the path arrived exactly.
    log_has "Ledgerwick upgrade: result " || fail "the deferred action's result line is not in the log"
    grep -qF 'renamed	C:\Księgowość Łódź	C:\Księgowość Łódź OLD' "$C/lw-polish.txt" ||
        fail "the report does not name the Polish folder exactly"
    [ -d "$old OLD" ] || fail "the Polish old folder was not retired"
    cmp -s "$SAMPLES/Accounts.LW" "$data/Accounts.LW" || fail "the data file was not carried from the Polish folder"
    rm -rf "$old" "$old OLD"
    ;;
*) fail "unknown case $case" ;;
esac
uninstall
echo "PASS: msi $case"
