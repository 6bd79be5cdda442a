// Path identity through kernel32: canonical and long forms of a path, the
// identity of the file behind it, and the file system's own case rules.
#include "platform/platform.h"

#include "platform/win32/wide.h"

#include <winternl.h>

#include <io.h>
#include <stdio.h>

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

// No access asked for: a file another process holds open without sharing
// still opens, to be told apart.
static HANDLE OpenForIdentity(const char *path)
{
    WCHAR wide[WIDE_PATH_UNITS];
    if (path == NULL || !Utf8ToWidePath(path, wide))
        return INVALID_HANDLE_VALUE;
    return CreateFileW(wide, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, NULL);
}

// The file index alone, without the volume GetFileInformationByHandle also
// asks for. 0 when the file system keeps none.
static ULONGLONG FileIndex(HANDLE file)
{
    struct {
        LARGE_INTEGER indexNumber;
    } internal; // FILE_INTERNAL_INFORMATION
    IO_STATUS_BLOCK status;
    if (NtQueryInformationFile(file, &status, &internal, sizeof internal, (FILE_INFORMATION_CLASS)6) != 0)
        return 0;
    return (ULONGLONG)internal.indexNumber.QuadPart;
}

static int SameVolume(HANDLE a, HANDLE b)
{
    BY_HANDLE_FILE_INFORMATION first, second;
    if (!GetFileInformationByHandle(a, &first) || !GetFileInformationByHandle(b, &second))
        return -1;
    return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber;
}

static int SameHandles(HANDLE first, HANDLE second)
{
    ULONGLONG firstIndex = FileIndex(first), secondIndex = FileIndex(second);
    if (firstIndex == 0 || secondIndex == 0)
        return -1;
    return firstIndex != secondIndex ? 0 : SameVolume(first, second);
}

int OsSameFile(const char *a, const char *b)
{
    HANDLE first = OpenForIdentity(a);
    if (first == INVALID_HANDLE_VALUE)
        return -1;
    HANDLE second = OpenForIdentity(b);
    if (second == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        CloseHandle(first);
        SetLastError(error);
        return -1;
    }
    int same = SameHandles(first, second);
    CloseHandle(first);
    CloseHandle(second);
    return same;
}

static HANDLE HandleOf(OsFile *file)
{
    int descriptor = file ? _fileno(reinterpret_cast<FILE *>(file)) : -1;
    return descriptor < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
}

int OsSameOpenFile(OsFile *a, OsFile *b)
{
    HANDLE first = HandleOf(a), second = HandleOf(b);
    if (first == INVALID_HANDLE_VALUE || second == INVALID_HANDLE_VALUE)
        return -1;
    return SameHandles(first, second);
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
