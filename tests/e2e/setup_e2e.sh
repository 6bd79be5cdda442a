#!/usr/bin/env bash
# End-to-end: builds the example setup program around the real Upgrade.dll,
# lays out a version-4 installation in a throwaway Wine prefix, runs the
# setup silently under Wine and checks what it left. A 32-bit DLL goes into a
# 32-bit setup in a 32-bit prefix, a 64-bit one into a 64-bit setup
# (Target amd64-unicode) in a 64-bit prefix.
#
#   setup_e2e.sh upgrade|running <Upgrade.dll> <window_holder.exe> <work folder>
#
# upgrade: the whole upgrade, checked file by file, value by value.
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
    e2e_run_setup; code=$?
    check "setup exits 0 (got $code)" test "$code" = 0

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
    [ "$fail" = 0 ] || { echo "--- before:"; echo "$before_tree"; echo "--- log:"; echo "$log"; }
    ;;
running)
    e2e_hold_window "Ledgerwick Complete - Accounts.LW" "$holder" || { echo "setup_e2e: the window holder did not start"; exit 1; }
    before=$(e2e_snapshot)
    e2e_run_setup; code=$?
    e2e_release_window
    check "setup stops with a non-zero exit code (got $code)" test "$code" != 0
    after=$(e2e_snapshot)
    check "nothing changed in the installation, the registry or the log" test "$before" = "$after"
    [ "$before" = "$after" ] || diff <(echo "$before") <(echo "$after")
    ;;
*)
    echo "unknown case $case_name" >&2; exit 2 ;;
esac
e2e_finish
exit $fail
