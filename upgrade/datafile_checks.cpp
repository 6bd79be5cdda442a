// Keeps the last-opened-file setting true across the transfer: repoints it
// when its file was carried into the data folder, and clears it when it names
// a file outside the data folder.
#include "upgrade/upgrade.h"

#include "files/files.h"
#include "log/log.h"
#include "settings/settings.h"

#define MOVED_SECTION "CheckIfDatafileMoved"
#define VALIDATE_SECTION "ValidateLastLedgerwickOpenedInDatafileFolder"

static const char *OrNull(const char *text)
{
    return HasText(text) ? text : "[NULL]";
}

// Gives 1 when newFolder joined with the file name of oldFile fits a path;
// a shortened candidate could name a different file.
static int CandidateInNewFolder(const char *oldFile, const char *newFolder, char *candidate)
{
    char name[OS_PATH_BUFFER];
    FileNameOfPath(oldFile, name, 1);
    if (!TextCopyPath(candidate, newFolder))
        return 0;
    return OsPathAppend(candidate, name) != 0;
}

// Whether the file of that name in the data folder is the user's data file
// carried there, not a different file that happened to stand there: the
// transfer leaves the original under its ".OLD" name only beside an
// identical copy. Without an ".OLD" original (a setting that named a file
// long gone) there is nothing to tell them apart by.
static int IsTheCarriedCopy(const char *currentDatafile, const char *candidate)
{
    char original[OS_PATH_BUFFER];
    char name[OS_PATH_BUFFER];
    if (!FolderOfPath(currentDatafile, original) || !FileNameOfPath(currentDatafile, name, 0) ||
        !OsPathAppend(original, name) || !TextAppendPath(original, ".OLD"))
        return 1;
    if (IsExistingFile(original) != 1)
        return 1;
    return SameContents(original, candidate);
}

// The caller's old path stays as it was unless the file is found moved.
static int DatafileWasMoved(char *currentDatafile, const char *oldDatafilePath, const char *newDatafilePath)
{
    char datafilePath[OS_PATH_BUFFER];
    char temp[OS_PATH_BUFFER];
    if (!HasText(currentDatafile) || !FolderOfPath(currentDatafile, datafilePath))
        return 0;

    // Folders compare with one trailing backslash each. An old folder with no
    // room for it is refused rather than compared cut; a data file's folder
    // without that room can't equal any old folder that had it.
    if (!TextCopyPath(temp, oldDatafilePath) || OsPathAddBackslash(temp) == 0) {
        LogMessage(LOG_MODULE, MOVED_SECTION, LOG_ERROR, "Path too long: OLD_DatafilePath (%s)", oldDatafilePath);
        return 0;
    }
    OsPathAddBackslash(datafilePath);
    LogMessage(LOG_MODULE, MOVED_SECTION, LOG_INFO, "Temp: %s", temp);
    LogMessage(LOG_MODULE, MOVED_SECTION, LOG_INFO, "DatafilePath: %s", datafilePath);

    if (!SamePath(datafilePath, temp)) {
        LogMessage(LOG_MODULE, MOVED_SECTION, LOG_INFO,
                   "DatafilePath is not the same as Temp, datafile should have been left");
        return 0;
    }
    LogMessage(LOG_MODULE, MOVED_SECTION, LOG_INFO,
               "DatafilePath is same as Temp, datafile should have been moved to Ledgerwick Data");
    if (IsExistingFile(currentDatafile)) {
        LogMessage(LOG_MODULE, MOVED_SECTION, LOG_INFO, "File Exists: CURRENT_Datafile (%s)", currentDatafile);
        return 0;
    }
    LogMessage(LOG_MODULE, MOVED_SECTION, LOG_INFO, "File Not Exist: CURRENT_Datafile (%s)", currentDatafile);

    // Without a data folder the bare name would be looked up in whatever the
    // current folder happens to be.
    if (!HasText(newDatafilePath)) {
        LogMessage(LOG_MODULE, MOVED_SECTION, LOG_ERROR, "Not Found: NEW_DatafilePath");
        return 0;
    }
    if (!CandidateInNewFolder(currentDatafile, newDatafilePath, datafilePath)) {
        LogMessage(LOG_MODULE, MOVED_SECTION, LOG_ERROR, "Path too long: NEW_DatafilePath (%s)", newDatafilePath);
        return 0;
    }
    if (!IsExistingFile(datafilePath)) {
        LogMessage(LOG_MODULE, MOVED_SECTION, LOG_INFO, "File Not Exist: DatafilePath (%s)", datafilePath);
        return 0;
    }
    LogMessage(LOG_MODULE, MOVED_SECTION, LOG_INFO, "File Exists: DatafilePath (%s)", datafilePath);
    if (!IsTheCarriedCopy(currentDatafile, datafilePath)) {
        LogMessage(LOG_MODULE, MOVED_SECTION, LOG_ERROR,
                   "Not the same file: DatafilePath (%s) differs from the data file left as .OLD", datafilePath);
        return 0;
    }
    LogMessage(LOG_MODULE, MOVED_SECTION, LOG_INFO, "Has Moved to New Path");
    LogMessage(LOG_MODULE, MOVED_SECTION, LOG_INFO, "CURRENT_Datafile: %s", currentDatafile);
    LogMessage(LOG_MODULE, MOVED_SECTION, LOG_INFO, "DatafilePath: %s", datafilePath);
    return TextCopyPath(currentDatafile, datafilePath);
}

