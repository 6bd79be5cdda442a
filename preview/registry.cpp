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
    if (status == OS_ERROR_SUCCESS)
        return NewKey(root, subKey, real, key);
    // In a preview a key the run would have created is there as soon as the
    // plan wrote to it.
    if (!Planning() || !PlanHasKey(root, subKey))
        return status;
    return NewKey(root, subKey, nullptr, key);
}

long PvRegCreateKey(OsRootKey root, const char *subKey, PvKey *key)
{
    if (!ProgressMayChange())
        return OS_ERROR_CANCELLED;
    if (Planning()) {
        // Creates nothing: a key that is not there yet reads as empty.
        OsKey real = nullptr;
        return NewKey(root, subKey, OsRegOpenKey(root, subKey, &real) == OS_ERROR_SUCCESS ? real : nullptr, key);
    }
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
    if (!ProgressMayChange())
        return OS_ERROR_CANCELLED;
    long status = !Planning() ? OsRegSetValueEx(key->real, name, type, data, size)
                  : PlanWriteValue(key->root, key->subKey, name ? name : "", type, data, size)
                      ? OS_ERROR_SUCCESS
                      : (long)PLAN_ERROR_NO_MEMORY;
    if (status == OS_ERROR_SUCCESS)
        ProgressDid('S', name, 0); // told as the phase "Settings"
    return status;
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
