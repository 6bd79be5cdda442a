// The upgrade export: runs the steps of the version-5 upgrade in their fixed
// order and traces every decision under the section "UpV5". No step's failure
// stops the run; the result is only the status of the last log line.
#include "upgrade/upgrade.h"

#include "files/files.h"
#include "log/log.h"
#include "settings/settings.h"
#include "upgrade/report.h"

#define UPV5 UPGRADE_SECTION

static const char kDefaultOldFolder[] = "C:\\Ledgerwick";
static const char kRenameSuffix[] = " OLD";

// Decides whether the last-opened data file lives in a custom folder: one
// other than the old installation folder, on a fixed or network drive.
// customPath (OS_PATH_BUFFER) is that folder, or "" when there is none: the
// one place the decision is kept for the rest of the run.
static void FindCustomFolder(const char *oldPath, char *customPath)
{
    char lastLW[OS_PATH_BUFFER] = "";
    char tempPath[OS_PATH_BUFFER] = "";

    customPath[0] = '\0';
    if (ReadPathSetting(SETTING_LAST_OPENED, lastLW) <= 0) {
        LogMessage(LOG_MODULE, UPV5, LOG_ERROR, "Not Found: LastLW");
        return;
    }
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "Have found last LW");
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "LastLW: %s", lastLW);
    FolderOfPath(lastLW, tempPath);
    OsPathRemoveBackslash(tempPath);
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "OLDPath: %s", oldPath);
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "TempPath: %s", tempPath);
    if (!SamePath(oldPath, tempPath) && IsFixedOrNetworkPath(tempPath))
        TextCopy(customPath, OS_PATH_BUFFER, tempPath);
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "Compared OLDPath with TempPath, and found CustomFolderUsed: %c",
               HasText(customPath) ? 'Y' : 'N');
    if (HasText(customPath))
        LogMessage(LOG_MODULE, UPV5, LOG_INFO, "CUSTOMPath: %s", customPath);
}

static void StoreCustomFolder(const char *customPath)
{
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "CustomFolderUsed, will update Data File Path");
    if (!SaveSetting(SETTING_DATAFILE_PATH, customPath, 1, UPV5))
        return;
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "Updated Data File Path: %s", customPath);
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "Saved To Registry");
}

// Carries the user's files into the data folder and repoints the settings
// that name them: a custom folder (customPath, "" for none) becomes the data
// folder setting, else the last data file follows its carried copy.
static void MoveUserFiles(const char *oldPath, const char *newPath, const char *customPath)
{
    char lastLW[OS_PATH_BUFFER] = "";

    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "NEWPath: %s", newPath);
    TransferUserFiles(oldPath, newPath);
    if (HasText(customPath)) {
        StoreCustomFolder(customPath);
        return;
    }
    LogMessage(LOG_MODULE, UPV5, LOG_INFO,
               "CustomFolderUsed not used, will check if we need to update registry settings");
    ReadPathSetting(SETTING_LAST_OPENED, lastLW);
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "LastLW: %s", lastLW);
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "OLDPath: %s", oldPath);
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "NEWPath: %s", newPath);
    if (CheckIfDatafileMoved(lastLW, oldPath, newPath)) {
        LogMessage(LOG_MODULE, UPV5, LOG_INFO, "Datafile has been moved to new path, updating registry");
        SaveSetting(SETTING_LAST_OPENED, lastLW, 1, UPV5);
    } else {
        LogMessage(LOG_MODULE, UPV5, LOG_INFO, "Datafile is already in correct path");
    }
}

// The old folder's n-th retired name: its path and " OLD", then " OLD 2",
// " OLD 3", ... 0 when it does not fit a path.
static int RetiredName(const char *oldPath, int n, char *target)
{
    int fits = n == 1 ? TextFormat(target, OS_PATH_BUFFER, "%s%s", oldPath, kRenameSuffix)
                      : TextFormat(target, OS_PATH_BUFFER, "%s%s %d", oldPath, kRenameSuffix, n);
    return fits && TextFitsPath(target);
}

