#!/usr/bin/env bash
# The example MSI package (example/LedgerwickSetup.wxs, built with wixl around
# the given Upgrade.dll) installed silently by Wine's msiexec over the
# walk-through's version-4 installation. Wine reports an action DLL that
# fails to load as success, so each case looks for the actions' own lines
# in the verbose log, not only at the exit code. Every msiexec run is under
# a time limit: a 32-bit action on a machine that cannot run 32-bit programs
# hangs rather than fails.
#
# The ui_ cases install in-process through ui_watcher.exe (tests/msi/ui_watcher.c),
# an external UI handler that keeps the installer's progress sums and can
# answer cancel, over the walk-through with 300 more user files so the
# upgrade sends many progress messages.
#
# Usage: msi_e2e.sh upgrade|bad|preview|polish <Upgrade.dll> <work folder>
#        msi_e2e.sh ui_progress|ui_cancel <Upgrade.dll> <work folder> <ui_watcher.exe>
# Exit 77 (a skip, with its reason) for a 32-bit DLL where 32-bit programs
# cannot run.
set -uo pipefail
case=$1 dll=$(readlink -f "$2") work=$3/msi watcher=${4:-}
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

# Runs ui_watcher.exe in mode $1 (progress or cancel) with the walk-through's
# properties and a verbose log in msi.txt; its summary is read with ui_value.
watch_install() {
    rm -f "$work/msi.log"
    local status=0
    local loader=$LW_WINE64
    [ "$WINEARCH" = win64 ] || loader=$LW_WINE32
    timeout 300 "$loader" "$watcher" "$1" "$package" "$msilog_win" 'LW_OLDFOLDER=C:\Ledgerwick LW_REPORT=C:\lw-report.txt' \
        >"$work/ui-$1.out" 2>&1 </dev/null || status=$?
    [ "$status" != 124 ] || fail "ui_watcher did not end within 300 s"
    [ "$status" = 0 ] || fail "ui_watcher exited with $status: $(tr -d '\r' <"$work/ui-$1.out" | tail -n 3)"
    tr -d '\r' <"$work/ui-$1.out" >"$work/ui.txt"
    cp "$work/msi.log" "$work/msi.txt" 2>/dev/null || : >"$work/msi.txt"
    echo "ui_watcher $1: $(grep -E '^(status|reset|added|ticks|upgrade_[a-z]+|cancelled_at) ' "$work/ui.txt" | tr '\n' ' ')"
}
ui_value() { sed -n "s/^$1 //p" "$work/ui.txt" | tail -n 1; }
# The user files of the layout (data files, backups, letters), relative to
# the old folder, kept aside in $work/before.
keep_user_files() {
    rm -rf "$work/before" && mkdir -p "$work/before" || fail "could not make $work/before"
    (cd "$C/Ledgerwick" && find . -maxdepth 1 -name '*.LW' -type f && find Backups Letters -type f) |
        sed 's|^\./||' | LC_ALL=C sort >"$work/user-files.txt"
    (cd "$C/Ledgerwick" && tar -cf - -T "$work/user-files.txt") | (cd "$work/before" && tar -xf -) ||
        fail "could not keep the user files"
}
# Every kept user file byte-identical in the data folder (backups go to
# "Automated Backups").
all_in_data_folder() {
    local f
    while IFS= read -r f; do
        cmp -s "$work/before/$f" "$data/${f/#Backups/Automated Backups}" || cmp -s "$work/before/$f" "$data/$f" ||
            fail "$f is not byte-identical in the data folder"
    done <"$work/user-files.txt"
}
# The data folder as relative paths and checksums, and the two settings that
# point into it.
data_state() {
    (cd "$data" && find . -type f -exec md5sum {} + | LC_ALL=C sort -k 2)
    echo "DatafilePath=$(e2e_reg_get HKCU DatafilePath)"
    echo "LastLedgerwickOpenedInDataFolder=$(e2e_reg_get HKCU LastLedgerwickOpenedInDataFolder)"
}
ui_layout() {
    e2e_layout_bulk 300 || fail "could not lay out the 300 more user files"
}

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
ui_progress)
    [ -n "$watcher" ] || fail "no ui_watcher.exe given"
    ui_layout
    keep_user_files
    watch_install progress
    [ "$(ui_value status)" = 0 ] || fail "MsiInstallProductW returned $(ui_value status) (see $work/ui.txt)"
    # The installer's accounting as the handler kept it: one master reset
    # (Wine's InstallValidate), the immediate action's ProgressAddition, then
    # increments. The upgrade's increments, from its first log line until the
    # next action starts, must sum to exactly what its immediate action added,
    # in several rising steps, and the bar must end at least full.
    added=$(ui_value upgrade_added) upgrade=$(ui_value upgrade_ticks)
    [ "$(ui_value resets)" = 1 ] || fail "$(ui_value resets) master resets, not 1"
    [ "${added:-0}" -gt 0 ] || fail "no ProgressAddition after the immediate action's line"
    [ "$upgrade" = "$added" ] || fail "the upgrade's increments sum to $upgrade, not the $added its action added"
    [ "$(ui_value upgrade_steps)" -ge 3 ] || fail "the upgrade moved the bar in $(ui_value upgrade_steps) steps, not 3 or more"
    [ "$(ui_value negative)" = 0 ] || fail "an increment went below zero"
    # Wine's own actions overshoot: RemoveFiles reports the new file's size
    # on a first install too, which its reset did not count; so "at least".
    [ "$(ui_value ticks)" -ge $(($(ui_value reset) + $(ui_value added))) ] ||
        fail "the bar ended at $(ui_value ticks) of $(($(ui_value reset) + $(ui_value added)))"
    log_has "Ledgerwick upgrade: result 5 " || fail "MsiEnableLogW's verbose log has no result line of a full upgrade"
    [ -f "$program" ] || fail "the program file was not installed"
    all_in_data_folder
    ;;
