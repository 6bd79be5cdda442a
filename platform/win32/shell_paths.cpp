// Path text through shlwapi, wide: each call converts the path, lets the
// wide function work on it and converts the result back.
#include "platform/platform.h"
#include "platform/win32/wide.h"

#include <shlwapi.h>
#include <string.h>

int OsPathAppend(char *path, const char *more)
{
    if (path == NULL || more == NULL)
        return 0;
    // PathAppendW empties the path when the join does not fit; it works on a
    // copy, so a refused join leaves the caller's path as it was.
    WCHAR joined[MAX_PATH], tail[WIDE_PATH_UNITS];
    char result[OS_PATH_BUFFER];
    if (!TextFitsPath(path) || !Utf8ToWide(path, joined, MAX_PATH) || !Utf8ToWidePath(more, tail))
        return 0;
    if (!PathAppendW(joined, tail) || !WideToUtf8(joined, result, sizeof result))
        return 0;
    return TextCopyPath(path, result);
}

char *OsPathAddBackslash(char *path)
{
    if (path == NULL)
        return NULL;
    // PathAddBackslashW only refuses a path of MAX_PATH characters or more:
    // one of MAX_PATH - 1 gets its backslash and a terminator past the
    // buffer. Refuse it here instead, counting as Windows counts.
    if (!TextFitsPath(path))
        return NULL;
    size_t length = strlen(path);
    if (length == 0 || path[length - 1] == '\\')
        return path + length;
    if (TextUtf16Length(path) + 2 > OS_MAX_PATH)
        return NULL;
    path[length] = '\\';
    path[length + 1] = '\0';
    return path + length + 1;
}

char *OsPathRemoveBackslash(char *path)
{
    if (path == NULL)
        return NULL;
    WCHAR wide[WIDE_PATH_UNITS];
    char result[OS_PATH_BUFFER];
    size_t length = strlen(path);
    if (length == 0 || path[length - 1] != '\\' || !Utf8ToWidePath(path, wide))
        return length ? path + length - 1 : path;
    // Only the wide function knows a root ("C:\", "\\server\share\") keeps
    // its backslash.
    PathRemoveBackslashW(wide);
    if (!WideToUtf8(wide, result, sizeof result) || strlen(result) == length)
        return path + length - 1;
    path[length - 1] = '\0';
    return path + length - 1;
}

int OsPathMatchSpec(const char *file, const char *spec)
{
    WCHAR name[WIDE_PATH_UNITS], pattern[WIDE_PATH_UNITS];
    if (file == NULL || spec == NULL || !Utf8ToWidePath(file, name) ||
        !Utf8ToWidePath(spec, pattern))
        return 0;
    return PathMatchSpecW(name, pattern) ? 1 : 0;
}

int OsPathStripToRoot(char *path)
{
    WCHAR wide[WIDE_PATH_UNITS];
    char result[OS_PATH_BUFFER];
    if (path == NULL || !Utf8ToWidePath(path, wide))
        return 0;
    int rooted = PathStripToRootW(wide) ? 1 : 0;
    if (!WideToUtf8(wide, result, sizeof result))
        return 0;
    TextCopy(path, strlen(path) + 1, result); // never longer than it was
    return rooted;
}
