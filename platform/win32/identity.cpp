// Path identity through kernel32: canonical and long forms of a path, the
// identity of the file behind it, and the file system's own case rules.
#include "platform/platform.h"

#include "platform/win32/wide.h"

int OsGetFullPathName(const char *path, char *out)
{
    if (out == NULL)
        return 0;
    out[0] = '\0';
    if (path == NULL || path[0] == '\0')
        return 0;
    WCHAR wide[WIDE_PATH_UNITS], full[MAX_PATH];
    if (!Utf8ToWidePath(path, wide))
        return 0;
    DWORD length = GetFullPathNameW(wide, MAX_PATH, full, NULL);
    if (length == 0 || length >= MAX_PATH || !WideToUtf8(full, out, OS_PATH_BUFFER)) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

int OsGetLongPathName(const char *path, char *out)
{
    if (out == NULL)
        return 0;
    out[0] = '\0';
    if (path == NULL || path[0] == '\0')
        return 0;
    WCHAR wide[WIDE_PATH_UNITS], longForm[MAX_PATH];
    if (!Utf8ToWidePath(path, wide))
        return 0;
    DWORD length = GetLongPathNameW(wide, longForm, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !WideToUtf8(longForm, out, OS_PATH_BUFFER)) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

int OsGetFileId(const char *path, OsFileId *id)
{
    if (path == NULL || id == NULL)
        return 0;
    // No access asked for: the identity of a file another process holds
    // open without sharing can still be read.
    WCHAR wide[WIDE_PATH_UNITS];
    if (!Utf8ToWidePath(path, wide))
        return 0;
    HANDLE file = CreateFileW(wide, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    BY_HANDLE_FILE_INFORMATION info;
    int ok = GetFileInformationByHandle(file, &info) ? 1 : 0;
    DWORD error = GetLastError();
    CloseHandle(file);
    if (!ok) {
        SetLastError(error);
        return 0;
    }
    id->volume = info.dwVolumeSerialNumber;
    id->index = ((unsigned long long)info.nFileIndexHigh << 32) | info.nFileIndexLow;
    return 1;
}

int OsNamesEqualNoCase(const char *a, const char *b)
{
    if (a == NULL || b == NULL)
        return a == b;
    WCHAR left[WIDE_PATH_UNITS];
    WCHAR right[WIDE_PATH_UNITS];
    int leftLength = MultiByteToWideChar(CP_UTF8, 0, a, -1, left, WIDE_PATH_UNITS);
    int rightLength = MultiByteToWideChar(CP_UTF8, 0, b, -1, right, WIDE_PATH_UNITS);
    if (leftLength == 0 || rightLength == 0)
        return 0;
    // NTFS folds case by its upcase table, which ordinal ignore-case follows.
    return CompareStringOrdinal(left, leftLength - 1, right, rightLength - 1, TRUE) == CSTR_EQUAL;
}

void OsSleep(unsigned milliseconds)
{
    Sleep(milliseconds);
}
