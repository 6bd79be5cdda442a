// The upgrade export a setup calls when it wants to know what the upgrade
// did, or would do: the same run as LedgerwickInstaller_UpgradeToVersion5W,
// with a result mask and an optional report, or a preview that changes
// nothing.
#include "upgrade/upgrade.h"
#include "upgrade/report.h"

int LEDGERWICK_UPGRADE_API LedgerwickInstaller_UpgradeToVersion5ExW(int previousVersion, const wchar_t *oldInstallPath,
                                                                  unsigned flags, const wchar_t *reportPath)
{
    if (flags & ~UPGRADE_FLAG_PREVIEW)
        return UPGRADE_BAD_FLAGS;
    int badReport, badOld;
    char *report = TextFromWideArgument(reportPath, &badReport);
    char *oldPath = TextFromWideArgument(oldInstallPath, &badOld);
    int result;
    if (badReport || (report != nullptr && !TextFitsPath(report)))
        result = UPGRADE_BAD_REPORT_PATH;
    else if (badOld || (oldPath != nullptr && !TextFitsPath(oldPath)))
        result = UPGRADE_BAD_OLD_PATH;
    else if (!PreviewBegin((flags & UPGRADE_FLAG_PREVIEW) != 0))
        result = UPGRADE_FAILED; // no room for a plan: nothing was run
    else {
        // The one place that knows whether this is a preview: every step
        // below reaches files and settings through the preview layer.
        if ((result = ReportOpen(report ? report : "")) == 0) {
            UpgradeToVersion5Utf8(previousVersion, oldPath, 0);
            result = ReportClose();
        }
        PreviewEnd();
    }
    OsFree(report);
    OsFree(oldPath);
    return result;
}
