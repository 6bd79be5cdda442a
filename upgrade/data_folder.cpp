// Where version 5 keeps the user's data: the folder the DatafilePath setting
// names, or "Ledgerwick Data" in the user's documents folder, stored then.
#include "upgrade/upgrade.h"
#include "log/log.h"
#include "settings/settings.h"
#include "upgrade/report.h"

#define DATA_FOLDER_SECTION "GetDefaultDataFilePath"
#define DEFAULT_DATA_FOLDER_NAME "Ledgerwick Data"

// A stored folder longer than a path buffer reads as missing at 260
// characters. Replacing it with the default would throw away the user's
// choice, so it is looked at again in full.
static int StoredFolderTooLong(void)
{
    char stored[SETTING_TEXT_CAPACITY];
    if (ReadSetting(SETTING_DATAFILE_PATH, stored, sizeof stored, "") <= 0)
        return 0;
    LogMessage(LOG_MODULE, DATA_FOLDER_SECTION, LOG_ERROR, "DataFilePath too long, left alone: %s", stored);
    return 1;
}

// The documents folder joined with the default name, stored as DatafilePath.
// 1 when path then holds it; 0 with path "".
static int MakeDefaultFolder(char *path)
{
    LogMessage(LOG_MODULE, DATA_FOLDER_SECTION, LOG_INFO, "Trying Special Folder Path PERSONAL");
    // Create: a user whose documents folder was never made still gets one.
    if (!PvSHGetSpecialFolderPath(OS_CSIDL_PERSONAL, path, 1) || path[0] == '\0') {
        path[0] = '\0';
        return 0;
    }
    if (!OsPathAppend(path, DEFAULT_DATA_FOLDER_NAME)) {
        // A shortened path would send the user's files to another folder.
        LogMessage(LOG_MODULE, DATA_FOLDER_SECTION, LOG_ERROR, "Path too long, left alone: %s\\%s",
                   path, DEFAULT_DATA_FOLDER_NAME);
        path[0] = '\0';
        return 0;
    }
    int saved = SaveSetting(SETTING_DATAFILE_PATH, path, 1, DATA_FOLDER_SECTION);
    LogMessage(LOG_MODULE, DATA_FOLDER_SECTION, LOG_INFO, "Found DataFilePath: %s", path);
    if (saved)
        LogMessage(LOG_MODULE, DATA_FOLDER_SECTION, LOG_INFO, "Saved to Registry");
    return 1;
}

int GetDefaultDataFilePath(char *path)
{
    if (path == nullptr)
        return 0;
    int made = 0;
    // The stored folder is taken as it is: the application created it, or
    // the user chose it, and the transfer makes it when files arrive.
    if (ReadPathSetting(SETTING_DATAFILE_PATH, path) > 0) {
        LogMessage(LOG_MODULE, DATA_FOLDER_SECTION, LOG_INFO, "Found DataFilePath: %s", path);
    } else if (StoredFolderTooLong()) {
        path[0] = '\0';
    } else {
        LogMessage(LOG_MODULE, DATA_FOLDER_SECTION, LOG_ERROR, "Not Found: DataFilePath");
        made = MakeDefaultFolder(path);
        if (!made)
            LogMessage(LOG_MODULE, DATA_FOLDER_SECTION, LOG_ERROR, "Not Found: DataFilePath");
    }
    LogMessage(LOG_MODULE, DATA_FOLDER_SECTION, LOG_INFO, "OK: %c", made ? 'Y' : 'N');
    return made;
}
