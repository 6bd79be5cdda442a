// The upgrade export: runs the steps of the version-5 upgrade in their fixed
// order and traces every decision under the section "UpV5". No step's failure
// stops the run; the result is only the status of the last log line.
#include "upgrade/upgrade.h"

#include "files/files.h"
#include "log/log.h"
#include "settings/settings.h"

#define UPV5 "UpV5"

static const char kDefaultOldFolder[] = "C:\\Ledgerwick";
static const char kRenameSuffix[] = " OLD";

// Decides whether the last-opened data file lives in a custom folder: one
// other than the old installation folder, on a fixed or network drive.
// oldPath loses its trailing backslash here, as the rest of the run expects.
static int FindCustomFolder(char *oldPath, char *customPath)
{
    char lastLW[OS_MAX_PATH] = "";
    char tempPath[OS_MAX_PATH] = "";
    int customFolderUsed = 0;

    if (ReadSetting(SETTING_LAST_OPENED, lastLW, sizeof lastLW, "") <= 0) {
        LogMessage(LOG_MODULE, UPV5, LOG_ERROR, "Not Found: LastLW");
        return 0;
    }
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "Have found last LW");
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "LastLW: %s", lastLW);
    OsPathRemoveBackslash(oldPath);
    FolderOfPath(lastLW, tempPath);
    OsPathRemoveBackslash(tempPath);
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "OLDPath: %s", oldPath);
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "TempPath: %s", tempPath);
    if (TextCompareNoCase(oldPath, tempPath) != 0 && IsFixedOrNetworkPath(tempPath)) {
        customFolderUsed = 1;
        TextCopy(customPath, OS_MAX_PATH, tempPath);
    }
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "Compared OLDPath with TempPath, and found CustomFolderUsed: %c",
               customFolderUsed ? 'Y' : 'N');
    if (customFolderUsed)
        LogMessage(LOG_MODULE, UPV5, LOG_INFO, "CUSTOMPath: %s", customPath);
    return customFolderUsed;
}

// Carries the user's files into the data folder and repoints the settings
// that name them.
static void MoveUserFiles(const char *oldPath, const char *newPath, int customFolderUsed,
                          const char *customPath)
{
    char lastLW[OS_MAX_PATH] = "";

    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "NEWPath: %s", newPath);
    TransferUserFiles(oldPath, newPath);
    if (customFolderUsed) {
        LogMessage(LOG_MODULE, UPV5, LOG_INFO, "CustomFolderUsed, will update Data File Path");
        WriteSetting(SETTING_DATAFILE_PATH, customPath, 1);
        LogMessage(LOG_MODULE, UPV5, LOG_INFO, "Updated Data File Path: %s", customPath);
        LogMessage(LOG_MODULE, UPV5, LOG_INFO, "Saved To Registry");
        return;
    }
    LogMessage(LOG_MODULE, UPV5, LOG_INFO,
               "CustomFolderUsed not used, will check if we need to update registry settings");
    ReadSetting(SETTING_LAST_OPENED, lastLW, sizeof lastLW, "");
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "LastLW: %s", lastLW);
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "OLDPath: %s", oldPath);
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "NEWPath: %s", newPath);
    if (CheckIfDatafileMoved(lastLW, oldPath, newPath)) {
        LogMessage(LOG_MODULE, UPV5, LOG_INFO, "Datafile has been moved to new path, updating registry");
        WriteSetting(SETTING_LAST_OPENED, lastLW, 1);
    } else {
        LogMessage(LOG_MODULE, UPV5, LOG_INFO, "Datafile is already in correct path");
    }
}

