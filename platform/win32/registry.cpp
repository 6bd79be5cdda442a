// Registry access through advapi32. A key handle is the HKEY itself.
#include "platform/platform.h"

#include <windows.h>

static HKEY RootHandle(OsRootKey root)
{
    return root == OS_HKEY_LOCAL_MACHINE ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

long OsRegOpenKey(OsRootKey root, const char *subKey, OsKey *key)
{
    if (key == NULL)
        return OS_ERROR_INVALID_PARAMETER;
    *key = NULL;
    HKEY handle = NULL;
    // Ask for writing too (a value may be deleted through this handle), but a
    // user without rights on HKLM must still be able to read it.
    LONG status = RegOpenKeyExA(RootHandle(root), subKey, 0, KEY_READ | KEY_WRITE, &handle);
    if (status == ERROR_ACCESS_DENIED)
        status = RegOpenKeyExA(RootHandle(root), subKey, 0, KEY_READ, &handle);
    if (status == ERROR_SUCCESS)
        *key = reinterpret_cast<OsKey>(handle);
    return status;
}

long OsRegCreateKey(OsRootKey root, const char *subKey, OsKey *key)
{
    if (key == NULL)
        return OS_ERROR_INVALID_PARAMETER;
    *key = NULL;
    HKEY handle = NULL;
    LONG status = RegCreateKeyExA(RootHandle(root), subKey, 0, NULL, REG_OPTION_NON_VOLATILE,
                                  KEY_READ | KEY_WRITE, NULL, &handle, NULL);
    if (status == ERROR_SUCCESS)
        *key = reinterpret_cast<OsKey>(handle);
    return status;
}

long OsRegQueryValueEx(OsKey key, const char *name, unsigned long *type,
                       unsigned char *data, unsigned long *size)
{
    return RegQueryValueExA(reinterpret_cast<HKEY>(key), name, NULL, type, data, size);
}

long OsRegSetValueEx(OsKey key, const char *name, unsigned long type,
                     const unsigned char *data, unsigned long size)
{
    return RegSetValueExA(reinterpret_cast<HKEY>(key), name, 0, type, data, size);
}

long OsRegDeleteValue(OsKey key, const char *name)
{
    return RegDeleteValueA(reinterpret_cast<HKEY>(key), name);
}

long OsRegFlushKey(OsKey key)
{
    return RegFlushKey(reinterpret_cast<HKEY>(key));
}

long OsRegCloseKey(OsKey key)
{
    return RegCloseKey(reinterpret_cast<HKEY>(key));
}
