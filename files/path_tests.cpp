// The tests on a single path or its attributes. None of them logs; a
// failing file-system call simply makes the test false.
#include "files/files.h"

int HasText(const char *text)
{
    return text != nullptr && text[0] != '\0';
}

int IsExistingFolder(const char *path)
{
    // No file-system call for "nothing": GetFileAttributesA("") would ask
    // about the current folder.
    if (!HasText(path))
        return 0;
    unsigned long attributes = PvGetFileAttributes(path);
    if (attributes == OS_INVALID_FILE_ATTRIBUTES)
        return 0;
    // Callers compare with -1, so true must have every bit set.
    return (attributes & OS_FILE_ATTRIBUTE_DIRECTORY) ? -1 : 0;
}

int IsExistingFile(const char *path)
{
    unsigned long attributes = PvGetFileAttributes(path);
    if (attributes == OS_INVALID_FILE_ATTRIBUTES)
        return 0;
    return (attributes & OS_FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
}

int IsLinkedFolder(unsigned long attributes)
{
    return (attributes != OS_INVALID_FILE_ATTRIBUTES) && ((attributes & OS_FILE_ATTRIBUTE_DIRECTORY) != 0) &&
           ((attributes & OS_FILE_ATTRIBUTE_REPARSE_POINT) != 0);
}
