// Folder enumeration. FindFirstFileA rather than the runtime's _findfirst:
// its entries carry every Win32 attribute bit, the link bit included, which
// the clean-up needs so that it never walks into a linked folder.
#include "platform/platform.h"

#include <windows.h>

static void FillEntry(const WIN32_FIND_DATAA &found, OsFindData *entry)
{
    entry->attributes = found.dwFileAttributes;
    TextCopy(entry->name, sizeof entry->name, found.cFileName);
}

OsFindHandle OsFindFirst(const char *pattern, OsFindData *entry)
{
    if (pattern == NULL || entry == NULL)
        return OS_INVALID_FIND_HANDLE;
    WIN32_FIND_DATAA found;
    HANDLE handle = FindFirstFileA(pattern, &found);
    if (handle == INVALID_HANDLE_VALUE)
        return OS_INVALID_FIND_HANDLE;
    FillEntry(found, entry);
    return reinterpret_cast<OsFindHandle>(handle);
}

int OsFindNext(OsFindHandle handle, OsFindData *entry)
{
    if (handle == OS_INVALID_FIND_HANDLE || entry == NULL)
        return -1;
    WIN32_FIND_DATAA found;
    if (!FindNextFileA(reinterpret_cast<HANDLE>(handle), &found))
        return -1;
    FillEntry(found, entry);
    return 0;
}

int OsFindClose(OsFindHandle handle)
{
    if (handle == OS_INVALID_FIND_HANDLE)
        return -1;
    return FindClose(reinterpret_cast<HANDLE>(handle)) ? 0 : -1;
}
