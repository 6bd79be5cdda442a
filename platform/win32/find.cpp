// Folder enumeration. FindFirstFileW rather than the runtime's _wfindfirst:
// its entries carry every Win32 attribute bit, the link bit included, which
// the clean-up needs so that it never walks into a linked folder.
#include "platform/platform.h"
#include "platform/win32/wide.h"

// 0 for a name that can't be the library's text (an unpaired surrogate):
// such an entry is passed over, since no path built from it would name it.
static int FillEntry(const WIN32_FIND_DATAW &found, OsFindData *entry)
{
    entry->attributes = found.dwFileAttributes;
    return WideToUtf8(found.cFileName, entry->name, sizeof entry->name);
}

int OsFindNext(OsFindHandle handle, OsFindData *entry)
{
    if (handle == OS_INVALID_FIND_HANDLE || entry == NULL)
        return -1;
    WIN32_FIND_DATAW found;
    do {
        if (!FindNextFileW(reinterpret_cast<HANDLE>(handle), &found))
            return -1;
    } while (!FillEntry(found, entry));
    return 0;
}

OsFindHandle OsFindFirst(const char *pattern, OsFindData *entry)
{
    WCHAR wide[WIDE_PATH_UNITS];
    if (pattern == NULL || entry == NULL || !Utf8ToWidePath(pattern, wide))
        return OS_INVALID_FIND_HANDLE;
    WIN32_FIND_DATAW found;
    HANDLE handle = FindFirstFileW(wide, &found);
    if (handle == INVALID_HANDLE_VALUE)
        return OS_INVALID_FIND_HANDLE;
    OsFindHandle result = reinterpret_cast<OsFindHandle>(handle);
    if (!FillEntry(found, entry) && OsFindNext(result, entry) != 0) {
        FindClose(handle);
        SetLastError(ERROR_FILE_NOT_FOUND);
        return OS_INVALID_FIND_HANDLE;
    }
    return result;
}

int OsFindClose(OsFindHandle handle)
{
    if (handle == OS_INVALID_FIND_HANDLE)
        return -1;
    return FindClose(reinterpret_cast<HANDLE>(handle)) ? 0 : -1;
}