int CheckIfDatafileMoved(char *currentDatafile, const char *oldDatafilePath, const char *newDatafilePath)
{
    LogMessage(LOG_MODULE, MOVED_SECTION, LOG_INFO, "----## Started ##----");
    LogMessage(LOG_MODULE, MOVED_SECTION, LOG_INFO, "CURRENT_Datafile: %s", OrNull(currentDatafile));
    LogMessage(LOG_MODULE, MOVED_SECTION, LOG_INFO, "OLD_DatafilePath: %s", OrNull(oldDatafilePath));
    LogMessage(LOG_MODULE, MOVED_SECTION, LOG_INFO, "NEW_DatafilePath: %s", OrNull(newDatafilePath));

    int hasMovedToNewPath = DatafileWasMoved(currentDatafile, oldDatafilePath, newDatafilePath);

    LogMessage(LOG_MODULE, MOVED_SECTION, LOG_INFO, "HasMovedToNewPath: %c", hasMovedToNewPath ? 'Y' : 'N');
    LogMessage(LOG_MODULE, MOVED_SECTION, LOG_INFO, "----## Finished ##----");
    return hasMovedToNewPath;
}

void ValidateLastLedgerwickOpenedInDatafileFolder(const char *keptFile)
{
    char lastOpened[OS_PATH_BUFFER];
    if (ReadPathSetting(SETTING_LAST_OPENED, lastOpened) <= 0) {
        LogMessage(LOG_MODULE, VALIDATE_SECTION, LOG_INFO, "Unable to get LastLW");
        return;
    }
    if (HasText(keptFile) && SamePath(lastOpened, keptFile)) {
        LogMessage(LOG_MODULE, VALIDATE_SECTION, LOG_INFO, "LastLW kept where the upgrade left it: %s", lastOpened);
        return;
    }
    // A value without a usable folder leaves this empty, which never equals
    // the data folder: the setting is cleared.
    char lastOpenedFolder[OS_PATH_BUFFER];
    FolderOfPath(lastOpened, lastOpenedFolder);
    LogMessage(LOG_MODULE, VALIDATE_SECTION, LOG_INFO, "LastLW: %s", lastOpenedFolder);

    char datafileFolderPath[OS_PATH_BUFFER];
    if (ReadPathSetting(SETTING_DATAFILE_PATH, datafileFolderPath) <= 0) {
        LogMessage(LOG_MODULE, VALIDATE_SECTION, LOG_INFO, "Unable to get DatafileFolderPath");
        return;
    }
    LogMessage(LOG_MODULE, VALIDATE_SECTION, LOG_INFO, "DatafileFolderPath: %s", datafileFolderPath);

    // A folder of 259 characters has no room for the backslash and is
    // compared as it stands; only the setting, never a file, follows from it.
    OsPathAddBackslash(lastOpenedFolder);
    OsPathAddBackslash(datafileFolderPath);
    LogMessage(LOG_MODULE, VALIDATE_SECTION, LOG_INFO, "Testing %s = %s ?", lastOpenedFolder, datafileFolderPath);

    if (!SamePath(lastOpenedFolder, datafileFolderPath)) {
        LogMessage(LOG_MODULE, VALIDATE_SECTION, LOG_INFO,
                   "Paths are not the same, Setting LastLedgerwickOpenedInDataFolder = ''");
        SaveSetting(SETTING_LAST_OPENED, "", 1, VALIDATE_SECTION);
        return;
    }
    LogMessage(LOG_MODULE, VALIDATE_SECTION, LOG_INFO, "Paths are the same");
}