ui_cancel)
    [ -n "$watcher" ] || fail "no ui_watcher.exe given"
    ui_layout
    keep_user_files
    # An uninterrupted install first, for the data folder and settings the
    # cancelled and resumed one must end with; then the same layout again.
    watch_install progress
    [ "$(ui_value status)" = 0 ] || fail "the uninterrupted install returned $(ui_value status)"
    expected=$(data_state)
    uninstall
    e2e_prepare "$work" "$dll" || fail "could not reset the prefix"
    e2e_layout_version4 || fail "could not lay out the version-4 installation again"
    ui_layout
    # The walk-through's data file, backups and letter are random each time.
    (cd "$work/before" && tar -cf - .) | (cd "$C/Ledgerwick" && tar -xf -) || fail "could not restore the user files"

    # Wine 8 carries the handler's IDCANCEL back through its custom-action
    # server to the deferred action's MsiProcessMessage, as Windows does, so
    # the action stops and returns 1602. Wine's own actions ignore the
    # handler's answer to their progress messages (msi_ui_progress discards
    # it): under Wine only a custom action can be cancelled this way. Wine
    # also leaves the new program file in place after the 1602 (no rollback
    # of InstallFiles), so the test says nothing about it until the
    # second install.
    watch_install cancel
    [ "$(ui_value status)" = 1602 ] || fail "the cancelled install returned $(ui_value status), not 1602"
    at=$(ui_value cancelled_at)
    [ "$at" -gt 0 ] && [ "$at" -lt "$(ui_value upgrade_added)" ] ||
        fail "IDCANCEL was not answered mid-upgrade (at $at of $(ui_value upgrade_added) ticks)"
    log_has "Ledgerwick upgrade: stopped at the installer's cancel" || fail "the deferred action did not log the cancel"
    # Nothing lost: every user file's content is in the old folder, its
    # " OLD" name or the data folder.
    present=$(cd "$C" && find Ledgerwick "Ledgerwick OLD" "$data" -type f -exec md5sum {} + 2>/dev/null | cut -d' ' -f1 | sort -u)
    while IFS= read -r f; do
        grep -qx "$(md5sum <"$work/before/$f" | cut -d' ' -f1)" <<<"$present" || fail "$f was lost at the cancel"
    done <"$work/user-files.txt"

    watch_install progress
    [ "$(ui_value status)" = 0 ] || fail "the install after the cancel returned $(ui_value status)"
    [ -f "$program" ] || fail "the program file is not installed after the second install"
    all_in_data_folder
    [ "$(data_state)" = "$expected" ] ||
        fail "the data folder or settings differ from an uninterrupted install: $(diff <(echo "$expected") <(data_state) | head -n 5)"
    ;;
*) fail "unknown case $case" ;;
esac
uninstall
echo "PASS: msi $case"
