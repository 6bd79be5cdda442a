// Single files and folders through kernel32 and the runtime, all wide.
#include "platform/platform.h"
#include "platform/win32/wide.h"

#include <stdio.h>
#include <wchar.h>

unsigned long OsGetLastError(void)
{
    return GetLastError();
}

void OsSetLastError(unsigned long error)
{
    SetLastError(error);
}

unsigned long OsGetFileAttributes(const char *path)
{
    WCHAR wide[WIDE_PATH_UNITS];
    if (path == NULL || !Utf8ToWidePath(path, wide))
        return OS_INVALID_FILE_ATTRIBUTES;
    return GetFileAttributesW(wide);
}

int OsGetFileFacts(const char *path, OsFileFacts *facts)
{
    WCHAR wide[WIDE_PATH_UNITS];
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path == NULL || facts == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!Utf8ToWidePath(path, wide) || !GetFileAttributesExW(wide, GetFileExInfoStandard, &data))
        return 0;
    facts->attributes = data.dwFileAttributes;
    facts->size = ((unsigned long long)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    facts->lastWrite = ((unsigned long long)data.ftLastWriteTime.dwHighDateTime << 32) |
                       data.ftLastWriteTime.dwLowDateTime;
    return 1;
}

int OsSetFileAttributes(const char *path, unsigned long attributes)
{
    WCHAR wide[WIDE_PATH_UNITS];
    if (!Utf8ToWidePath(path, wide))
        return 0;
    return SetFileAttributesW(path ? wide : NULL, attributes) ? 1 : 0;
}

int OsDeleteFile(const char *path)
{
    WCHAR wide[WIDE_PATH_UNITS];
    if (!Utf8ToWidePath(path, wide))
        return 0;
    return DeleteFileW(path ? wide : NULL) ? 1 : 0;
}

int OsCopyFile(const char *source, const char *destination, int failIfExists)
{
    WCHAR from[WIDE_PATH_UNITS], to[WIDE_PATH_UNITS];
    if (!Utf8ToWidePath(source, from) || !Utf8ToWidePath(destination, to))
        return 0;
    DWORD before = destination ? GetFileAttributesW(to) : INVALID_FILE_ATTRIBUTES;
    if (CopyFileW(source ? from : NULL, destination ? to : NULL, failIfExists ? TRUE : FALSE))
        return 1;
    // A copy that failed part-way (a full volume) must not leave a cut file
    // behind that looks like the real one; only a file this call made goes.
    DWORD error = GetLastError();
    if (before == INVALID_FILE_ATTRIBUTES && destination != NULL && GetFileAttributesW(to) != INVALID_FILE_ATTRIBUTES)
        DeleteFileW(to);
    SetLastError(error);
    return 0;
}

int OsMoveFile(const char *source, const char *destination)
{
    WCHAR from[WIDE_PATH_UNITS], to[WIDE_PATH_UNITS];
    if (!Utf8ToWidePath(source, from) || !Utf8ToWidePath(destination, to))
        return 0;
    // MoveFile alone refuses a file on another volume; allowing the copy
    // gives copy-and-delete there, and no overwrite of an existing target.
    return MoveFileExW(source ? from : NULL, destination ? to : NULL, MOVEFILE_COPY_ALLOWED) ? 1 : 0;
}

// The length of the root of a wide path ("C:\", "\\server\share\"), 0 for
// none: the folders below it are the ones to make.
static int RootLength(const WCHAR *path)
{
    if (path[0] != L'\0' && path[1] == L':')
        return path[2] == L'\\' ? 3 : 2;
    if (path[0] == L'\\' && path[1] == L'\\') {
        int slashes = 0, i = 2;
        for (; path[i] != L'\0'; i++)
            if (path[i] == L'\\' && ++slashes == 2)
                return i + 1;
        return i;
    }
    return 0;
}

// MakeSureDirectoryPathExists has no wide form: the same walk over the
// wide path, one CreateDirectoryW per missing folder.
int OsMakeSureDirectoryPathExists(const char *path)
{
    WCHAR wide[WIDE_PATH_UNITS];
    if (path == NULL || !Utf8ToWidePath(path, wide)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    for (int i = RootLength(wide); wide[i] != L'\0'; i++) {
        if (wide[i] != L'\\' || i == 0 || wide[i - 1] == L'\\')
            continue;
        wide[i] = L'\0';
        // As imagehlp's: what is there, folder or not, is passed over, so a
        // folder below a file fails at CreateDirectory, with its error.
        int ok = GetFileAttributesW(wide) != INVALID_FILE_ATTRIBUTES || CreateDirectoryW(wide, NULL) != 0 ||
                 GetLastError() == ERROR_ALREADY_EXISTS;
        wide[i] = L'\\';
        if (!ok)
            return 0;
    }
    return 1;
}

int OsCreateDirectory(const char *path)
{
    WCHAR wide[WIDE_PATH_UNITS];
    if (!Utf8ToWidePath(path, wide))
        return 0;
    return CreateDirectoryW(path ? wide : NULL, NULL) ? 1 : 0;
}

int OsRemoveDirectory(const char *path)
{
    WCHAR wide[WIDE_PATH_UNITS];
    if (!Utf8ToWidePath(path, wide))
        return 0;
    return RemoveDirectoryW(path ? wide : NULL) ? 1 : 0;
}

int OsRename(const char *oldPath, const char *newPath)
{
    WCHAR from[WIDE_PATH_UNITS], to[WIDE_PATH_UNITS];
    if (oldPath == NULL || newPath == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (!Utf8ToWidePath(oldPath, from) || !Utf8ToWidePath(newPath, to))
        return -1;
    return _wrename(from, to) == 0 ? 0 : -1;
}
