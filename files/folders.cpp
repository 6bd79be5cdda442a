// Creating a chain of folders.
#include "files/files.h"
#include "upgrade/report.h"

#include <string.h>

// Where MakeSureDirectoryPathExists starts making folders: after the root
// ("C:\", "C:", "\\server\share\"); the folders of a root are never made.
static size_t RootLength(const char *path)
{
    if (path[0] != '\0' && path[1] == ':')
        return path[2] == '\\' ? 3 : 2;
    if (path[0] == '\\' && path[1] == '\\') {
        int slashes = 0;
        size_t i = 2;
        for (; path[i] != '\0'; i++)
            if (path[i] == '\\' && ++slashes == 2)
                return i + 1;
        return i;
    }
    return 0;
}

// The preview makes the folders as MakeSureDirectoryPathExists does: one
// CreateDirectory for each prefix that ends in a backslash. A forward slash
// splits nothing here; CreateDirectory reads it, and then the folder above
// it must already be there, as for any folder it makes.
static int PlanFoldersMade(char *path)
{
    for (size_t i = RootLength(path); path[i] != '\0'; i++) {
        if (path[i] != '\\' || i == 0 || path[i - 1] == '\\')
            continue;
        path[i] = '\0';
        int planned = PlanFolderMade(path);
        path[i] = '\\';
        if (!planned)
            return 0;
    }
    return 1;
}

int EnsureFolderExists(const char *path)
{
    // An empty path would ask for the root of the current drive; refuse it.
    if (!HasText(path))
        return 0;
    char copy[OS_PATH_BUFFER];
    if (!TextCopyPath(copy, path))
        return 0;
    size_t length = strlen(copy);
    // MakeSureDirectoryPathExists creates folders only up to the last
    // backslash, so the last folder needs one after it.
    if (copy[length - 1] != '\\' && !TextAppendPath(copy, "\\"))
        return 0;
    if (ReportPreviewing()) {
        if (!PlanFoldersMade(copy))
            return 0;
    } else if (OsMakeSureDirectoryPathExists(copy) != 1) {
        return 0;
    }
    return IsExistingFolder(copy) == -1 ? -1 : 0;
}
