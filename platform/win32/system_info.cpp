// Drives, the Windows folder and INI files through kernel32, wide.
#include "platform/platform.h"
#include "platform/win32/wide.h"

#include <string.h>

unsigned OsGetDriveType(const char *root)
{
    WCHAR wide[WIDE_PATH_UNITS];
    if (!Utf8ToWidePath(root, wide))
        return DRIVE_NO_ROOT_DIR;
    return GetDriveTypeW(root ? wide : NULL);
}

unsigned OsGetWindowsDirectory(char *buffer, unsigned size)
{
    WCHAR wide[MAX_PATH];
    char text[OS_PATH_BUFFER];
    UINT length = GetWindowsDirectoryW(wide, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !WideToUtf8(wide, text, sizeof text))
        return 0;
    unsigned needed = (unsigned)strlen(text);
    if (buffer == NULL || needed >= size)
        return needed + 1;
    memcpy(buffer, text, needed + 1);
    return needed;
}

unsigned long OsGetPrivateProfileString(const char *section, const char *key,
                                        const char *def, char *buffer,
                                        unsigned long size, const char *file)
{
    if (buffer == NULL || size == 0)
        return 0;
    buffer[0] = '\0';
    WCHAR wideSection[256], wideKey[256], wideDefault[WIDE_PATH_UNITS], wideFile[WIDE_PATH_UNITS];
    if (!Utf8ToWide(section, wideSection, 256) || !Utf8ToWide(key, wideKey, 256) ||
        !Utf8ToWide(def, wideDefault, WIDE_PATH_UNITS) || !Utf8ToWidePath(file, wideFile))
        return 0;
    WCHAR *value = (WCHAR *)OsAlloc((size_t)size * sizeof(WCHAR));
    if (value == NULL)
        return 0;
    DWORD units = GetPrivateProfileStringW(section ? wideSection : NULL, key ? wideKey : NULL,
                                           def ? wideDefault : NULL, value, size, file ? wideFile : NULL);
    value[units < size ? units : size - 1] = L'\0';
    // A value whose UTF-8 form does not fit the buffer counts as cut, as a
    // value too long for the buffer does.
    unsigned long count = size - 1;
    int bytes = WideCharToMultiByte(CP_UTF8, 0, value, -1, buffer, (int)size, NULL, NULL);
    if (bytes > 0)
        count = units >= size - 1 ? size - 1 : (unsigned long)(bytes - 1);
    else
        buffer[0] = '\0';
    OsFree(value);
    return count;
}
