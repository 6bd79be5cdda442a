// Drives, the Windows folder and INI files through kernel32.
#include "platform/platform.h"

#include <windows.h>

unsigned OsGetDriveType(const char *root)
{
    return GetDriveTypeA(root);
}

unsigned OsGetWindowsDirectory(char *buffer, unsigned size)
{
    return GetWindowsDirectoryA(buffer, size);
}

unsigned long OsGetPrivateProfileString(const char *section, const char *key,
                                        const char *def, char *buffer,
                                        unsigned long size, const char *file)
{
    return GetPrivateProfileStringA(section, key, def, buffer, size, file);
}
