// The one answer to "are these the same folder", "does this lie inside that
// folder" and "is this the same file". Text alone can't tell: Windows reaches
// one folder as "C:\LwRepro", "c:/lwrepro", "C:\LWREPR~1", "C:\x\..\LwRepro"
// and "C:\LwRepro.", and through links under names that share nothing.
#include "files/files.h"
#include "upgrade/report.h"

#include <string.h>

// Cuts path (no trailing backslash but on a root) to its parent folder.
// 0 when path is a root, or has none, and has no parent.
static int ToParent(char *path)
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

int PathIdentityForm(const char *path, char *out)
{
    if (out == nullptr)
        return 0;
    out[0] = '\0';
    char full[OS_PATH_BUFFER];
    if (!HasText(path) || !OsGetFullPathName(path, full))
        return 0;
    // "\\?\C:\x" and "\\.\C:\x" are the folder "C:\x" reached through the
    // device namespace, and take its form: a root keeps its backslash (the
    // bare "\\?\C:" is the volume, no folder) and the plan's look-ups meet
    // what the run's meet. Only a path already in canonical form: after
    // "\\?\" no "." or ".." is applied, so "C:\a\..\b" would be another.
    if (full[0] == '\\' && full[1] == '\\' && (full[2] == '?' || full[2] == '.') && full[3] == '\\' &&
        IsFullPath(full + 4)) {
        char plain[OS_PATH_BUFFER];
        if (OsGetFullPathName(full + 4, plain) && strcmp(plain, full + 4) == 0)
            TextCopy(full, sizeof full, plain);
    }
    OsPathRemoveBackslash(full);
    // Only an existing path has long names to find; the part that does not
    // exist yet is kept as written.
    char head[OS_PATH_BUFFER];
    TextCopy(head, sizeof head, full);
    for (;;) {
        char longHead[OS_PATH_BUFFER];
        if (OsGetLongPathName(head, longHead)) {
            OsPathRemoveBackslash(longHead);
            size_t headLength = strlen(head);
            if (!TextCopyPath(out, longHead) || !TextAppendPath(out, full + headLength)) {
                out[0] = '\0';
                return 0;
            }
            return 1;
        }
        if (!ToParent(head))
            break;
    }
    return TextCopyPath(out, full);
}

int SamePath(const char *a, const char *b)
{
    // Two paths that both exist name one thing exactly when the file system
    // says so; asking it first spares the long-name look-ups, which read a
    // whole folder where it is large.
    if (!HasText(a) || !HasText(b))
        return 0;
    int same = OsSameFile(a, b);
    if (same != -1)
        return same;
    // A path that exists and one that does not are two: no long names to
    // look up for a folder that is still to be made.
    int aExists = OsGetFileAttributes(a) != OS_INVALID_FILE_ATTRIBUTES;
    int bExists = OsGetFileAttributes(b) != OS_INVALID_FILE_ATTRIBUTES;
    if (aExists != bExists)
        return 0;
    char formA[OS_PATH_BUFFER];
    char formB[OS_PATH_BUFFER];
    if (!PathIdentityForm(a, formA) || !PathIdentityForm(b, formB))
        return 0;
    return OsNamesEqualNoCase(formA, formB);
}

int PathIsAtOrBelow(const char *path, const char *folder)
{
    char form[OS_PATH_BUFFER];
    char folderForm[OS_PATH_BUFFER];
    return PathIdentityForm(path, form) && PathIdentityForm(folder, folderForm) &&
           FormIsAtOrBelow(form, folderForm);
}

int FormIsAtOrBelow(const char *form, const char *folderForm)
{
    char up[OS_PATH_BUFFER];
    if (!HasText(form) || !HasText(folderForm) || !TextCopyPath(up, form))
        return 0;
    // Each folder on the way up is asked: by its text, then by what it is,
    // so a way in through a link or another drive letter counts too.
    do {
        if (OsNamesEqualNoCase(up, folderForm) || OsSameFile(up, folderForm) == 1)
            return 1;
    } while (ToParent(up));
    return 0;
}

int IsFullPath(const char *path)
{
    if (!HasText(path))
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

int IsRootFolder(const char *path)
{
    char form[OS_PATH_BUFFER];
    char root[OS_PATH_BUFFER];
    if (!PathIdentityForm(path, form))
        return 0;
    TextCopy(root, sizeof root, form);
    if (!OsPathStripToRoot(root))
        return 0;
    OsPathRemoveBackslash(root);
    OsPathRemoveBackslash(form);
    return OsNamesEqualNoCase(form, root);
}

// Whether two files hold the same bytes; when distinct is set, 0 as well
// where both names reach one file.
static int CompareContents(const char *pathA, const char *pathB, int distinct)
{
    char realA[OS_PATH_BUFFER];
    char realB[OS_PATH_BUFFER];
    if (!ContentsAsPlanned(pathA, realA) || !ContentsAsPlanned(pathB, realB))
        return 0;
    int previewing = ReportPreviewing();
    // In a preview a copy not yet made holds its original's bytes, and is
    // another file all the same.
    if (previewing && OsNamesEqualNoCase(realA, realB))
        return !distinct || !SamePath(pathA, pathB);
    OsFile *a = OsFopen(realA, "rb");
    if (a == nullptr)
        return 0;
    OsFile *b = OsFopen(realB, "rb");
    if (b == nullptr) {
        OsFclose(a);
        return 0;
    }
    int same = 1;
    if (distinct) {
        // Asked of the files just opened, which the comparison needs anyway;
        // in a preview of the names, as the files read may stand in for them.
        int one = previewing ? -1 : OsSameOpenFile(a, b);
        same = !(one == -1 ? SamePath(pathA, pathB) : one);
    }
    unsigned char chunkA[4096];
    unsigned char chunkB[4096];
    while (same) {
        size_t readA = OsFread(chunkA, 1, sizeof chunkA, a);
        size_t readB = OsFread(chunkB, 1, sizeof chunkB, b);
        if (readA != readB || memcmp(chunkA, chunkB, readA) != 0)
            same = 0;
        if (readA == 0)
            break;
    }
    OsFclose(a);
    OsFclose(b);
    return same;
}

int SameContents(const char *pathA, const char *pathB)
{
    return CompareContents(pathA, pathB, 0);
}

int IsIdenticalCopy(const char *original, const char *copy)
{
    // A file is never its own copy: deleting "the original" would then
    // delete the only one.
    if (IsExistingFile(original) != 1 || IsExistingFile(copy) != 1)
        return 0;
    return CompareContents(original, copy, 1);
}
