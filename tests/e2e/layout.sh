# Shared by the end-to-end scripts (tests/e2e/setup_e2e.sh, scripts/demo):
# a throwaway Wine prefix, the example setup built around a given DLL, a
# version-4 installation laid out in the prefix, and ways to look at the
# outcome. Source it; it defines functions and sets no options. The prefix
# and the setup have the width of the DLL they are given, and every Wine
# program runs under Wine's loader of that width, called directly.

E2E_REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
E2E_KEY='Software\Velmora Software Ltd\Ledgerwick Complete\Settings'

# Runs a Wine program and prints its standard output once it has ended. Wine's
# helper processes inherit the program's output and outlive it, so reading
# that output through a pipe would wait for them; a file does not.
e2e_wine_out() {
    local out status=0
    out=$(mktemp "${TMPDIR:-/tmp}/e2e-wine.XXXXXX") || return 1
    "$@" >"$out" 2>/dev/null </dev/null || status=$?
    tr -d '\r' <"$out"
    rm -f "$out"
    return $status
}
# The value of a cmd.exe variable such as %APPDATA%.
e2e_win_var() { e2e_wine_out lw_wine cmd /c echo "%$1%"; }
e2e_unix_path() { e2e_wine_out lw_wine winepath.exe -u "$1"; }

# e2e_prepare <work folder> <Upgrade.dll>: a prefix of its own under the work
# folder (made once, then reused) of the DLL's width, one wineserver for the
# whole script, the setup program built for that width (E2E_SETUP_TARGET), and
# none of the upgrade's traces left from a previous run. Says which step
# failed, if one does.
e2e_prepare() {
    E2E=$1
    local dll=$2 arch
    mkdir -p "$E2E" || return 1
    LW_WINE_PREFIX_LIB=1 source "$E2E_REPO/scripts/wine-prefix" || return 1
    arch=$(lw_pe_arch "$dll")
    case "$arch" in
        win32) E2E_SETUP_TARGET=x86 ;;
        win64) E2E_SETUP_TARGET=x64 ;;
        *) echo "e2e: $dll is not a Windows DLL" >&2; return 1 ;;
    esac
    lw_wine_prefix_ensure "$arch" "$E2E/prefix" || return 1
    # Exits with 2 when the server already runs.
    lw_wineserver -p >/dev/null 2>&1 </dev/null || true
    C=$WINEPREFIX/drive_c

    # The example's plug-in for a 64-bit setup's progress, built beside the
    # DLL (cmake/e2e.cmake); a setup made without it runs without progress.
    local bridge=()
    if [ "$E2E_SETUP_TARGET" = x64 ] && [ -f "$(dirname "$dll")/nsis-plugins/ProgressBridge.dll" ]; then
        bridge=(-DPROGRESS_BRIDGE_DIR="$(dirname "$dll")/nsis-plugins")
    fi
    makensis -V2 -DARCH="$E2E_SETUP_TARGET" -DUPGRADE_DLL="$dll" "${bridge[@]}" -DOUTFILE="$E2E/LedgerwickSetup.exe" \
        "$E2E_REPO/example/LedgerwickSetup.nsi" || { echo "e2e: makensis failed" >&2; return 1; }

    # cmd or winepath now and then answers nothing right after an earlier
    # case's programs end (seen once in CI): a few tries, a second apart.
    local try
    for try in 1 2 3; do
        APPDATA_DIR=$(e2e_unix_path "$(e2e_win_var APPDATA)")
        DOCUMENTS_WIN="$(e2e_win_var USERPROFILE)\\Documents"
        STARTMENU=$(e2e_unix_path "$(e2e_win_var ALLUSERSPROFILE)\\Microsoft\\Windows\\Start Menu")
        DESKTOP=$(e2e_unix_path "$(e2e_win_var PUBLIC)\\Desktop")
        DATAFILE_PATH_TEXT="$DOCUMENTS_WIN\\Ledgerwick Data"
        if [ -n "$APPDATA_DIR" ] && [ -n "$STARTMENU" ] && [ -n "$DESKTOP" ] && [ "$DOCUMENTS_WIN" != "\\Documents" ]; then
            break
        fi
        if [ "$try" = 3 ]; then
            echo "e2e: could not read the prefix's folders through cmd and winepath" >&2
            return 1
        fi
        sleep 1
    done

    # Fails when the key is not there, as in a new prefix.
    e2e_wine_out lw_wine reg delete "HKCU\\Software\\Velmora Software Ltd" /f >/dev/null || true
    e2e_wine_out lw_wine reg delete "HKLM\\Software\\Velmora Software Ltd" /f >/dev/null || true
    rm -rf "$C/Ledgerwick" "$C/Ledgerwick OLD" "$C/Ledgerwick OLD 2" "$C/windows/ledgerwick.ini" "$APPDATA_DIR/LWInst.log" \
        "$STARTMENU/Programs/Ledgerwick Complete" "$DESKTOP/Ledgerwick Complete.lnk" "$DESKTOP/Ledgerwick Demo.lnk" ||
        return 1
    local data
    data=$(e2e_unix_path "$DATAFILE_PATH_TEXT")
    if [ -n "$data" ]; then rm -rf "$data" || return 1; fi
    return 0
}

