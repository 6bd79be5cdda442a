// Creating a chain of folders.
#include "files/files.h"

#include <string.h>

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
    if (PvMakeSureDirectoryPathExists(copy) != 1)
        return 0;
    return IsExistingFolder(copy) == -1 ? -1 : 0;
}
