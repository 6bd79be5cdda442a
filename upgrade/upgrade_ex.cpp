// The upgrade exports a setup calls when it wants to know what the upgrade
// did, or would do: the same run as LedgerwickInstaller_UpgradeToVersion5W,
// with a result mask and an optional report, or a preview that changes
// nothing; and the same again with progress and cancel.
#include "upgrade/upgrade.h"
#include "upgrade/report.h"

// One run of the upgrade with its report; the preview layer is set.
static int RunReported(int previousVersion, const char *oldPath, const char *report)
{
    int result = ReportOpen(report ? report : "");
    if (result != 0)
        return result;
    UpgradeToVersion5Utf8(previousVersion, oldPath, 0);
    return ReportClose();
}

// The one place that knows whether this is a preview: every step below
// reaches files and settings through the preview layer.
static int RunOnce(int previousVersion, const char *oldPath, unsigned flags, const char *report)
{
    if (!PreviewBegin((flags & UPGRADE_FLAG_PREVIEW) != 0))
        return UPGRADE_FAILED; // no room for a plan: nothing was run
    int result = RunReported(previousVersion, oldPath, report);
    PreviewEnd();
    return result;
}

// The caller's callback, and the item in its wide text.
typedef struct Watcher {
    LedgerwickProgressCallback callback;
    void *context;
    wchar_t item[OS_PATH_BUFFER];
} Watcher;

static int TellWatcher(void *context, unsigned long long done, unsigned long long total, const char *item)
{
    Watcher *watcher = (Watcher *)context;
    if (!OsUtf8ToWide(item, watcher->item, sizeof watcher->item / sizeof watcher->item[0]))
        watcher->item[0] = 0;
    return watcher->callback(watcher->context, done, total, watcher->item) != 0;
}

// Counts the work with a preview nobody sees, then runs as asked with the
// caller watching. A stop while counting has changed nothing: the report
// says so at once.
static int RunWatched(int previousVersion, const char *oldPath, unsigned flags, const char *report,
                      Watcher *watcher)
{
    if (!ProgressBegin(TellWatcher, watcher))
        return UPGRADE_FAILED;
    int result = RunOnce(previousVersion, oldPath, UPGRADE_FLAG_PREVIEW, nullptr);
    if (result >= 0 && PvCancelled()) {
        result = ReportOpen(report ? report : "");
        if (result == 0)
            result = ReportClose();
    } else if (result >= 0) {
        ProgressCounted();
        result = RunOnce(previousVersion, oldPath, flags, report);
    }
    ProgressEnd();
    return result;
}

static int Run(int previousVersion, const wchar_t *oldInstallPath, unsigned flags, const wchar_t *reportPath,
               Watcher *watcher)
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
    else if (watcher != nullptr)
        result = RunWatched(previousVersion, oldPath, flags, report, watcher);
    else
        result = RunOnce(previousVersion, oldPath, flags, report);
    OsFree(report);
    OsFree(oldPath);
    return result;
}

int LEDGERWICK_UPGRADE_API LedgerwickInstaller_UpgradeToVersion5ExW(int previousVersion, const wchar_t *oldInstallPath,
                                                                  unsigned flags, const wchar_t *reportPath)
{
    return Run(previousVersion, oldInstallPath, flags, reportPath, nullptr);
}

int LEDGERWICK_UPGRADE_API LedgerwickInstaller_UpgradeToVersion5ProgressW(int previousVersion,
                                                                        const wchar_t *oldInstallPath, unsigned flags,
                                                                        const wchar_t *reportPath,
                                                                        LedgerwickProgressCallback callback,
                                                                        void *context)
{
    if (callback == nullptr)
        return Run(previousVersion, oldInstallPath, flags, reportPath, nullptr);
    // Scratch memory, not the stack: a path of wide text is large.
    Watcher *watcher = (Watcher *)OsAlloc(sizeof(Watcher));
    if (watcher == nullptr)
        return UPGRADE_FAILED;
    watcher->callback = callback;
    watcher->context = context;
    int result = Run(previousVersion, oldInstallPath, flags, reportPath, watcher);
    OsFree(watcher);
    return result;
}