// The rename target: the first retired name that is free, where earlier runs
// left folders of the others. 0 when none fits a path; a shortened name could
// land the user's files somewhere nobody would look for them.
static int RenameTarget(const char *oldPath, char *target)
{
    for (int n = 1; n < 100; n++) {
        if (!RetiredName(oldPath, n, target))
            return 0;
        if (PvGetFileAttributes(target) == OS_INVALID_FILE_ATTRIBUTES)
            return 1;
    }
    return 0;
}

// Removes the old folder when nothing is left in it, or else gives it the
// " OLD" name and leaves a readme there that says where the data went. A
// folder that holds the data folder or the last data file stays where it is:
// the settings name a place inside it. finalPath (OS_PATH_BUFFER) is the
// folder's name after the step: its " OLD" name once renamed, else oldPath.
static void RetireOldFolder(const char *oldPath, const char *newPath, int holdsUsersFolder, char *finalPath)
{
    char tempPath[OS_PATH_BUFFER];

    TextCopy(finalPath, OS_PATH_BUFFER, oldPath);
    if (holdsUsersFolder) {
        // No readme either: it would tell the user the folder may go.
        LogMessage(LOG_MODULE, UPV5, LOG_ERROR,
                   "OLDPath holds the data folder or the last data file, left in place: %s", oldPath);
        ReportDecision(REPORT_KEPT, oldPath, "", "holds the data folder or the last data file");
        return;
    }
    if (!RenameTarget(oldPath, tempPath)) {
        LogMessage(LOG_MODULE, UPV5, LOG_ERROR, "Rename target too long, old folder left in place: %s", oldPath);
        ReportDecision(REPORT_KEPT, oldPath, "", "no room for the \" OLD\" name");
        return;
    }
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "TempPath: %s", tempPath);
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "OLDPath: %s", oldPath);
    if (PvRemoveDirectory(oldPath)) {
        LogMessage(LOG_MODULE, UPV5, LOG_INFO, "OLDPath empty, have removed, nothing to clean up");
        ReportDecision(REPORT_DELETED, oldPath, "", nullptr);
        return;
    }
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "OLDPath not empty, am cleaning up");
    if (RetryWhileInUse(RETRY_RENAME, oldPath, tempPath, UPV5)) {
        LogMessage(LOG_MODULE, UPV5, LOG_INFO, "Renamed OLDPath to TempPath");
        ReportDecision(REPORT_RENAMED, oldPath, tempPath, nullptr);
        TextCopy(finalPath, OS_PATH_BUFFER, tempPath);
    } else {
        char reason[40];
        TextFormat(reason, sizeof reason, "not renamed, Windows error %lu", OsGetLastError());
        ReportDecision(REPORT_FAILED, oldPath, tempPath, reason);
        // The readme then goes into the folder where it is, never into an
        // older " OLD" folder that happens to bear the target's name.
        LogMessage(LOG_MODULE, UPV5, LOG_ERROR, "Not Renamed: OLDPath to TempPath (%s)", tempPath);
    }
    WriteReadme(finalPath, newPath, oldPath);
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "OLDPath: %s", finalPath);
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "NEWPath: %s", newPath);
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "Written Readme");
}

// A last data file that could not be carried stays in the old folder; the
// setting follows it to the folder's final name, so the application opens
// the user's latest data rather than nothing. Gives 1 with keptFile set.
static int FollowKeptDataFile(const char *oldPath, const char *finalPath, const char *newPath, char *keptFile)
{
    char lastLW[OS_PATH_BUFFER];
    char folder[OS_PATH_BUFFER];
    char name[OS_PATH_BUFFER];
    if (ReadPathSetting(SETTING_LAST_OPENED, lastLW) <= 0 || !FolderOfPath(lastLW, folder) ||
        !FileNameOfPath(lastLW, name, 1))
        return 0;
    if (!SamePath(folder, oldPath) && !SamePath(folder, finalPath))
        return 0;
    if (!TextCopyPath(keptFile, finalPath) || !OsPathAppend(keptFile, name) ||
        IsExistingFile(keptFile) != 1)
        return 0;
    // Carried after all (only its ".OLD" name was taken): the copy in the
    // data folder is the user's data, and the setting names it there, where
    // the final check leaves it.
    char copy[OS_PATH_BUFFER];
    if (TextCopyPath(copy, newPath) && OsPathAppend(copy, name) && IsIdenticalCopy(keptFile, copy)) {
        if (!SamePath(copy, lastLW)) {
            LogMessage(LOG_MODULE, UPV5, LOG_INFO, "LastLW carried, its .OLD name taken: %s", copy);
            SaveSetting(SETTING_LAST_OPENED, copy, 1, UPV5);
        }
        return 0;
    }
    if (!SamePath(keptFile, lastLW)) {
        LogMessage(LOG_MODULE, UPV5, LOG_ERROR, "LastLW not carried, kept in old folder: %s", keptFile);
        SaveSetting(SETTING_LAST_OPENED, keptFile, 1, UPV5);
    }
    return 1;
}

