/* A setup written in C that shows the upgrade's progress: one line per
 * callback, "done total item", then the result mask. Linked against the
 * import library (-lUpgrade, or Upgrade.lib), with Upgrade.dll beside it.
 *
 *   progress.exe [old folder]      (default C:\Ledgerwick)
 *
 * A real setup would move its progress bar to done / total and show item;
 * while total is 0 it shows the bar as busy, since the work is being counted
 * and nothing has changed yet. */
#include "LedgerwickUpgrade.h"

#include <stdio.h>
#include <stdlib.h>

static int LEDGERWICK_UPGRADE_CALLBACK show_progress(void *context, unsigned long long done,
                                                     unsigned long long total, const wchar_t *item)
{
    unsigned *calls = (unsigned *)context;
    ++*calls;
    /* Unsigned long long through msvcrt's printf needs its own length
     * modifier; whole numbers of units below 2^53 fit a double exactly. */
    printf("%.0f %.0f %ls\n", (double)done, (double)total, item ? item : L"");
    fflush(stdout);
    return 1; /* 0 would stop the upgrade after the operation in hand */
}

int main(int argc, char **argv)
{
    wchar_t old_folder[260] = L"";
    if (argc > 1 && mbstowcs(old_folder, argv[1], 259) == (size_t)-1)
        return 2;
    unsigned calls = 0;
    int result = LedgerwickInstaller_UpgradeToVersion5ProgressW(4, old_folder, 0, NULL, show_progress, &calls);
    printf("result %d after %u calls\n", result, calls);
    if (result < 0)
        return 2; /* a bad argument: nothing changed */
    if (result & LEDGERWICK_UPGRADE_CANCELLED)
        return 1;
    return (result & LEDGERWICK_UPGRADE_FAILED) ? 1 : 0;
}
