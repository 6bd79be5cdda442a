// Cutting a path into its folder and its last component, by the shape of the
// text alone (plus one existence test in FolderOfPath). The backslash is the
// only separator; a forward slash is an ordinary character.
#include "files/files.h"

#include <string.h>

// Length in bytes of a path that fits, or -1 when it is longer. Longer
// paths are refused outright rather than cut.
static int PathLength(const char *path)
{
    return TextFitsPath(path) ? (int)strlen(path) : -1;
}

static int LastBackslash(const char *path, int length)
{
    for (int i = length - 1; i >= 0; i--)
        if (path[i] == '\\')
            return i;
    return -1;
}

int FolderOfPath(const char *path, char *out)
{
    if (out == nullptr)
        return 0;
    out[0] = '\0';
    if (path == nullptr)
        return 0;
    int length = PathLength(path);
    if (length < 0)
        return 0;

    // An existing folder is its own folder, exactly as written.
    if (IsExistingFolder(path) == -1)
        return TextCopyPath(out, path);

    if (length <= 3)
        return 0;
    int slash = LastBackslash(path, length);
    // The folder part keeps its backslash and must be at least "C:\" long.
    if (slash < 2)
        return 0;
    // Capacity slash + 2 keeps exactly the folder part and its backslash.
    TextCopy(out, (size_t)slash + 2, path);
    return 1;
}

int FileNameOfPath(const char *path, char *out, int keepExtension)
{
    if (out == nullptr)
        return 0;
    out[0] = '\0';
    if (path == nullptr)
        return 0;
    int length = PathLength(path);
    if (length <= 3)
        return 0;
    int slash = LastBackslash(path, length);
    // One stricter than FolderOfPath: a file directly in a drive root has
    // no name by this test (callers rely on that).
    if (slash < 3)
        return 0;
    if (!TextCopyPath(out, path + slash + 1))
        return 0;
    if (!keepExtension) {
        // Only the name is searched, so a dotted folder never cuts it.
        char *dot = nullptr;
        for (char *c = out; *c; c++)
            if (*c == '.')
                dot = c;
        if (dot)
            *dot = '\0';
    }
    return 1;
}
