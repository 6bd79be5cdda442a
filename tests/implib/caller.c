/* An integrator's program, linked against a shipped import library instead
 * of loading Upgrade.dll by name: it only links when the library names the
 * symbols the header makes a compiler ask for, and only starts when those
 * resolve to the DLL's exports. Every call is one that changes nothing. */
#include "LedgerwickUpgrade.h"

#include <stdio.h>

static int LEDGERWICK_UPGRADE_CALLBACK GoOn(void *context, unsigned long long done, unsigned long long total,
                                            const wchar_t *item)
{
    (void)done;
    (void)total;
    (void)item;
    ++*(int *)context;
    return 1;
}

int main(void)
{
    int running = LedgerwickInstaller_IsLedgerwickCompleteAlreadyRunning();
    LedgerwickInstaller_GetInstallerFilename("C:\\no such folder\\install.lst");
    LedgerwickInstaller_GetInstallerFilenameW(L"C:\\no such folder\\install.lst");
    int upgraded = LedgerwickInstaller_UpgradeToVersion5(5, NULL); /* 5: nothing to do */
    int mask = LedgerwickInstaller_UpgradeToVersion5ExW(5, NULL, 0, NULL);
    int upgradedW = LedgerwickInstaller_UpgradeToVersion5W(5, NULL);
    int calls = 0;
    int progressMask = LedgerwickInstaller_UpgradeToVersion5ProgressW(5, NULL, 0, NULL, GoOn, &calls);
    int deleted = DeleteLogFile();
    /* No installer session: the custom actions fail as an action fails. */
    unsigned prepared = LedgerwickInstaller_MsiPrepareUpgrade(0);
    unsigned deferred = LedgerwickInstaller_MsiUpgrade(0);
    printf("running %d, upgrade %d, upgrade W %d, upgrade mask %d, progress mask %d in %d calls, log deleted %d, "
           "MSI actions %u %u\n",
           running, upgraded, upgradedW, mask, progressMask, calls, deleted, prepared, deferred);
    return upgraded == 0 && upgradedW == 0 && mask == LEDGERWICK_UPGRADE_NOTHING_TO_DO &&
                   progressMask == LEDGERWICK_UPGRADE_NOTHING_TO_DO && calls > 0 && prepared == 1603 &&
                   deferred == 1603
               ? 0
               : 1;
}