e2e_reg_set() { # root name text
    e2e_wine_out lw_wine reg add "$1\\$E2E_KEY" /v "$2" /t REG_SZ /d "$3" /f >/dev/null
}
e2e_reg_get() { # root name -> the REG_SZ text, "" when missing
    e2e_wine_out lw_wine reg query "$1\\$E2E_KEY" /v "$2" |
        sed -n "s/^ *$2 *REG_SZ *//p"
}

# The installation a version-4 user has: program files, data file, leftover
# lock file, backups, letters, the old INI file, the program-menu group and
# desktop shortcuts, and the diagnostic log switched on. Fails at the first
# thing it cannot make.
e2e_layout_version4() {
    SAMPLES=$E2E/samples
    local old=$C/Ledgerwick f
    mkdir -p "$SAMPLES" &&
        head -c 70000 /dev/urandom >"$SAMPLES/Accounts.LW" &&
        head -c 3000 /dev/urandom >"$SAMPLES/Accounts.BK1" &&
        head -c 2900 /dev/urandom >"$SAMPLES/Accounts.BK2" &&
        printf '{\\rtf1 Dear customer, a friendly reminder.}\r\n' >"$SAMPLES/Reminder.RTF" &&
        mkdir -p "$old/Backups" "$old/Letters" "$old/DISK1" "$old/Manual" || return 1
    for f in blank.mdb Ledgerwick.bmp ledgerwick.cnt ledgerwick.exe ledgerwick.hlp Ledgerwick.ico \
             ledgerwick.mdb dao2016.dll demo.dat Msarn200.exe Uninstal.exe system.mda; do
        printf 'old program file %s\r\n' "$f" >"$old/$f" || return 1
    done
    printf 'disk image\r\n' >"$old/DISK1/setup.w01" &&
        printf 'manual page\r\n' >"$old/Manual/index.htm" &&
        cp "$SAMPLES/Accounts.LW" "$old/Accounts.LW" &&
        printf 'lock\r\n' >"$old/Accounts.LDB" &&
        cp "$SAMPLES/Accounts.BK1" "$SAMPLES/Accounts.BK2" "$old/Backups/" &&
        cp "$SAMPLES/Reminder.RTF" "$old/Letters/" &&
        printf '[Email Setup]\r\nSMTPServer=mail.example.org\r\nSMTPPort=25\r\n[Microsoft Access]\r\nQIFFile=C:\\LEDGER~1\\export.qif\r\nUser=Pat Example\r\nLastNonFloppyLedgerwickLong=C:\\Ledgerwick\\Accounts.LW\r\n' \
            >"$C/windows/ledgerwick.ini" &&
        mkdir -p "$STARTMENU/Programs/Ledgerwick Complete" "$DESKTOP" || return 1
    for f in "Ledgerwick Complete.lnk" "Ledgerwick Demo.lnk" Help.lnk "Make Installation Disks.lnk" UnInstall.lnk; do
        printf 'shortcut\r\n' >"$STARTMENU/Programs/Ledgerwick Complete/$f" || return 1
    done
    printf 'shortcut\r\n' >"$DESKTOP/Ledgerwick Complete.lnk" &&
        printf 'shortcut\r\n' >"$DESKTOP/Ledgerwick Demo.lnk" &&
        e2e_reg_set HKCU EnableDebugLog 1 &&
        [ "$(e2e_reg_get HKCU EnableDebugLog)" = 1 ] || { echo "e2e: could not switch the diagnostic log on" >&2; return 1; }
}

