#!/usr/bin/env bash
# End-to-end: builds the example setup program around the real Upgrade.dll,
# lays out a version-4 installation in a throwaway Wine prefix, runs the
# setup silently under Wine and checks what it left. A 32-bit DLL goes into a
# 32-bit setup in a 32-bit prefix, a 64-bit one into a 64-bit setup
# (Target amd64-unicode) in a 64-bit prefix.
#
#   setup_e2e.sh upgrade|shown|running|unicode <Upgrade.dll> <window_holder.exe> <work folder>
#
# upgrade: the whole upgrade, checked file by file, value by value; the exit
#          code is the result mask and the report lists the files.
# shown:   the setup with its window: the preview's summary before the
#          upgrade and the run's after it, in the details list.
# unicode: the upgrade of an old folder named in Polish, passed wide.
# running: a window titled with the product title is open (its handle in
#          hWnd): the setup must stop with a non-zero exit code and change
#          nothing.
set -uo pipefail

case_name=$1 dll=$2 holder=$3 work=$4
repo=$(cd "$(dirname "$0")/../.." && pwd)
source "$repo/tests/e2e/layout.sh"

fail=0
check() { # description, command...
    local what=$1; shift
    if "$@"; then echo "ok   - $what"; else echo "FAIL - $what"; fail=1; fi
}

trap e2e_finish EXIT
e2e_prepare "$work/$case_name" "$dll" || { echo "setup_e2e: preparing the prefix and the setup failed"; exit 1; }
e2e_layout_version4 || { echo "setup_e2e: laying out the version-4 installation failed"; exit 1; }
echo "setup: $E2E_SETUP_TARGET, prefix: $WINEARCH"

