// The one answer to "are these the same folder", "does this lie inside that
// folder" and "is this the same file". Text alone can't tell: Windows reaches
// one folder as "C:\LwRepro", "c:/lwrepro", "C:\LWREPR~1", "C:\x\..\LwRepro"
// and "C:\LwRepro.", and through links under names that share nothing.
#include "files/files.h"

#include <string.h>

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
    int aExists = PvGetFileAttributes(a) != OS_INVALID_FILE_ATTRIBUTES;
    int bExists = PvGetFileAttributes(b) != OS_INVALID_FILE_ATTRIBUTES;
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
    } while (PathToParent(up));
    return 0;
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
    // In a preview a copy not yet made holds its original's bytes, and is
    // another file all the same.
    int samePath;
    if (PvHoldSameBytes(pathA, pathB, &samePath))
        return !distinct || !samePath;
    OsFile *a = PvFopen(pathA, "rb");
    if (a == nullptr)
        return 0;
    OsFile *b = PvFopen(pathB, "rb");
    if (b == nullptr) {
        OsFclose(a);
        return 0;
    }
    int same = 1;
    if (distinct) {
        // Asked of the files just opened, which the comparison needs anyway;
        // where the streams can't tell (a preview's copy not yet made reads
        // its original), of the names.
        int one = PvSameOpenFile(a, b);
        same = !(one == -1 ? SamePath(pathA, pathB) : one);
    }
    unsigned char chunkA[4096];
    unsigned char chunkB[4096];
    while (same) {
        PvWorking();
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