// A run that finds the old folder gone, because it took its " OLD" name (the
// setup run again, or run on after a stop or a power cut): the last data file
// the setting names in a retired folder, or in the old folder itself where the
// run that retired it was cut off before the setting followed, is followed as
// that run would have. Gives 1 with keptFile set when it stays there.
static int FollowIntoRetiredFolder(const char *oldPath, const char *newPath, char *keptFile)
{
    char lastLW[OS_PATH_BUFFER];
    char folder[OS_PATH_BUFFER];
    char name[OS_PATH_BUFFER];
    if (!HasText(oldPath) || ReadPathSetting(SETTING_LAST_OPENED, lastLW) <= 0 || !FolderOfPath(lastLW, folder) ||
        !FileNameOfPath(lastLW, name, 1))
        return 0;
    OsPathRemoveBackslash(folder);
    if (HasText(newPath) && SamePath(folder, newPath))
        return 0;
    int inOldFolder = SamePath(folder, oldPath);
    // A rename takes the first free name, so any of them may be there, and
    // which one is the newest no name tells. The old folder's file is
    // followed only where one retired folder alone holds its name.
    char retired[OS_PATH_BUFFER];
    char holder[OS_PATH_BUFFER] = "";
    int holders = 0;
    for (int n = 1; n < 100 && RetiredName(oldPath, n, retired); n++) {
        if (IsExistingFolder(retired) != -1)
            continue;
        if (!inOldFolder) {
            if (SamePath(folder, retired))
                return FollowKeptDataFile(oldPath, retired, newPath, keptFile);
            continue;
        }
        char candidate[OS_PATH_BUFFER];
        if (TextCopyPath(candidate, retired) && OsPathAppend(candidate, name) && IsExistingFile(candidate) == 1) {
            holders++;
            TextCopy(holder, sizeof holder, retired);
        }
    }
    if (holders == 1)
        return FollowKeptDataFile(oldPath, holder, newPath, keptFile);
    if (holders > 1)
        LogMessage(LOG_MODULE, UPV5, LOG_ERROR, "LastLW in more than one retired folder, not followed: %s", lastLW);
    return 0;
}

// The caller's old folder in its canonical form ("C:/x", "C:\x\.", "C:\a\..\x"
// act on "C:\x"), the caller's spelling kept where only letter case differs.
static void CanonicalOldFolder(char *oldPath)
{
    char full[OS_PATH_BUFFER];
    if (IsFullPath(oldPath) && OsGetFullPathName(oldPath, full) && !OsNamesEqualNoCase(full, oldPath))
        TextCopy(oldPath, OS_PATH_BUFFER, full);
}

