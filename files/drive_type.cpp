// Whether a path lies on a drive that keeps its data: a local hard disk or a
// network share, as opposed to removable media.
#include "files/files.h"

int IsFixedOrNetworkPath(const char *path)
{
    if (path == nullptr)
        return 0;
    char root[OS_PATH_BUFFER];
    if (!TextCopyPath(root, path))
        return 0;
    // A relative path has no root, hence no drive to ask about.
    if (!OsPathStripToRoot(root))
        return 0;
    // PathStripToRoot leaves a share as \\server\share, while GetDriveType
    // wants the root with its trailing backslash.
    OsPathAddBackslash(root);
    unsigned type = OsGetDriveType(root);
    return type == OS_DRIVE_FIXED || type == OS_DRIVE_REMOTE;
}
