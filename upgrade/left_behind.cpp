// The user's files that stay in the old folder without any step having
// judged them: in a folder of the user's own below it, below a sub-folder
// the clean-up does not go down into, or of a kind carried only out of
// Backups and Letters. They travel with the folder to its " OLD" name. Each
// is reported as kept, so that the readme names it: a readme that lists no
// file tells the user the folder may be deleted.
#include "upgrade/upgrade.h"
#include "files/files.h"
#include "log/log.h"
#include "upgrade/report.h"

#include <string.h>

#define SECTION UPGRADE_SECTION

static const char kReason[] = "in a folder the upgrade carries no files from";

// A folder of the user's that the upgrade keeps as it is: the data folder
// or the last data file's folder, where they lie inside the old folder.
static int IsUsersFolder(const char *folder, const char *newDatafilePath, const char *keptFolder)
{
    return (HasText(newDatafilePath) && PathIsAtOrBelow(folder, newDatafilePath)) ||
           (HasText(keptFolder) && PathIsAtOrBelow(folder, keptFolder));
}

// A folder that may hold the user's files unseen is itself named as kept:
// nothing may read as if the old folder could go.
static void KeepUnseen(const char *folder, const char *reason)
{
    LogMessage(LOG_MODULE, SECTION, LOG_ERROR, "Not looked into (%s): %s", reason, folder);
    ReportDecision(REPORT_KEPT, folder, "", reason);
}

static void ReportLeftIn(const char *folder, int top, const char *newDatafilePath, const char *keptFolder)
{
    char pattern[OS_PATH_BUFFER];
    OsFindData entry;
    PvFind *find = nullptr;
    if (TextCopyPath(pattern, folder) && OsPathAppend(pattern, "*.*"))
        find = PvFindFirst(pattern, &entry);
    if (find == nullptr) {
        // Even an empty folder lists "." and "..".
        if (!top && !PvCancelled())
            KeepUnseen(folder, "could not be looked into");
        return;
    }
    int tooLong = 0;
    do {
        if (strcmp(entry.name, ".") == 0 || strcmp(entry.name, "..") == 0)
            continue;
        char path[OS_PATH_BUFFER];
        if (!TextCopyPath(path, folder) || !OsPathAppend(path, entry.name)) {
            tooLong = 1;
            continue;
        }
        if (entry.attributes & OS_FILE_ATTRIBUTE_DIRECTORY) {
            // A link leads out of the old installation; the user's folders
            // stay as they are and hold nothing left behind.
            if (!IsLinkedFolder(entry.attributes) &&
                !IsUsersFolder(path, newDatafilePath, keptFolder))
                ReportLeftIn(path, 0, newDatafilePath, keptFolder);
        } else if (IsUsersFileName(entry.name) && !(top && IsJudgedByTheTransfer(entry.name)) &&
                   !ReportTellsOfStaying(path)) {
            LogMessage(LOG_MODULE, SECTION, LOG_INFO, "Left in the old folder: %s", path);
            ReportDecision(REPORT_KEPT, path, "", kReason);
        }
    } while (!PvCancelled() && PvFindNext(find, &entry) == 0);
    PvFindClose(find);
    // At the top such a name is beyond every step; the log tells of it.
    if (tooLong && top)
        LogMessage(LOG_MODULE, SECTION, LOG_ERROR, "Path too long, not looked into: names in %s", folder);
    else if (tooLong)
        KeepUnseen(folder, "holds a name too long to look at");
}

void ReportUserFilesLeftBehind(const char *oldInstallPath, const char *newDatafilePath, const char *keptFolder)
{
    if (HasText(oldInstallPath) && TextFitsPath(oldInstallPath))
        ReportLeftIn(oldInstallPath, 1, newDatafilePath, keptFolder);
}