// The old folder into oldPath (OS_PATH_BUFFER), settled once before any step
// sees it: the caller's folder, or the default, in its canonical form and
// without a trailing backslash, so that the log, the report and the readme
// name it one way whichever steps run. "" when the caller's text names no
// folder the run may act on: the old folder is then left alone.
static void SettleOldFolder(const char *oldInstallPath, int unreadable, char *oldPath)
{
    oldPath[0] = '\0';
    if (unreadable) {
        // Not text at all (a broken UTF-16 name): no folder can be meant.
        LogMessage(LOG_MODULE, UPV5, LOG_ERROR, "OLD_InstallPath not valid text, left alone");
        return;
    }
    if (!HasText(oldInstallPath)) {
        TextCopy(oldPath, OS_PATH_BUFFER, kDefaultOldFolder);
        LogMessage(LOG_MODULE, UPV5, LOG_ERROR, "Not Found: OLD_InstallPath, using %s", oldPath);
    } else if (!TextCopyPath(oldPath, oldInstallPath)) {
        // Too long for any path buffer: the old folder is left alone, as if
        // it did not exist, rather than acted on under a shortened name.
        LogMessage(LOG_MODULE, UPV5, LOG_ERROR, "OLD_InstallPath too long, left alone: %.200s...", oldInstallPath);
        return;
    }
    // The canonical form is made within a path's bound: the fit holds.
    CanonicalOldFolder(oldPath);
    // A root keeps its backslash, which PathRemoveBackslash keeps on "C:\"
    // only: "\\?\C:" is the volume, no folder, and would read as missing.
    if (!IsRootFolder(oldPath))
        OsPathRemoveBackslash(oldPath);
}

// The end of a run the caller stopped: nothing more is done, and the log
// says so; the report tells the folders as they stand.
static int Cancelled(const char *newPath, const char *oldFolderNow)
{
    ReportFolders(newPath, oldFolderNow);
    LogMessage(LOG_MODULE, UPV5, LOG_ERROR, "Cancelled by the setup, the rest is left to the next run");
    return LogMessage(LOG_MODULE, UPV5, LOG_INFO, "----## Finished ##----");
}

// Carries the user's files and retires the old folder, step by step. A stop
// the caller asked for ends it between steps: what is done stays done, and
// the next run carries on from there, as after a power cut.
static void UpgradeOldFolder(int previousVersion, const char *oldPath, const char *newPath, const char *customPath,
                             int dataFolderExisted, char *finalPath, char *keptFile, int *keepLastLW)
{
    MoveUserFiles(oldPath, newPath, customPath);
    if (PvCancelled())
        return;
    // The data folder comes into being with the first file carried.
    if (!dataFolderExisted)
        PvRemoveDirectory(newPath);
    int holdsUsersFolder = PathIsAtOrBelow(newPath, oldPath) ||
                           (HasText(customPath) && PathIsAtOrBelow(customPath, oldPath));
    if (previousVersion > 0) {
        DeleteOldVersion(oldPath, newPath, customPath);
        LogMessage(LOG_MODULE, UPV5, LOG_INFO, "Deleted Old Version (OLDPath=%s)", oldPath);
        if (PvCancelled())
            return;
        RemoveIcons();
        LogMessage(LOG_MODULE, UPV5, LOG_INFO, "Removed Old Icons");
        if (PvCancelled())
            return;
    }
    ReportUserFilesLeftBehind(oldPath, newPath, customPath);
    if (PvCancelled())
        return;
    // Once the old folder has its new name, the readme in it and the setting
    // that follows a data file kept there go with it: a stop asked meanwhile
    // waits for them. A later run finds no old folder, and would know of
    // neither.
    PvHoldStop();
    RetireOldFolder(oldPath, newPath, holdsUsersFolder, finalPath);
    *keepLastLW = FollowKeptDataFile(oldPath, finalPath, newPath, keptFile);
    PvReleaseStop();
}

