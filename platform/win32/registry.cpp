// Registry access through advapi32, all wide: text values are stored as
// UTF-16, so a path in any script is kept exactly. A key handle is the HKEY.
#include "platform/platform.h"
#include "platform/win32/wide.h"

#include <string.h>

// Key and value names are short; a longer one is no name of this library's.
#define NAME_UNITS 512

static HKEY RootHandle(OsRootKey root)
{
    return root == OS_HKEY_LOCAL_MACHINE ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

long OsRegOpenKey(OsRootKey root, const char *subKey, OsKey *key)
{
    if (key == NULL)
        return OS_ERROR_INVALID_PARAMETER;
    *key = NULL;
    WCHAR wide[NAME_UNITS];
    if (!Utf8ToWide(subKey, wide, NAME_UNITS))
        return OS_ERROR_INVALID_PARAMETER;
    HKEY handle = NULL;
    // Ask for writing too (a value may be deleted through this handle), but a
    // user without rights on HKLM must still be able to read it.
    LONG status = RegOpenKeyExW(RootHandle(root), subKey ? wide : NULL, 0, KEY_READ | KEY_WRITE, &handle);
    if (status == ERROR_ACCESS_DENIED)
        status = RegOpenKeyExW(RootHandle(root), subKey ? wide : NULL, 0, KEY_READ, &handle);
    if (status == ERROR_SUCCESS)
        *key = reinterpret_cast<OsKey>(handle);
    return status;
}

long OsRegCreateKey(OsRootKey root, const char *subKey, OsKey *key)
{
    if (key == NULL)
        return OS_ERROR_INVALID_PARAMETER;
    *key = NULL;
    WCHAR wide[NAME_UNITS];
    if (!Utf8ToWide(subKey, wide, NAME_UNITS))
        return OS_ERROR_INVALID_PARAMETER;
    HKEY handle = NULL;
    LONG status = RegCreateKeyExW(RootHandle(root), subKey ? wide : NULL, 0, NULL, REG_OPTION_NON_VOLATILE,
                                  KEY_READ | KEY_WRITE, NULL, &handle, NULL);
    if (status == ERROR_SUCCESS)
        *key = reinterpret_cast<OsKey>(handle);
    return status;
}

static int IsText(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

long OsRegQueryValueEx(OsKey key, const char *name, unsigned long *type,
                       unsigned char *data, unsigned long *size)
{
    WCHAR wideName[NAME_UNITS];
    if (!Utf8ToWide(name, wideName, NAME_UNITS))
        return OS_ERROR_INVALID_PARAMETER;
    HKEY handle = reinterpret_cast<HKEY>(key);
    const WCHAR *valueName = name ? wideName : NULL;
    DWORD found = REG_NONE, bytes = 0;
    LONG status = RegQueryValueExW(handle, valueName, NULL, &found, NULL, &bytes);
    if (status != ERROR_SUCCESS)
        return status;
    if (type != NULL)
        *type = found;
    if (!IsText(found)) {
        DWORD offered = size ? *size : 0;
        status = RegQueryValueExW(handle, valueName, NULL, NULL, data, &offered);
        if (size != NULL)
            *size = offered;
        return status;
    }
    // Text is handed over as UTF-8, its size counted in UTF-8 bytes with the
    // terminator, as the ANSI call counts its bytes.
    DWORD units = bytes / sizeof(WCHAR) + 1;
    WCHAR *wide = (WCHAR *)OsAlloc((size_t)units * sizeof(WCHAR));
    if (wide == NULL)
        return ERROR_NOT_ENOUGH_MEMORY;
    DWORD got = bytes;
    status = RegQueryValueExW(handle, valueName, NULL, NULL, (BYTE *)wide, &got);
    if (status == ERROR_SUCCESS) {
        // Every stored unit, as the ANSI call hands over every stored byte:
        // a value stored with extra terminators keeps them.
        int count = (int)(got / sizeof(WCHAR) < units ? got / sizeof(WCHAR) : units - 1);
        int needed = count == 0 ? 0 : WideCharToMultiByte(CP_UTF8, 0, wide, count, NULL, 0, NULL, NULL);
        if (count > 0 && needed <= 0) {
            status = ERROR_INVALID_DATA;
        } else if (data != NULL && size != NULL && *size >= (unsigned long)needed) {
            if (needed > 0)
                WideCharToMultiByte(CP_UTF8, 0, wide, count, (char *)data, needed, NULL, NULL);
            *size = (unsigned long)needed;
        } else {
            if (data != NULL)
                status = ERROR_MORE_DATA;
            if (size != NULL)
                *size = (unsigned long)needed;
        }
    }
    OsFree(wide);
    return status;
}

long OsRegSetValueEx(OsKey key, const char *name, unsigned long type,
                     const unsigned char *data, unsigned long size)
{
    WCHAR wideName[NAME_UNITS];
    if (!Utf8ToWide(name, wideName, NAME_UNITS))
        return OS_ERROR_INVALID_PARAMETER;
    HKEY handle = reinterpret_cast<HKEY>(key);
    const WCHAR *valueName = name ? wideName : NULL;
    if (!IsText(type) || data == NULL)
        return RegSetValueExW(handle, valueName, 0, type, data, size);
    // Every given byte, as the ANSI call stores every given byte: the
    // terminator, and any extra one, are part of the value.
    int units = size == 0 ? 0 : MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, (const char *)data, (int)size, NULL, 0);
    if (size > 0 && units <= 0)
        return ERROR_INVALID_DATA;
    WCHAR *wide = (WCHAR *)OsAlloc(((size_t)units + 1) * sizeof(WCHAR));
    if (wide == NULL)
        return ERROR_NOT_ENOUGH_MEMORY;
    if (units > 0)
        MultiByteToWideChar(CP_UTF8, 0, (const char *)data, (int)size, wide, units);
    LONG status = RegSetValueExW(handle, valueName, 0, type, (const BYTE *)wide, (DWORD)((size_t)units * sizeof(WCHAR)));
    OsFree(wide);
    return status;
}

long OsRegDeleteValue(OsKey key, const char *name)
{
    WCHAR wideName[NAME_UNITS];
    if (!Utf8ToWide(name, wideName, NAME_UNITS))
        return OS_ERROR_INVALID_PARAMETER;
    return RegDeleteValueW(reinterpret_cast<HKEY>(key), name ? wideName : NULL);
}

long OsRegFlushKey(OsKey key)
{
    return RegFlushKey(reinterpret_cast<HKEY>(key));
}

long OsRegCloseKey(OsKey key)
{
    return RegCloseKey(reinterpret_cast<HKEY>(key));
}
