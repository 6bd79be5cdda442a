// The upgrade export a setup calls when it wants to know what the upgrade
// did, or would do: the same run as LedgerwickInstaller_UpgradeToVersion5,
// with a result mask and an optional report, or a preview that changes
// nothing.
#include "upgrade/upgrade.h"
#include "upgrade/report.h"

// UTF-8 needs up to three bytes for each UTF-16 unit of a path.
#define WIDE_PATH_CAPACITY (3 * OS_MAX_PATH)

extern "C" int OS_STDCALL LedgerwickInstaller_UpgradeToVersion5ExW(int previousVersion, const wchar_t *oldInstallPath,
                                                                  unsigned flags, const wchar_t *reportPath)
{
    // The library's file calls still take the ANSI code page, so a path
    // beyond it works fully only once they are wide; the text handed on is
    // UTF-8 already.
    char oldPath[WIDE_PATH_CAPACITY];
    char report[WIDE_PATH_CAPACITY];
    if (flags & ~UPGRADE_FLAG_PREVIEW)
        return UPGRADE_BAD_FLAGS;
    if (!OsWideToUtf8(reportPath, report, sizeof report))
        return UPGRADE_BAD_REPORT_PATH;
    if (!OsWideToUtf8(oldInstallPath, oldPath, sizeof oldPath))
        return UPGRADE_BAD_OLD_PATH;
    int opened = ReportOpen(flags, report);
    if (opened != 0)
        return opened;
    LedgerwickInstaller_UpgradeToVersion5(previousVersion, oldInstallPath ? oldPath : nullptr);
    return ReportClose();
}