// The upgrade's steps; gives the status of the last log line. The old folder
// is settled once here and read, never changed, by every step after.
static int RunUpgrade(int previousVersion, const char *oldInstallPath, int unreadable)
{
    char oldPath[OS_PATH_BUFFER] = "";
    char newPath[OS_PATH_BUFFER] = "";
    char customPath[OS_PATH_BUFFER] = "";
    char finalPath[OS_PATH_BUFFER] = "";
    char keptFile[OS_PATH_BUFFER] = "";
    int keepLastLW = 0;

    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "----## Started ##----");
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "DLL Version:  1.00");
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "PreviousVersion: %d", previousVersion);
    if (previousVersion >= 5) {
        ReportNothingToDo();
        return LogMessage(LOG_MODULE, UPV5, LOG_INFO,
                          "PreviousVersion is greater than 5, no need to continue, we are exiting");
    }

    SettleOldFolder(oldInstallPath, unreadable, oldPath);
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "OLDPath: %s", oldPath);

    WriteIniSettingsToRegistry();
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "Written IniSettingsToReg");
    if (PvCancelled())
        return Cancelled(newPath, oldPath);

    GetDefaultDataFilePath(newPath);
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "NEWPath: %s", HasText(newPath) ? newPath : "[NULL]");
    if (PvCancelled())
        return Cancelled(newPath, oldPath);

    FindCustomFolder(oldPath, customPath);

    // The old folder under its name at the end of the run, for the summary.
    const char *oldFolderNow = oldPath;
    const char *refusal = nullptr;
    if (IsExistingFolder(oldPath) != -1) {
        // Nothing was carried, so no setting follows the files: a folder
        // stored here from the last data file's place could be the old
        // program's own folder, or one that no longer exists.
        LogMessage(LOG_MODULE, UPV5, LOG_INFO, "OLDPath Not Exist: %s", oldPath);
        ReportNothingToDo();
        keepLastLW = FollowIntoRetiredFolder(oldPath, newPath, keptFile);
    } else if (LogMessage(LOG_MODULE, UPV5, LOG_INFO, "OLDPath Exists: %s", oldPath),
               (refusal = OldFolderRefusal(oldPath, newPath)) != nullptr) {
        // Not an installation folder the upgrade may touch: the settings are
        // carried, the files stay exactly as they are.
        LogMessage(LOG_MODULE, UPV5, LOG_FATAL, "OLDPath left alone (%s), nothing copied, deleted or renamed: %s",
                   refusal, oldPath);
        ReportDecision(REPORT_KEPT, oldPath, "", refusal);
        ReportFailure();
    } else {
        int dataFolderExisted = IsExistingFolder(newPath) == -1;
        if (!HasText(newPath) || !DataFolderUsable(newPath)) {
            // Nothing has left the old folder, so nothing in it may go: the
            // old program stays, the folder keeps its name and no readme
            // points at a data folder that does not exist.
            LogMessage(LOG_MODULE, UPV5, LOG_FATAL, "Not Found: NEWPath");
            ReportDecision(REPORT_KEPT, oldPath, "", "no data folder to carry the files to");
            ReportFailure();
        } else {
            UpgradeOldFolder(previousVersion, oldPath, newPath, customPath, dataFolderExisted, finalPath, keptFile,
                             &keepLastLW);
            if (HasText(finalPath))
                oldFolderNow = finalPath;
        }
    }

    if (PvCancelled())
        return Cancelled(newPath, oldFolderNow);
    ReportFolders(newPath, oldFolderNow);
    ValidateLastLedgerwickOpenedInDatafileFolder(keepLastLW ? keptFile : nullptr);
    return LogMessage(LOG_MODULE, UPV5, LOG_INFO, "----## Finished ##----");
}

int UpgradeToVersion5Utf8(int previousVersion, const char *oldInstallPath, int unreadable)
{
    // One upgrade settles the log once: the switch a setup set just before
    // the call holds for all of it.
    LogCall logCall;
    LogCallBegin(&logCall);
    // Without a report file too the run keeps track of what stays in the
    // old folder: the readme tells the user, who gets no mask.
    int ownReport = !ReportIsOpen() && ReportOpen("") == 0;
    int status = RunUpgrade(previousVersion, oldInstallPath, unreadable);
    if (ownReport)
        ReportClose();
    return LogCallEnd(&logCall, status);
}

int LEDGERWICK_UPGRADE_API LedgerwickInstaller_UpgradeToVersion5(int previousVersion, const char *oldInstallPath)
{
    int bad;
    char *oldPath = TextFromAnsiArgument(oldInstallPath, &bad);
    int status = UpgradeToVersion5Utf8(previousVersion, oldPath, bad);
    OsFree(oldPath);
    return status;
}

int LEDGERWICK_UPGRADE_API LedgerwickInstaller_UpgradeToVersion5W(int previousVersion, const wchar_t *oldInstallPath)
{
    int bad;
    char *oldPath = TextFromWideArgument(oldInstallPath, &bad);
    int status = UpgradeToVersion5Utf8(previousVersion, oldPath, bad);
    OsFree(oldPath);
    return status;
}
