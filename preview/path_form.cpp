// The form paths are compared in, made from the platform's answers alone:
// the plan of a preview is indexed by it, and every "same folder" question
// above compares in it.
#include "preview/preview.h"

#include <string.h>

static int HasPath(const char *path)
{
    return path != nullptr && path[0] != '\0';
}

// Cuts path (no trailing backslash but on a root) to its parent folder.
// 0 when path is a root, or has none, and has no parent.
int PathToParent(char *path)
{
    char root[OS_PATH_BUFFER];
    TextCopy(root, sizeof root, path);
    if (!OsPathStripToRoot(root))
        return 0;
    size_t rootLength = strlen(root);
    char *last = strrchr(path, '\\');
    if (strlen(path) <= rootLength || last == nullptr)
        return 0;
    if ((size_t)(last - path) < rootLength)
        TextCopy(path, OS_PATH_BUFFER, root);
    else
        *last = '\0';
    return 1;
}

// "\\?\" or "\\.\", either of the first two written as "/" too: the full
// form does not make it "\\?\" on every host.
static int IsDevicePath(const char *path)
{
    return (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/') &&
           (path[2] == '?' || path[2] == '.') && path[3] == '\\';
}

// "\\?\C:\x" and "\\.\C:\x" are the folder "C:\x" reached through the
// device namespace, and take its form, so that the plan's look-ups meet what
// the run's meet. Only a path already in canonical form: after "\\?\" no "."
// or ".." is applied, so "C:\a\..\b" would be another.
static void LeaveDeviceNamespace(char *path)
{
    if (IsDevicePath(path) && IsFullPath(path + 4)) {
        char plain[OS_PATH_BUFFER];
        if (OsGetFullPathName(path + 4, plain) && strcmp(plain, path + 4) == 0)
            TextCopy(path, OS_PATH_BUFFER, plain);
    }
}

// Drops the trailing backslashes, but not a drive root's: shlwapi makes
// "\\?\C:" of "\\?\C:\", and that is the volume, no folder. After "\\?\"
// nothing collapses them, so there may be several ("\\?\C:\x\\"), and a
// form that kept one would not be its own form.
static void RemoveBackslashKeepingRoot(char *path)
{
    const char *drive = IsDevicePath(path) ? path + 4 : path;
    for (;;) {
        size_t length = strlen(path);
        if (drive[0] != '\0' && drive[1] == ':' && drive[2] == '\\' && drive[3] == '\0')
            return;
        OsPathRemoveBackslash(path);
        if (strlen(path) == length)
            return;
    }
}

int PathIdentityForm(const char *path, char *out)
{
    if (out == nullptr)
        return 0;
    out[0] = '\0';
    char full[OS_PATH_BUFFER];
    if (!HasPath(path) || !OsGetFullPathName(path, full))
        return 0;
    RemoveBackslashKeepingRoot(full);
    LeaveDeviceNamespace(full);
    // Only an existing path has long names to find; the part that does not
    // exist yet is kept as written.
    char head[OS_PATH_BUFFER];
    TextCopy(head, sizeof head, full);
    for (;;) {
        char longHead[OS_PATH_BUFFER];
        if (OsGetLongPathName(head, longHead)) {
            RemoveBackslashKeepingRoot(longHead);
            size_t headLength = strlen(head);
            if (!TextCopyPath(out, longHead) || !TextAppendPath(out, full + headLength)) {
                out[0] = '\0';
                return 0;
            }
            // The long form may be the canonical one a device path asked for.
            LeaveDeviceNamespace(out);
            return 1;
        }
        if (!PathToParent(head))
            break;
    }
    return TextCopyPath(out, full);
}

int IsFullPath(const char *path)
{
    if (!HasPath(path))
        return 0;
    int letter = (path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z');
    if (letter && path[1] == ':')
        return path[2] == '\\' || path[2] == '/';
    int separators = (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/');
    if (!separators)
        return 0;
    // "\\?\" and "\\.\" reach devices and bypass the checks of ordinary
    // paths; a UNC path needs a server and a share.
    if (path[2] == '?' || path[2] == '.' || path[2] == '\0' || path[2] == '\\' || path[2] == '/')
        return 0;
    const char *p = path + 2;
    while (*p && *p != '\\' && *p != '/')
        p++;
    return *p != '\0' && p[1] != '\0' && p[1] != '\\' && p[1] != '/';
}