# e2e_layout_bulk <count>: <count> more user files in the version-4 folder
# (after e2e_layout_version4): a tenth data files, the rest backups and
# letters in equal parts, small and each different.
e2e_layout_bulk() {
    local old=$C/Ledgerwick count=$1 i
    local data=$((count / 10)) backups=$(((count - count / 10) / 2))
    local letters=$((count - data - backups))
    for ((i = 1; i <= data; i++)); do printf 'data file %05d\r\n%0800d\r\n' "$i" 0 >"$old/Client$i.LW" || return 1; done
    for ((i = 1; i <= backups; i++)); do printf 'backup %05d\r\n' "$i" >"$old/Backups/Client$i.BK$((i % 3 + 1))" || return 1; done
    for ((i = 1; i <= letters; i++)); do printf '{\\rtf1 letter %05d}\r\n' "$i" >"$old/Letters/Letter$i.RTF" || return 1; done
}

# Runs the setup silently with the given extra arguments; gives its exit code.
e2e_run_setup() {
    lw_wine "$E2E/LedgerwickSetup.exe" /S "$@" >"$E2E/setup.out" 2>&1 </dev/null
}

# Files below a folder, relative and sorted.
e2e_tree() { (cd "$1" 2>/dev/null && find . -type f | sed 's|^\./||' | LC_ALL=C sort); }

e2e_log() { cat "$APPDATA_DIR/LWInst.log" 2>/dev/null; }

# Everything the setup could change, as one text.
e2e_snapshot() {
    (cd "$C" && find Ledgerwick "Ledgerwick OLD" windows/ledgerwick.ini -type f -exec md5sum {} + 2>/dev/null | LC_ALL=C sort)
    e2e_wine_out lw_wine reg query "HKCU\\$E2E_KEY"
    e2e_wine_out lw_wine reg query "HKLM\\$E2E_KEY"
    md5sum "$APPDATA_DIR/LWInst.log" 2>/dev/null
    ls "$(e2e_unix_path "$DATAFILE_PATH_TEXT")" 2>/dev/null
}

# A window titled $1, its handle stored in hWnd, open until e2e_release_window.
e2e_hold_window() {
    local holder=$2
    rm -f "$E2E/holder.ready" "$E2E/holder.stop"
    local ready stop
    ready=$(e2e_wine_out lw_wine winepath.exe -w "$E2E/holder.ready")
    stop=$(e2e_wine_out lw_wine winepath.exe -w "$E2E/holder.stop")
    lw_wine "$holder" "$1" "$ready" "$stop" >"$E2E/holder.out" 2>&1 </dev/null &
    E2E_HOLDER_PID=$!
    local i
    for i in $(seq 1 300); do
        [ -s "$E2E/holder.ready" ] && return 0
        sleep 0.1
    done
    echo "window holder did not start" >&2
    return 1
}
e2e_release_window() {
    touch "$E2E/holder.stop"
    wait "$E2E_HOLDER_PID" 2>/dev/null
}

e2e_finish() { type lw_wineserver >/dev/null 2>&1 && lw_wineserver -k >/dev/null 2>&1 || true; }