case "$case_name" in
upgrade)
    before_tree=$(e2e_tree "$C/Ledgerwick")
    e2e_run_setup '/REPORT=C:\lwreport.txt'; code=$?
    check "setup exits with the mask: files carried, settings migrated (5, got $code)" test "$code" = 5

    data=$(e2e_unix_path "$(e2e_reg_get HKCU DatafilePath)")
    echo "data folder: $data"
    check "DatafilePath names the data folder in Documents" test -d "$data"
    for f in Accounts.LW "Automated Backups/Accounts.BK1" "Automated Backups/Accounts.BK2" Letters/Reminder.RTF; do
        check "data folder holds $f, byte-identical" cmp -s "$SAMPLES/$(basename "$f")" "$data/$f"
    done
    check "old folder is gone" test ! -e "$C/Ledgerwick"
    check "retired folder holds Accounts.OLD, byte-identical" cmp -s "$SAMPLES/Accounts.LW" "$C/Ledgerwick OLD/Accounts.OLD"
    check "retired folder holds only Accounts.OLD and the readme" \
        test "$(e2e_tree "$C/Ledgerwick OLD")" = "$(printf 'Accounts.OLD\n_Readme.txt')"
    check "readme names the data folder" grep -qF "have been moved to $(e2e_reg_get HKCU DatafilePath)." "$C/Ledgerwick OLD/_Readme.txt"
    readme_size=$(stat -c %s "$C/Ledgerwick OLD/_Readme.txt")
    expected_size=$((507 + ${#DATAFILE_PATH_TEXT}))
    check "readme is 507+n bytes ($readme_size)" test "$readme_size" = "$expected_size"
    check "LastLedgerwickOpenedInDataFolder points into the data folder" \
        test "$(e2e_reg_get HKCU LastLedgerwickOpenedInDataFolder)" = "$(e2e_reg_get HKCU DatafilePath)\\Accounts.LW"
    check "SMTPServer carried over from the INI file" test "$(e2e_reg_get HKCU SMTPServer)" = "mail.example.org"
    check "User carried over from the INI file" test "$(e2e_reg_get HKCU User)" = "Pat Example"
    check "old INI file deleted" test ! -e "$C/windows/ledgerwick.ini"
    check "InstallerFilename is the setup's own file name" test "$(e2e_reg_get HKLM InstallerFilename)" = "LedgerwickSetup.exe"
    check "program-menu group removed" test ! -e "$STARTMENU/Programs/Ledgerwick Complete"
    check "desktop shortcuts removed" test ! -e "$DESKTOP/Ledgerwick Complete.lnk"
    log=$(e2e_log)
    check "log has the driver's start line" grep -qP '\[Upgrade.dll +- UpV5 +\]\tINFO \t----## Started ##----\r$' <<<"$log"
    check "log has the version line" grep -qF 'DLL Version:  1.00' <<<"$log"
    check "log has PreviousVersion: 4" grep -qF 'PreviousVersion: 4' <<<"$log"
    check "log has the driver's finish line" grep -qP 'UpV5 +\]\tINFO \t----## Finished ##----\r$' <<<"$log"
    # Every line opens with the time stamp; the readme's text, logged whole,
    # is the only message that runs over several lines.
    check "every log line has the line format" bash -c '! grep -P "^\[" <<<"$1" | grep -vP "^\[\d\d:\d\d:\d\d\.\d{3}\]\t\[.{15,} - .{30,}\]\t(INFO |ERROR|FATAL)\t.*\r$"' _ "$log"
    check "only the readme's text runs over several lines" test "$(grep -cvP '^\[' <<<"$log")" = 8
    report=$(tail -c +4 "$C/lwreport.txt" 2>/dev/null) # without the byte-order mark
    data_win=$(e2e_reg_get HKCU DatafilePath)
    check "report opens with the UTF-8 byte-order mark" test "$(head -c 3 "$C/lwreport.txt" | od -An -tx1 | tr -d ' ')" = efbbbf
    check "report: Accounts.LW copied" grep -qxF "$(printf 'copied\tC:\\Ledgerwick\\Accounts.LW\t%s\\Accounts.LW\r' "$data_win")" <<<"$report"
    check "report: the letter moved" grep -qxF "$(printf 'moved\tC:\\Ledgerwick\\Letters\\Reminder.RTF\t%s\\Letters\\Reminder.RTF\r' "$data_win")" <<<"$report"
    check "report: the old folder renamed" grep -qxF "$(printf 'renamed\tC:\\Ledgerwick\tC:\\Ledgerwick OLD\r')" <<<"$report"
    check "report ends with the summary" test "$(tail -n 1 <<<"$report")" = "$(printf 'summary\t1 copied, 3 moved, 2 renamed, 1 deleted, 0 kept, 0 failed\t%s\tC:\\Ledgerwick OLD\r' "$data_win")"
    [ "$fail" = 0 ] || { echo "--- before:"; echo "$before_tree"; echo "--- log:"; echo "$log"; echo "--- report:"; echo "$report"; }
    ;;
unicode)
    # The installation in a folder named outside the ANSI code page, given
    # to the setup on its command line and passed on wide.
    old_win='C:\Programy\Księgowość'
    # A run before this one left its " OLD" folder there; this run would then
    # rightly take the name " OLD 2".
    rm -rf "$C/Programy" && mkdir -p "$C/Programy" && mv "$C/Ledgerwick" "$C/Programy/Księgowość" &&
        cp "$SAMPLES/Accounts.LW" "$C/Programy/Księgowość/Łódź 2024.LW" &&
        sed -i '/LastNonFloppyLedgerwickLong/d' "$C/windows/ledgerwick.ini" || { echo "setup_e2e: moving the installation failed"; exit 1; }
    e2e_run_setup "/OLDFOLDER=$old_win" '/REPORT=C:\lwreport.txt'; code=$?
    check "setup exits with the mask: files carried, settings migrated (5, got $code)" test "$code" = 5
    data=$(e2e_unix_path "$(e2e_reg_get HKCU DatafilePath)")
    for f in Accounts.LW "Łódź 2024.LW" "Automated Backups/Accounts.BK1" Letters/Reminder.RTF; do
        check "data folder holds $f, byte-identical" cmp -s "$SAMPLES/$(basename "$f" | sed 's/^Łódź 2024/Accounts/')" "$data/$f"
    done
    check "old folder is gone" test ! -e "$C/Programy/Księgowość"
    check "retired folder holds Accounts.OLD" cmp -s "$SAMPLES/Accounts.LW" "$C/Programy/Księgowość OLD/Accounts.OLD"
    check "report names the old folder's new name exactly" \
        grep -qF "$(printf 'renamed\t%s\t%s OLD' "$old_win" "$old_win")" "$C/lwreport.txt"
    [ "$fail" = 0 ] || { echo "--- log:"; e2e_log; cat "$E2E/setup.out"; }
    ;;
shown)
    lw_wine "$E2E/LedgerwickSetup.exe" '/DETAILS=C:\lwdetails.txt' >"$E2E/setup.out" 2>&1 </dev/null; code=$?
    check "setup with its window exits 0 (got $code)" test "$code" = 0
    details=$(tr -d '\r' <"$C/lwdetails.txt" 2>/dev/null)
    data_win=$(e2e_reg_get HKCU DatafilePath)
    counts="1 copied, 3 moved, 2 renamed, 1 deleted, 0 kept, 0 failed"
    preview_at=$(grep -nF "Preview of the upgrade: $counts" <<<"$details" | cut -d: -f1)
    upgrade_at=$(grep -nF "Upgrading version 4" <<<"$details" | cut -d: -f1)
    check "details: the preview's summary comes before the upgrade" test "${preview_at:-999}" -lt "${upgrade_at:-0}"
    check "details: the preview names the old folder's new name" grep -qF "old folder afterwards: C:\Ledgerwick OLD" <<<"$details"
    check "details: the run's summary" grep -qxF "Upgrade finished (result 5): $counts" <<<"$details"
    check "details: the data folder" grep -qxF "  data folder: $data_win" <<<"$details"
    check "the upgrade ran: Accounts.LW in the data folder" test -f "$(e2e_unix_path "$data_win")/Accounts.LW"
    [ "$fail" = 0 ] || { echo "--- details:"; echo "$details"; cat "$E2E/setup.out"; }
    ;;
running)
    e2e_hold_window "Ledgerwick Complete - Accounts.LW" "$holder" || { echo "setup_e2e: the window holder did not start"; exit 1; }
    before=$(e2e_snapshot)
    e2e_run_setup; code=$?
    e2e_release_window
    check "setup stops with exit code 32, the application is running (got $code)" test "$code" = 32
    after=$(e2e_snapshot)
    check "nothing changed in the installation, the registry or the log" test "$before" = "$after"
    [ "$before" = "$after" ] || diff <(echo "$before") <(echo "$after")
    ;;
*)
    echo "unknown case $case_name" >&2; exit 2 ;;
esac
e2e_finish
exit $fail
