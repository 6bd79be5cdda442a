// Path text through shlwapi.
#include "platform/platform.h"

#include <windows.h>
#include <shlwapi.h>
#include <string.h>

int OsPathAppend(char *path, const char *more)
{
    if (path == NULL || more == NULL)
        return 0;
    // PathAppendA empties the path when the join does not fit; work on a copy
    // so a refused join leaves the caller's path as it was.
    char joined[MAX_PATH];
    if (!TextCopyWhole(joined, sizeof joined, path))
        return 0;
    if (!PathAppendA(joined, more))
        return 0;
    return TextCopyWhole(path, OS_MAX_PATH, joined);
}

char *OsPathAddBackslash(char *path)
{
    if (path == NULL)
        return NULL;
    // PathAddBackslashA only refuses a path of MAX_PATH characters or more:
    // one of MAX_PATH - 1 gets its backslash and a terminator one byte past
    // the buffer. Refuse it here instead.
    size_t length = strnlen(path, OS_MAX_PATH);
    if (length >= OS_MAX_PATH)
        return NULL;
    if (length > 0 && path[length - 1] != '\\' && length + 2 > OS_MAX_PATH)
        return NULL;
    return PathAddBackslashA(path);
}

char *OsPathRemoveBackslash(char *path)
{
    if (path == NULL)
        return NULL;
    return PathRemoveBackslashA(path);
}

int OsPathMatchSpec(const char *file, const char *spec)
{
    if (file == NULL || spec == NULL)
        return 0;
    return PathMatchSpecA(file, spec) ? 1 : 0;
}

int OsPathStripToRoot(char *path)
{
    if (path == NULL)
        return 0;
    return PathStripToRootA(path) ? 1 : 0;
}
