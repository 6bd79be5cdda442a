// Removes the old version's program-menu group and desktop shortcuts, and
// finds the shell folders that hold them. Old setups installed for all users,
// so the all-users folders come first; the user's own are only a fall-back.
#include "upgrade/upgrade.h"
#include "log/log.h"
#include "upgrade/report.h"

#include <string.h>

#define SECTION "RemoveIcons"
#define PROGRAM_GROUP "Programs\\Ledgerwick Complete"

static const char *const GroupShortcuts[] = {
    "Ledgerwick Complete.lnk", "Ledgerwick Demo.lnk", "Help.lnk", "Make Installation Disks.lnk", "UnInstall.lnk",
};
static const char *const DesktopShortcuts[] = {"Ledgerwick Complete.lnk", "Ledgerwick Demo.lnk"};

#define COUNT_OF(table) ((int)(sizeof(table) / sizeof((table)[0])))

static void LogTooLong(const char *folder, const char *name)
{
    size_t length = strlen(folder);
    const char *separator = (length > 0 && folder[length - 1] == '\\') ? "" : "\\";
    LogMessage(LOG_MODULE, SECTION, LOG_ERROR, "Path too long, left alone: %s%s%s", folder, separator, name);
}

// The attempt is logged whatever its outcome, as the old uninstaller did. A
// path too long to hold the name is refused: cut short it would name another
// file.
static void DeleteShortcut(const char *folder, const char *name)
{
    char path[OS_PATH_BUFFER];
    if (!TextCopyPath(path, folder) || !OsPathAppend(path, name)) {
        LogTooLong(folder, name);
        return;
    }
    PvSetFileAttributes(path, OS_FILE_ATTRIBUTE_NORMAL);
    PvDeleteFile(path);
    LogMessage(LOG_MODULE, SECTION, LOG_INFO, "Deleted: %s", path);
}

int GetShellFolder(int csidl, char *path)
{
    if (path == 0)
        return 0;
    path[0] = '\0';
    OsSHGetFolderPathFromLocation(csidl, path);
    if (path[0] == '\0') {
        int fallback = -1;
        if (csidl == OS_CSIDL_COMMON_STARTMENU)
            fallback = OS_CSIDL_STARTMENU;
        else if (csidl == OS_CSIDL_COMMON_DESKTOPDIRECTORY)
            fallback = OS_CSIDL_DESKTOPDIRECTORY;
        if (fallback >= 0) {
            path[0] = '\0';
            OsSHGetFolderPathFromLocation(fallback, path);
        }
    }
    return path[0] != '\0';
}

int GetProgramMenuFolder(char *path)
{
    if (!GetShellFolder(OS_CSIDL_COMMON_STARTMENU, path))
        return 0;
    // Without the group's name the path would be the start menu itself, and
    // RemoveIcons would delete in it and try to remove it.
    if (!OsPathAppend(path, PROGRAM_GROUP)) {
        LogTooLong(path, PROGRAM_GROUP);
        path[0] = '\0';
        return 0;
    }
    return 1;
}

int GetDesktopFolder(char *path)
{
    return GetShellFolder(OS_CSIDL_COMMON_DESKTOPDIRECTORY, path);
}

void RemoveIcons(void)
{
    LogMessage(LOG_MODULE, SECTION, LOG_INFO, "----## Started ##----");

    char group[OS_PATH_BUFFER];
    if (GetProgramMenuFolder(group)) {
        LogMessage(LOG_MODULE, SECTION, LOG_INFO, "Found Start Menu Path: %s", group);
        for (int i = 0; i < COUNT_OF(GroupShortcuts); i++)
            DeleteShortcut(group, GroupShortcuts[i]);
        // Goes only when empty: a shortcut of the user's own keeps it.
        PvRemoveDirectory(group);
        LogMessage(LOG_MODULE, SECTION, LOG_INFO, "Deleted: %s", group);
    } else {
        LogMessage(LOG_MODULE, SECTION, LOG_ERROR, "Not Found Start Menu Path");
    }

    char desktop[OS_PATH_BUFFER];
    if (GetDesktopFolder(desktop)) {
        LogMessage(LOG_MODULE, SECTION, LOG_INFO, "Found Desktop Path: %s", desktop);
        for (int i = 0; i < COUNT_OF(DesktopShortcuts); i++)
            DeleteShortcut(desktop, DesktopShortcuts[i]);
    }
    // No closing line: the step has always ended here without one.
}
