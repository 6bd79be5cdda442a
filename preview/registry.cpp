// Registry values, written or planned. A preview reads a value the plan
// wrote as the plan holds it, and every other value from the registry; it
// never creates a key or writes a value.
#include "preview/plan.h"

#include <string.h>

static long NewKey(OsRootKey root, const char *subKey, OsKey real, PvKey *key)
{
    key->real = real;
    key->root = root;
    key->subKey = subKey;
    return OS_ERROR_SUCCESS;
}

long PvRegOpenKey(OsRootKey root, const char *subKey, PvKey *key)
{
    OsKey real = nullptr;
    long status = OsRegOpenKey(root, subKey, &real);
    if (status != OS_ERROR_SUCCESS && !Planning())
        return status;
    // In a preview a key that is not there reads as empty: the plan may
    // hold values written to it.
    return NewKey(root, subKey, status == OS_ERROR_SUCCESS ? real : nullptr, key);
}

long PvRegCreateKey(OsRootKey root, const char *subKey, PvKey *key)
{
    if (Planning())
        return PvRegOpenKey(root, subKey, key);
    OsKey real = nullptr;
    long status = OsRegCreateKey(root, subKey, &real);
    if (status != OS_ERROR_SUCCESS)
        return status;
    return NewKey(root, subKey, real, key);
}

long PvRegQueryValueEx(PvKey *key, const char *name, unsigned long *type, unsigned char *data, unsigned long *size)
{
    PlanValue planned;
    if (!Planning() || !PlanFindValue(key->root, key->subKey, name ? name : "", &planned)) {
        if (key->real == nullptr)
            return OS_ERROR_FILE_NOT_FOUND;
        return OsRegQueryValueEx(key->real, name, type, data, size);
    }
    if (type != nullptr)
        *type = planned.type;
    unsigned long offered = *size;
    *size = planned.size;
    if (data == nullptr)
        return OS_ERROR_SUCCESS;
    if (planned.size > offered)
        return OS_ERROR_MORE_DATA;
    memcpy(data, planned.data, planned.size);
    return OS_ERROR_SUCCESS;
}

long PvRegSetValueEx(PvKey *key, const char *name, unsigned long type, const unsigned char *data,
                     unsigned long size)
{
    if (!Planning())
        return OsRegSetValueEx(key->real, name, type, data, size);
    return PlanWriteValue(key->root, key->subKey, name ? name : "", type, data, size) ? OS_ERROR_SUCCESS
                                                                                      : (long)PLAN_ERROR_NO_MEMORY;
}

long PvRegFlushKey(PvKey *key)
{
    return key->real != nullptr && !Planning() ? OsRegFlushKey(key->real) : OS_ERROR_SUCCESS;
}

long PvRegCloseKey(PvKey *key)
{
    if (key == nullptr)
        return OS_ERROR_INVALID_HANDLE;
    long status = key->real != nullptr ? OsRegCloseKey(key->real) : OS_ERROR_SUCCESS;
    key->real = nullptr;
    return status;
}
