/* Installs an MSI package in-process with an external UI handler, as a
 * setup program with a window of its own does, and keeps the installer's
 * progress accounting the way such a handler must (the installer sends the
 * numbers; the handler keeps the sums).
 *
 *   ui_watcher.exe <progress|cancel> <package.msi> <verbose log> <properties>
 *
 * Prints one line per message of interest to standard output, then a summary
 * the test script reads, a "name value" a line:
 *   status         MsiInstallProductW's result
 *   resets, reset  how many master resets came, the last one's total
 *   added          the sum of all ProgressAdditions
 *   ticks          the sum of all increments since the last master reset
 *   upgrade_added  the ProgressAddition after the immediate action's line
 *   upgrade_ticks  the sum of the increments while the upgrade ran
 *   upgrade_steps  how many of those were above zero
 *   cancelled_at   upgrade_ticks when IDCANCEL was answered, -1 if never
 *   negative       1 when an increment was below zero
 *
 * The upgrade's window is told by its own log lines (INSTALLMESSAGE_INFO):
 * from "Ledgerwick upgrade: running from" until the next action starts or
 * the install ends, so the action's closing top-up counts too.
 *
 * In cancel mode the handler answers IDCANCEL to the first increment that
 * takes the upgrade past half its ticks. */
#include <windows.h>
#include <msi.h>
#include <stdio.h>
#include <wchar.h>

typedef struct Watch {
    int cancel;
    long long resetTotal;
    long long added;
    long long ticks;
    long long upgradeAdded;
    long long upgradeTicks;
    int upgradeSteps;
    int inUpgrade;     /* between the deferred action's first line and the next action */
    int scheduled;     /* the immediate action's line came: its ProgressAddition follows */
    long long cancelledAt;
    int resets;
    int negative;      /* an increment below zero */
} Watch;

/* "1: 2 2: 1234 3: 0 4: 0 ": field n's integer, 0 when absent. */
static long long Field(const wchar_t *text, int n)
{
    wchar_t key[8];
    swprintf(key, 8, L"%d: ", n);
    const wchar_t *at = text;
    size_t keyLength = wcslen(key);
    while ((at = wcsstr(at, key)) != NULL) {
        if (at == text || at[-1] == L' ')
            return _wtoi64(at + keyLength);
        at += keyLength;
    }
    return 0;
}

static int WINAPI Handler(LPVOID context, UINT type, LPCWSTR message)
{
    Watch *watch = (Watch *)context;
    UINT kind = type & 0xFF000000u;
    if (message == NULL)
        return 0;
    switch (kind) {
    case INSTALLMESSAGE_ACTIONSTART:
        watch->inUpgrade = 0;
        wprintf(L"action %ls\n", message);
        return 0;
    case INSTALLMESSAGE_INFO:
        if (wcsstr(message, L"Ledgerwick upgrade: scheduled from") != NULL)
            watch->scheduled = 1;
        if (wcsstr(message, L"Ledgerwick upgrade: running from") != NULL)
            watch->inUpgrade = 1;
        if (wcsstr(message, L"Ledgerwick upgrade") != NULL)
            wprintf(L"info %ls\n", message);
        /* 0: the installer goes on to log it; Wine writes a message to the
         * verbose log only when the external handler answered 0. */
        return 0;
    case INSTALLMESSAGE_PROGRESS: {
        long long field1 = Field(message, 1), field2 = Field(message, 2);
        switch (field1) {
        case 0:
            watch->resetTotal = field2;
            watch->ticks = 0;
            watch->resets++;
            wprintf(L"progress reset %ls\n", message);
            break;
        case 2:
            if (field2 < 0)
                watch->negative = 1;
            watch->ticks += field2;
            if (!watch->inUpgrade) {
                wprintf(L"installer tick %ls\n", message);
            } else {
                watch->upgradeTicks += field2;
                if (field2 > 0) {
                    watch->upgradeSteps++;
                    wprintf(L"upgrade tick +%lld = %lld\n", field2, watch->upgradeTicks);
                }
                /* Past half, with ticks still to come: the answer lands while
                 * files are being carried, not before the first or after the
                 * last. */
                if (watch->cancel && watch->cancelledAt < 0 && watch->upgradeAdded > 0 &&
                    watch->upgradeTicks * 2 > watch->upgradeAdded && watch->upgradeTicks < watch->upgradeAdded) {
                    watch->cancelledAt = watch->upgradeTicks;
                    wprintf(L"answering IDCANCEL at %lld upgrade ticks\n", watch->upgradeTicks);
                    return IDCANCEL;
                }
            }
            break;
        case 3:
            watch->added += field2;
            if (watch->scheduled && watch->upgradeAdded == 0)
                watch->upgradeAdded = field2;
            wprintf(L"progress add %ls\n", message);
            break;
        default:
            break;
        }
        return IDOK;
    }
    default:
        return 0;
    }
}

int wmain(int argc, wchar_t **argv);
int wmain(int argc, wchar_t **argv)
{
    if (argc != 5 || (wcscmp(argv[1], L"progress") != 0 && wcscmp(argv[1], L"cancel") != 0)) {
        fwprintf(stderr, L"usage: ui_watcher <progress|cancel> <package.msi> <verbose log> <properties>\n");
        return 2;
    }
    Watch watch;
    memset(&watch, 0, sizeof watch);
    watch.cancel = wcscmp(argv[1], L"cancel") == 0;
    watch.cancelledAt = -1;

    MsiSetInternalUI(INSTALLUILEVEL_NONE, NULL);
    MsiSetExternalUIW(Handler,
                      INSTALLLOGMODE_PROGRESS | INSTALLLOGMODE_ACTIONDATA | INSTALLLOGMODE_ACTIONSTART |
                          INSTALLLOGMODE_INFO | INSTALLLOGMODE_ERROR | INSTALLLOGMODE_FATALEXIT |
                          INSTALLLOGMODE_WARNING | INSTALLLOGMODE_USER,
                      &watch);
    UINT logged = MsiEnableLogW(INSTALLLOGMODE_VERBOSE | INSTALLLOGMODE_INFO | INSTALLLOGMODE_ERROR |
                                    INSTALLLOGMODE_WARNING | INSTALLLOGMODE_ACTIONSTART |
                                    INSTALLLOGMODE_ACTIONDATA | INSTALLLOGMODE_FATALEXIT,
                                argv[3], 0);
    if (logged != ERROR_SUCCESS)
        wprintf(L"MsiEnableLogW failed (%u)\n", logged);
    UINT status = MsiInstallProductW(argv[2], argv[4]);
    wprintf(L"status %u\nresets %d\nreset %lld\nadded %lld\nticks %lld\nupgrade_added %lld\n"
            L"upgrade_ticks %lld\nupgrade_steps %d\ncancelled_at %lld\nnegative %d\n",
            status, watch.resets, watch.resetTotal, watch.added, watch.ticks, watch.upgradeAdded,
            watch.upgradeTicks, watch.upgradeSteps, watch.cancelledAt, watch.negative);
    fflush(stdout);
    return 0;
}
