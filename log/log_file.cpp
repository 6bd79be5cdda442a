// Where the diagnostic log lives, and its removal by the setup program.
#include "log/log.h"

#define LOG_FILE_NAME "LWInst.log"

int LogFilePath(char *path)
{
    if (path == 0)
        return 0;
    path[0] = '\0';
    // Never create the application-data folder just to look for a log.
    if (!OsSHGetSpecialFolderPath(OS_CSIDL_APPDATA, path, 0) || path[0] == '\0') {
        path[0] = '\0';
        return 0;
    }
    // A folder too deep to take the file name must not pass for the log's
    // path: DeleteLogFile would aim at the folder itself.
    if (!OsPathAppend(path, LOG_FILE_NAME)) {
        path[0] = '\0';
        return 0;
    }
    return 1;
}

int LEDGERWICK_UPGRADE_API DeleteLogFile(void)
{
    char path[OS_PATH_BUFFER];
    if (!LogFilePath(path))
        return 0;
    // Whatever EnableDebugLog holds: the setup program clears out an old log.
    return OsDeleteFile(path);
}
