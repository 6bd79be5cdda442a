/* An integrator's program, linked against a shipped import library instead
 * of loading Upgrade.dll by name: it only links when the library names the
 * symbols the header makes a compiler ask for, and only starts when those
 * resolve to the DLL's exports. Every call is one that changes nothing. */
#include "LedgerwickUpgrade.h"

#include <stdio.h>

int main(void)
{
    int running = LedgerwickInstaller_IsLedgerwickCompleteAlreadyRunning();
    LedgerwickInstaller_GetInstallerFilename("C:\\no such folder\\install.lst");
    LedgerwickInstaller_GetInstallerFilenameW(L"C:\\no such folder\\install.lst");
    int upgraded = LedgerwickInstaller_UpgradeToVersion5(5, NULL); /* 5: nothing to do */
    int mask = LedgerwickInstaller_UpgradeToVersion5ExW(5, NULL, 0, NULL);
    int progressMask = LedgerwickInstaller_UpgradeToVersion5ProgressW(5, NULL, 0, NULL, NULL, NULL);
    int upgradedW = LedgerwickInstaller_UpgradeToVersion5W(5, NULL);
    int deleted = DeleteLogFile();
    printf("running %d, upgrade %d, upgrade W %d, upgrade mask %d, progress mask %d, log deleted %d\n", running,
           upgraded, upgradedW, mask, progressMask, deleted);
    return upgraded == 0 && upgradedW == 0 && mask == LEDGERWICK_UPGRADE_NOTHING_TO_DO &&
                   progressMask == LEDGERWICK_UPGRADE_NOTHING_TO_DO
               ? 0
               : 1;
}
