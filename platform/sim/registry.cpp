// The simulated registry: HKCU and HKLM kept in fixed tables in the host
// state, so every call is a look-up in memory and a reset forgets it all. A
// change is whole when the call returns. For people, SimDumpRegistry writes
// the roots out in the text format regedit exports; nothing reads that back.
#include "sim_internal.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define HANDLE_BASE 0x52000000u

static SimRegistry *Reg(void)
{
    return &g_sim.registry;
}

static const char *RootName(OsRootKey root)
{
    return root == OS_HKEY_CURRENT_USER ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

static int ValidRoot(OsRootKey root)
{
    return root == OS_HKEY_CURRENT_USER || root == OS_HKEY_LOCAL_MACHINE;
}

// --- Keys and values -----------------------------------------------------------

static int FindKey(OsRootKey root, const char *path)
{
    const SimRegistry *r = Reg();
    for (int i = 0; i < r->keyCount; i++)
        if (r->keys[i].root == root && TextCompareNoCase(r->keys[i].path, path) == 0)
            return i;
    return -1;
}

// The key's index, added when missing; -1 when the table is full.
static int AddKey(OsRootKey root, const char *path, size_t length)
{
    char copy[SIM_REG_KEY_MAX];
    if (length >= sizeof copy)
        return -1;
    memcpy(copy, path, length);
    copy[length] = '\0';
    int found = FindKey(root, copy);
    if (found >= 0)
        return found;
    SimRegistry *r = Reg();
    if (r->keyCount >= SIM_REG_MAX_KEYS)
        return -1;
    SimRegKey *key = &r->keys[r->keyCount];
    key->root = root;
    TextCopy(key->path, sizeof key->path, copy);
    return r->keyCount++;
}

static int FindValue(int key, const char *name)
{
    const SimRegistry *r = Reg();
    for (int i = 0; i < r->valueCount; i++)
        if (r->values[i].key == key && TextCompareNoCase(r->values[i].name, name) == 0)
            return i;
    return -1;
}

// Gives a value's bytes back to the arena, keeping the rest packed.
static void ReleaseBytes(int value)
{
    SimRegistry *r = Reg();
    size_t offset = r->values[value].offset, size = r->values[value].size;
    memmove(r->arena + offset, r->arena + offset + size, r->arenaUsed - offset - size);
    r->arenaUsed -= size;
    for (int i = 0; i < r->valueCount; i++)
        if (i != value && r->values[i].offset > offset)
            r->values[i].offset -= size;
    r->values[value].size = 0;
    r->values[value].offset = r->arenaUsed;
}

static long SetValue(int key, const char *name, unsigned long type, const unsigned char *data, unsigned long size)
{
    SimRegistry *r = Reg();
    if (strlen(name) >= SIM_REG_NAME_MAX)
        return OS_ERROR_INVALID_PARAMETER;
    int i = FindValue(key, name);
    size_t room = SIM_REG_ARENA - r->arenaUsed + (i >= 0 ? r->values[i].size : 0);
    if (size > room || (i < 0 && r->valueCount >= SIM_REG_MAX_VALUES))
        return SIM_ERROR_NOT_ENOUGH_MEMORY;
    if (i < 0) {
        i = r->valueCount++;
        r->values[i].key = key;
        TextCopy(r->values[i].name, SIM_REG_NAME_MAX, name);
        r->values[i].size = 0;
        r->values[i].offset = r->arenaUsed;
    } else {
        ReleaseBytes(i);
    }
    SimRegValue *v = &r->values[i];
    v->type = type;
    v->offset = r->arenaUsed;
    v->size = size;
    if (size)
        memcpy(r->arena + v->offset, data, size);
    r->arenaUsed += size;
    return 0;
}

static void DeleteValue(int value)
{
    SimRegistry *r = Reg();
    ReleaseBytes(value);
    memmove(&r->values[value], &r->values[value + 1], (size_t)(r->valueCount - value - 1) * sizeof(SimRegValue));
    r->valueCount--;
}

// --- The .reg text ---------------------------------------------------------------

typedef struct Text {
    char *out;
    size_t capacity;
    size_t length; // of the whole text, also past capacity
    size_t column;
} Text;

static void Put(Text *t, const char *text, size_t n)
{
    for (size_t i = 0; i < n; i++) {
        if (t->length + 1 < t->capacity)
            t->out[t->length] = text[i];
        t->length++;
        t->column = text[i] == '\n' ? 0 : t->column + 1;
    }
}

static void PutText(Text *t, const char *text)
{
    Put(t, text, strlen(text));
}

static void PutQuoted(Text *t, const char *text, size_t n)
{
    Put(t, "\"", 1);
    for (size_t i = 0; i < n; i++) {
        if (text[i] == '\\' || text[i] == '"')
            Put(t, "\\", 1);
        Put(t, &text[i], 1);
    }
    Put(t, "\"", 1);
}

// A REG_SZ that regedit can show as "text": one terminator, no control bytes.
static int PlainText(const SimRegValue *v, const unsigned char *data)
{
    if (v->type != OS_REG_SZ || v->size == 0 || data[v->size - 1] != 0)
        return 0;
    for (unsigned long i = 0; i + 1 < v->size; i++)
        if (data[i] < 0x20 || data[i] == 0x7F)
            return 0;
    return 1;
}

static void PutValue(Text *t, const SimRegValue *v)
{
    const unsigned char *data = Reg()->arena + v->offset;
    if (v->name[0])
        PutQuoted(t, v->name, strlen(v->name));
    else
        Put(t, "@", 1);
    Put(t, "=", 1);
    char token[32];
    if (PlainText(v, data)) {
        PutQuoted(t, (const char *)data, v->size - 1);
    } else if (v->type == OS_REG_DWORD && v->size == 4) {
        unsigned long value = (unsigned long)data[0] | ((unsigned long)data[1] << 8) |
                              ((unsigned long)data[2] << 16) | ((unsigned long)data[3] << 24);
        TextFormat(token, sizeof token, "dword:%08lx", value);
        PutText(t, token);
    } else {
        if (v->type == OS_REG_BINARY)
            PutText(t, "hex:");
        else {
            TextFormat(token, sizeof token, "hex(%lx):", v->type);
            PutText(t, token);
        }
        // Lines of at most 80 characters, as regedit wraps them.
        for (unsigned long i = 0; i < v->size; i++) {
            TextFormat(token, sizeof token, "%02x%s", data[i], i + 1 < v->size ? "," : "");
            if (t->column + strlen(token) > 77 && i + 1 < v->size)
                PutText(t, "\\\r\n  ");
            PutText(t, token);
        }
    }
    PutText(t, "\r\n");
}

size_t SimRegistryText(OsRootKey root, char *out, size_t outSize)
{
    Text t = {out, out ? outSize : 0, 0, 0};
    PutText(&t, "Windows Registry Editor Version 5.00\r\n\r\n");
    const SimRegistry *r = Reg();
    // Keys in regedit's order: the next one is the least above the last.
    const char *last = NULL;
    for (;;) {
        int next = -1;
        for (int i = 0; i < r->keyCount; i++) {
            if (r->keys[i].root != root || (last && TextCompareNoCase(r->keys[i].path, last) <= 0))
                continue;
            if (next < 0 || TextCompareNoCase(r->keys[i].path, r->keys[next].path) < 0)
                next = i;
        }
        if (next < 0)
            break;
        last = r->keys[next].path;
        int values = 0;
        for (int j = 0; j < r->valueCount; j++)
            values += r->values[j].key == next;
        if (!last[0] && values == 0)
            continue;
        PutText(&t, "[");
        PutText(&t, RootName(root));
        if (last[0]) {
            PutText(&t, "\\");
            PutText(&t, last);
        }
        PutText(&t, "]\r\n");
        for (int j = 0; j < r->valueCount; j++)
            if (r->values[j].key == next)
                PutValue(&t, &r->values[j]);
        PutText(&t, "\r\n");
    }
    if (t.capacity)
        t.out[t.length < t.capacity ? t.length : t.capacity - 1] = '\0';
    return t.length;
}

static int DumpRoot(OsRootKey root, const char *folder)
{
    size_t length = SimRegistryText(root, NULL, 0);
    char *text = (char *)malloc(length + 1);
    if (!text)
        return 0;
    SimRegistryText(root, text, length + 1);
    char path[SIM_POSIX_MAX];
    TextFormat(path, sizeof path, "%s/%s.reg", folder, root == OS_HKEY_CURRENT_USER ? "HKCU" : "HKLM");
    FILE *fp = fopen(path, "wb");
    int ok = fp && fwrite(text, 1, length, fp) == length;
    if (fp && fclose(fp) != 0)
        ok = 0;
    free(text);
    return ok;
}

int SimDumpRegistry(void)
{
    if (!SimEnsureHost())
        return 0;
    char folder[SIM_POSIX_MAX];
    if (!TextFormat(folder, sizeof folder, "%s/registry", g_sim.root))
        return 0;
    mkdir(folder, 0755);
    return DumpRoot(OS_HKEY_CURRENT_USER, folder) && DumpRoot(OS_HKEY_LOCAL_MACHINE, folder);
}

// --- Handles and the operations ----------------------------------------------------

// "A\\B\" as "A\B": separators folded to one, none at the ends.
static int NormalizeKeyPath(const char *subKey, char *out)
{
    size_t n = 0;
    for (const char *p = subKey ? subKey : ""; *p; p++) {
        if (*p == '\\' && (n == 0 || out[n - 1] == '\\'))
            continue;
        if (n + 1 >= SIM_REG_KEY_MAX)
            return 0;
        out[n++] = *p;
    }
    if (n && out[n - 1] == '\\')
        n--;
    out[n] = '\0';
    return 1;
}

int SimSetRegistryKeyReadOnly(OsRootKey root, const char *subKey, int readOnly)
{
    char path[SIM_REG_KEY_MAX];
    if (!ValidRoot(root) || !NormalizeKeyPath(subKey, path) || !SimEnsureHost())
        return 0;
    int index = FindKey(root, path);
    if (index < 0)
        return 0;
    Reg()->keys[index].readOnly = readOnly != 0;
    return 1;
}

// Whether the key refuses writes: the whole root, or its own security.
static int Unwritable(int key)
{
    const SimRegKey *k = &Reg()->keys[key];
    return !g_sim.registry.writable[k->root - 1] || k->readOnly;
}

// The key index of an open handle, or -1.
static int KeyOf(OsKey key)
{
    uintptr_t value = (uintptr_t)key;
    if (value < HANDLE_BASE || (value - HANDLE_BASE) % 16 != 0)
        return -1;
    uintptr_t slot = (value - HANDLE_BASE) / 16;
    if (slot >= SIM_REG_MAX_OPEN || !Reg()->openKey[slot])
        return -1;
    return Reg()->openKey[slot] - 1;
}

static long GiveHandle(int keyIndex, OsKey *key)
{
    SimRegistry *r = Reg();
    for (int i = 0; i < SIM_REG_MAX_OPEN; i++) {
        if (r->openKey[i])
            continue;
        r->openKey[i] = keyIndex + 1;
        *key = (OsKey)(uintptr_t)(HANDLE_BASE + 16u * (unsigned)i);
        return 0;
    }
    return SIM_ERROR_NOT_ENOUGH_MEMORY;
}

// A fault's error as the call's result: the registry calls give their error
// and leave the last error alone.
static long Faulted(SimOperation operation, int mutating, const char *path)
{
    unsigned long saved = g_sim.lastError;
    long error = SimFaultHit(operation, mutating, path, NULL) ? (long)g_sim.lastError : 0;
    g_sim.lastError = saved;
    return error;
}

long OsRegOpenKey(OsRootKey root, const char *subKey, OsKey *key)
{
    SimCountCall(SIM_OP_REG_OPEN_KEY, 0);
    long fault = Faulted(SIM_OP_REG_OPEN_KEY, 0, subKey);
    if (fault)
        return fault;
    char path[SIM_REG_KEY_MAX];
    if (!key || !ValidRoot(root))
        return !key ? OS_ERROR_INVALID_PARAMETER : OS_ERROR_INVALID_HANDLE;
    if (!NormalizeKeyPath(subKey, path))
        return OS_ERROR_INVALID_PARAMETER;
    if (!SimEnsureHost())
        return SIM_ERROR_REGISTRY_IO_FAILED;
    int index = path[0] ? FindKey(root, path) : AddKey(root, "", 0);
    if (index < 0)
        return path[0] ? OS_ERROR_FILE_NOT_FOUND : SIM_ERROR_NOT_ENOUGH_MEMORY;
    return GiveHandle(index, key);
}

long OsRegCreateKey(OsRootKey root, const char *subKey, OsKey *key)
{
    SimCountCall(SIM_OP_REG_CREATE_KEY, 1);
    long fault = Faulted(SIM_OP_REG_CREATE_KEY, 1, subKey);
    if (fault)
        return fault;
    char path[SIM_REG_KEY_MAX];
    if (!key || !ValidRoot(root))
        return !key ? OS_ERROR_INVALID_PARAMETER : OS_ERROR_INVALID_HANDLE;
    if (!NormalizeKeyPath(subKey, path))
        return OS_ERROR_INVALID_PARAMETER;
    if (!SimEnsureHost())
        return SIM_ERROR_REGISTRY_IO_FAILED;
    if (!g_sim.registry.writable[root - 1])
        return OS_ERROR_ACCESS_DENIED;
    int index = FindKey(root, path);
    // Windows checks the access asked for (KEY_WRITE here) when the key is
    // opened, so a key that denies writing is refused before any value is.
    if (index >= 0 && Reg()->keys[index].readOnly)
        return OS_ERROR_ACCESS_DENIED;
    if (index < 0) {
        // Each missing key on the way is a key of its own, as regedit shows.
        size_t n = strlen(path);
        for (size_t i = 1; i <= n; i++)
            if ((i == n || path[i] == '\\') && AddKey(root, path, i) < 0)
                return SIM_ERROR_NOT_ENOUGH_MEMORY;
        index = AddKey(root, path, n);
        if (index < 0)
            return SIM_ERROR_NOT_ENOUGH_MEMORY;
    }
    return GiveHandle(index, key);
}

long OsRegQueryValueEx(OsKey key, const char *name, unsigned long *type, unsigned char *data,
                       unsigned long *size)
{
    SimCountCall(SIM_OP_REG_QUERY_VALUE_EX, 0);
    long fault = Faulted(SIM_OP_REG_QUERY_VALUE_EX, 0, name);
    if (fault)
        return fault;
    int k = KeyOf(key);
    if (k < 0)
        return OS_ERROR_INVALID_HANDLE;
    if (data && !size)
        return OS_ERROR_INVALID_PARAMETER;
    int v = FindValue(k, name ? name : "");
    if (v < 0)
        return OS_ERROR_FILE_NOT_FOUND;
    const SimRegValue *value = &Reg()->values[v];
    long result = 0;
    if (type)
        *type = value->type;
    if (data && *size < value->size)
        result = OS_ERROR_MORE_DATA;
    else if (data && value->size)
        memcpy(data, Reg()->arena + value->offset, value->size);
    if (size)
        *size = value->size;
    return result;
}

long OsRegSetValueEx(OsKey key, const char *name, unsigned long type, const unsigned char *data,
                     unsigned long size)
{
    SimCountCall(SIM_OP_REG_SET_VALUE_EX, 1);
    long fault = Faulted(SIM_OP_REG_SET_VALUE_EX, 1, name);
    if (fault)
        return fault;
    int k = KeyOf(key);
    if (k < 0)
        return OS_ERROR_INVALID_HANDLE;
    if (!data && size)
        return OS_ERROR_INVALID_PARAMETER;
    if (Unwritable(k))
        return OS_ERROR_ACCESS_DENIED;
    return SetValue(k, name ? name : "", type, data, size);
}

long OsRegDeleteValue(OsKey key, const char *name)
{
    SimCountCall(SIM_OP_REG_DELETE_VALUE, 1);
    long fault = Faulted(SIM_OP_REG_DELETE_VALUE, 1, name);
    if (fault)
        return fault;
    int k = KeyOf(key);
    if (k < 0)
        return OS_ERROR_INVALID_HANDLE;
    if (Unwritable(k))
        return OS_ERROR_ACCESS_DENIED;
    int v = FindValue(k, name ? name : "");
    if (v < 0)
        return OS_ERROR_FILE_NOT_FOUND;
    DeleteValue(v);
    return 0;
}

long OsRegFlushKey(OsKey key)
{
    SimCountCall(SIM_OP_REG_FLUSH_KEY, 0);
    return KeyOf(key) >= 0 ? 0 : OS_ERROR_INVALID_HANDLE; // every change is whole already
}

long OsRegCloseKey(OsKey key)
{
    SimCountCall(SIM_OP_REG_CLOSE_KEY, 0);
    int k = KeyOf(key);
    if (k < 0)
        return OS_ERROR_INVALID_HANDLE;
    Reg()->openKey[((uintptr_t)key - HANDLE_BASE) / 16] = 0;
    return 0;
}
