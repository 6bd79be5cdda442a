// Single files and folders through kernel32, imagehlp and the runtime.
#include "platform/platform.h"

#include <windows.h>
#include <imagehlp.h>
#include <stdio.h>

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
    if (path == NULL)
        return OS_INVALID_FILE_ATTRIBUTES;
    return GetFileAttributesA(path);
}

int OsSetFileAttributes(const char *path, unsigned long attributes)
{
    return SetFileAttributesA(path, attributes) ? 1 : 0;
}

int OsDeleteFile(const char *path)
{
    return DeleteFileA(path) ? 1 : 0;
}

int OsCopyFile(const char *source, const char *destination, int failIfExists)
{
    DWORD before = destination ? GetFileAttributesA(destination) : INVALID_FILE_ATTRIBUTES;
    if (CopyFileA(source, destination, failIfExists ? TRUE : FALSE))
        return 1;
    // A copy that failed part-way (a full volume) must not leave a cut file
    // behind that looks like the real one; only a file this call made goes.
    DWORD error = GetLastError();
    if (before == INVALID_FILE_ATTRIBUTES && destination != NULL &&
        GetFileAttributesA(destination) != INVALID_FILE_ATTRIBUTES)
        DeleteFileA(destination);
    SetLastError(error);
    return 0;
}

int OsMoveFile(const char *source, const char *destination)
{
    // MoveFileA alone refuses a file on another volume; allowing the copy
    // gives copy-and-delete there, and no overwrite of an existing target.
    return MoveFileExA(source, destination, MOVEFILE_COPY_ALLOWED) ? 1 : 0;
}

int OsMakeSureDirectoryPathExists(const char *path)
{
    return MakeSureDirectoryPathExists(path) ? 1 : 0;
}

int OsCreateDirectory(const char *path)
{
    return CreateDirectoryA(path, NULL) ? 1 : 0;
}

int OsRemoveDirectory(const char *path)
{
    return RemoveDirectoryA(path) ? 1 : 0;
}

int OsRename(const char *oldPath, const char *newPath)
{
    if (oldPath == NULL || newPath == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    return rename(oldPath, newPath) == 0 ? 0 : -1;
}