// Removes the old folder when nothing is left in it, or else gives it the
// " OLD" name and leaves a readme there that says where the data went.
static void RetireOldFolder(char *oldPath, const char *newPath)
{
    char tempPath[OS_MAX_PATH];
    char source[OS_MAX_PATH];

    // The rename target is refused rather than cut: a shortened name could
    // land the user's files somewhere nobody would look for them.
    TextCopy(tempPath, sizeof tempPath, oldPath);
    OsPathRemoveBackslash(tempPath);
    if (!TextAppend(tempPath, sizeof tempPath, kRenameSuffix)) {
        LogMessage(LOG_MODULE, UPV5, LOG_ERROR, "Rename target too long, old folder left in place: %s", oldPath);
        return;
    }
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "TempPath: %s", tempPath);
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "OLDPath: %s", oldPath);
    if (OsRemoveDirectory(oldPath)) {
        LogMessage(LOG_MODULE, UPV5, LOG_INFO, "OLDPath empty, have removed, nothing to clean up");
        return;
    }
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "OLDPath not empty, am cleaning up");
    TextCopy(source, sizeof source, oldPath);
    OsPathRemoveBackslash(source);
    OsRename(source, tempPath);
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "Renamed OLDPath to TempPath");
    TextCopy(oldPath, OS_MAX_PATH, tempPath);
    WriteReadme(oldPath, newPath);
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "OLDPath: %s", oldPath);
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "NEWPath: %s", newPath);
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "Written Readme");
}

extern "C" int OS_STDCALL LedgerwickInstaller_UpgradeToVersion5(int previousVersion, const char *oldInstallPath)
{
    char oldPath[OS_MAX_PATH] = "";
    char newPath[OS_MAX_PATH] = "";
    char customPath[OS_MAX_PATH] = "";
    int customFolderUsed;

    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "----## Started ##----");
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "DLL Version:  1.00");
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "PreviousVersion: %d", previousVersion);
    if (previousVersion >= 5) {
        return LogMessage(LOG_MODULE, UPV5, LOG_INFO,
                          "PreviousVersion is greater than 5, no need to continue, we are exiting");
    }

    if (!HasText(oldInstallPath)) {
        TextCopy(oldPath, sizeof oldPath, kDefaultOldFolder);
        LogMessage(LOG_MODULE, UPV5, LOG_ERROR, "Not Found: OLD_InstallPath, using %s", oldPath);
    } else if (!TextCopyWhole(oldPath, sizeof oldPath, oldInstallPath)) {
        // Too long for any path buffer: the old folder is left alone, as if
        // it did not exist, rather than acted on under a shortened name.
        LogMessage(LOG_MODULE, UPV5, LOG_ERROR, "OLD_InstallPath too long, left alone: %.200s...", oldInstallPath);
    }
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "OLDPath: %s", oldPath);

    WriteIniSettingsToRegistry();
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "Written IniSettingsToReg");

    GetDefaultDataFilePath(newPath);
    LogMessage(LOG_MODULE, UPV5, LOG_INFO, "NEWPath: %s", HasText(newPath) ? newPath : "[NULL]");

    customFolderUsed = FindCustomFolder(oldPath, customPath);

    if (IsExistingFolder(oldPath) != -1) {
        LogMessage(LOG_MODULE, UPV5, LOG_INFO, "OLDPath Not Exist: %s", oldPath);
    } else {
        LogMessage(LOG_MODULE, UPV5, LOG_INFO, "OLDPath Exists: %s", oldPath);
        if (!HasText(newPath)) {
            // Nothing has left the old folder, so nothing in it may go: the
            // old program stays, the folder keeps its name and no readme
            // points at a data folder that does not exist.
            LogMessage(LOG_MODULE, UPV5, LOG_FATAL, "Not Found: NEWPath");
        } else {
            MoveUserFiles(oldPath, newPath, customFolderUsed, customPath);
            if (previousVersion > 0) {
                DeleteOldVersion(oldPath);
                LogMessage(LOG_MODULE, UPV5, LOG_INFO, "Deleted Old Version (OLDPath=%s)", oldPath);
                RemoveIcons();
                LogMessage(LOG_MODULE, UPV5, LOG_INFO, "Removed Old Icons");
            }
            RetireOldFolder(oldPath, newPath);
        }
    }

    ValidateLastLedgerwickOpenedInDatafileFolder();
    return LogMessage(LOG_MODULE, UPV5, LOG_INFO, "----## Finished ##----");
}
