// The simulated registry: HKCU and HKLM each kept in a file under the host
// root in the text format regedit exports ("Windows Registry Editor Version
// 5.00"), so a person can read it and import it into Windows. Every call
// reads the file; every change writes a new file, flushes it and renames it
// over the old one, so a write is on disk, whole, before the call returns.
#include "sim_internal.h"

#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#define MAX_OPEN_KEYS 512
#define KEY_PATH_MAX 1024
#define HANDLE_BASE 0x52000000u

typedef struct RegValue {
    char *name;
    unsigned long type;
    unsigned char *data;
    unsigned long size;
} RegValue;

typedef struct RegKey {
    char *path; // below the root, "" for the root itself
    RegValue *values;
    int count, capacity;
} RegKey;

typedef struct RegStore {
    RegKey *keys;
    int count, capacity;
} RegStore;

typedef struct OpenKey {
    int used;
    OsRootKey root;
    char path[KEY_PATH_MAX];
} OpenKey;

static OpenKey s_open[MAX_OPEN_KEYS];

static const char *RootName(OsRootKey root)
{
    return root == OS_HKEY_CURRENT_USER ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

static int RootFile(OsRootKey root, char *out, size_t size, const char *suffix)
{
    return TextFormat(out, size, "%s/registry/%s.reg%s", g_sim.root,
                      root == OS_HKEY_CURRENT_USER ? "HKCU" : "HKLM", suffix);
}

static int ValidRoot(OsRootKey root)
{
    return root == OS_HKEY_CURRENT_USER || root == OS_HKEY_LOCAL_MACHINE;
}

// --- In-memory store --------------------------------------------------------

static char *Duplicate(const char *text, size_t length)
{
    char *copy = (char *)malloc(length + 1);
    if (copy) {
        memcpy(copy, text, length);
        copy[length] = '\0';
    }
    return copy;
}

static void FreeStore(RegStore *store)
{
    for (int i = 0; i < store->count; i++) {
        RegKey *key = &store->keys[i];
        for (int j = 0; j < key->count; j++) {
            free(key->values[j].name);
            free(key->values[j].data);
        }
        free(key->values);
        free(key->path);
    }
    free(store->keys);
    store->keys = NULL;
    store->count = store->capacity = 0;
}

static int FindKey(const RegStore *store, const char *path)
{
    for (int i = 0; i < store->count; i++)
        if (TextCompareNoCase(store->keys[i].path, path) == 0)
            return i;
    return -1;
}

// A key exists when it has a section, or a key below it has one.
static int KeyExists(const RegStore *store, const char *path)
{
    if (!path[0] || FindKey(store, path) >= 0)
        return 1;
    size_t n = strlen(path);
    for (int i = 0; i < store->count; i++)
        if (strlen(store->keys[i].path) > n && store->keys[i].path[n] == '\\' &&
            TextCompareNoCaseN(store->keys[i].path, path, n) == 0)
            return 1;
    return 0;
}

static RegKey *AddKey(RegStore *store, const char *path, size_t length)
{
    char *copy = Duplicate(path, length);
    if (!copy)
        return NULL;
    int found = FindKey(store, copy);
    if (found >= 0) {
        free(copy);
        return &store->keys[found];
    }
    if (store->count == store->capacity) {
        int wanted = store->capacity ? store->capacity * 2 : 16;
        RegKey *bigger = (RegKey *)realloc(store->keys, (size_t)wanted * sizeof(RegKey));
        if (!bigger) {
            free(copy);
            return NULL;
        }
        store->keys = bigger;
        store->capacity = wanted;
    }
    RegKey *key = &store->keys[store->count++];
    memset(key, 0, sizeof *key);
    key->path = copy;
    return key;
}

static int FindValue(const RegKey *key, const char *name)
{
    for (int i = 0; i < key->count; i++)
        if (TextCompareNoCase(key->values[i].name, name) == 0)
            return i;
    return -1;
}

static int SetValue(RegKey *key, const char *name, unsigned long type, const unsigned char *data,
                    unsigned long size)
{
    unsigned char *copy = (unsigned char *)malloc(size ? size : 1);
    if (!copy)
        return 0;
    if (size)
        memcpy(copy, data, size);
    int i = FindValue(key, name);
    if (i < 0) {
        if (key->count == key->capacity) {
            int wanted = key->capacity ? key->capacity * 2 : 8;
            RegValue *bigger = (RegValue *)realloc(key->values, (size_t)wanted * sizeof(RegValue));
            if (!bigger) {
                free(copy);
                return 0;
            }
            key->values = bigger;
            key->capacity = wanted;
        }
        char *nameCopy = Duplicate(name, strlen(name));
        if (!nameCopy) {
            free(copy);
            return 0;
        }
        i = key->count++;
        key->values[i].name = nameCopy;
        key->values[i].data = NULL;
    }
    free(key->values[i].data);
    key->values[i].data = copy;
    key->values[i].type = type;
    key->values[i].size = size;
    return 1;
}

static void DeleteValue(RegKey *key, int index)
{
    free(key->values[index].name);
    free(key->values[index].data);
    memmove(&key->values[index], &key->values[index + 1],
            (size_t)(key->count - index - 1) * sizeof(RegValue));
    key->count--;
}

// --- Reading the .reg text ----------------------------------------------------

static int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A quoted text with \\ and \" escapes; p is past the opening quote. Gives
// the length written to out (which has room for the whole line).
static size_t ParseQuoted(const char **p, char *out)
{
    size_t n = 0;
    const char *s = *p;
    while (*s && *s != '"') {
        if (*s == '\\' && (s[1] == '\\' || s[1] == '"'))
            s++;
        out[n++] = *s++;
    }
    if (*s == '"')
        s++;
    *p = s;
    return n;
}

static size_t ParseHexBytes(const char *s, unsigned char *out)
{
    size_t n = 0;
    while (*s) {
        while (*s == ' ' || *s == '\t' || *s == ',')
            s++;
        int high = HexDigit(s[0]);
        int low = high >= 0 ? HexDigit(s[1]) : -1;
        if (low < 0)
            break;
        out[n++] = (unsigned char)(high * 16 + low);
        s += 2;
    }
    return n;
}

static void ParseValueLine(RegKey *key, const char *line, char *scratch)
{
    const char *p = line;
    char *name = scratch;
    size_t nameLength = 0;
    if (*p == '@') {
        p++;
    } else {
        p++;
        nameLength = ParseQuoted(&p, name);
    }
    name[nameLength] = '\0';
    while (*p == ' ')
        p++;
    if (*p++ != '=')
        return;
    while (*p == ' ')
        p++;
    char *data = scratch + nameLength + 1;
    if (*p == '"') {
        p++;
        size_t n = ParseQuoted(&p, data);
        data[n++] = '\0';
        SetValue(key, name, OS_REG_SZ, (unsigned char *)data, (unsigned long)n);
    } else if (TextCompareNoCaseN(p, "dword:", 6) == 0) {
        unsigned long value = strtoul(p + 6, NULL, 16);
        unsigned char bytes[4] = {(unsigned char)value, (unsigned char)(value >> 8),
                                  (unsigned char)(value >> 16), (unsigned char)(value >> 24)};
        SetValue(key, name, OS_REG_DWORD, bytes, 4);
    } else if (TextCompareNoCaseN(p, "hex:", 4) == 0) {
        size_t n = ParseHexBytes(p + 4, (unsigned char *)data);
        SetValue(key, name, OS_REG_BINARY, (unsigned char *)data, (unsigned long)n);
    } else if (TextCompareNoCaseN(p, "hex(", 4) == 0) {
        char *end = NULL;
        unsigned long type = strtoul(p + 4, &end, 16);
        if (!end || end[0] != ')' || end[1] != ':')
            return;
        size_t n = ParseHexBytes(end + 2, (unsigned char *)data);
        SetValue(key, name, type, (unsigned char *)data, (unsigned long)n);
    }
}

static void ParseLine(OsRootKey root, RegStore *store, RegKey **current, char *line, char *scratch)
{
    while (*line == ' ' || *line == '\t')
        line++;
    size_t n = strlen(line);
    while (n && (line[n - 1] == ' ' || line[n - 1] == '\t' || line[n - 1] == '\r'))
        line[--n] = '\0';
    if (!n || line[0] == ';')
        return;
    if (line[0] == '[') {
        *current = NULL;
        char *close = strrchr(line, ']');
        if (!close || line[1] == '-')
            return;
        *close = '\0';
        const char *rootName = RootName(root);
        size_t rootLength = strlen(rootName);
        const char *path = line + 1;
        if (TextCompareNoCaseN(path, rootName, rootLength) != 0 ||
            (path[rootLength] != '\\' && path[rootLength] != '\0'))
            return;
        path += rootLength;
        if (*path == '\\')
            path++;
        *current = AddKey(store, path, strlen(path));
    } else if ((line[0] == '"' || line[0] == '@') && *current) {
        ParseValueLine(*current, line, scratch);
    }
}

// 0, or a Win32 error. A missing file is an empty root.
static unsigned long LoadStore(OsRootKey root, RegStore *store)
{
    memset(store, 0, sizeof *store);
    char path[SIM_POSIX_MAX];
    RootFile(root, path, sizeof path, "");
    FILE *fp = fopen(path, "rb");
    if (!fp)
        return errno == ENOENT ? 0 : SIM_ERROR_REGISTRY_IO_FAILED;
    char *text = NULL;
    size_t length = 0, capacity = 0;
    for (;;) {
        if (length + 4096 + 1 > capacity) {
            size_t wanted = capacity ? capacity * 2 : 8192;
            char *bigger = (char *)realloc(text, wanted);
            if (!bigger) {
                free(text);
                fclose(fp);
                return SIM_ERROR_NOT_ENOUGH_MEMORY;
            }
            text = bigger;
            capacity = wanted;
        }
        size_t n = fread(text + length, 1, 4096, fp);
        length += n;
        if (n == 0)
            break;
    }
    fclose(fp);
    text[length] = '\0';
    // One logical line at a time; a hex list ending in ",\" goes on.
    char *line = (char *)malloc(length + 1);
    char *scratch = (char *)malloc(2 * length + 2);
    if (!line || !scratch) {
        free(text);
        free(line);
        free(scratch);
        return SIM_ERROR_NOT_ENOUGH_MEMORY;
    }
    RegKey *current = NULL;
    size_t used = 0;
    const char *p = text;
    if ((unsigned char)p[0] == 0xEF && (unsigned char)p[1] == 0xBB && (unsigned char)p[2] == 0xBF)
        p += 3;
    while (*p) {
        const char *end = strchr(p, '\n');
        size_t n = end ? (size_t)(end - p) : strlen(p);
        size_t start = used;
        const char *piece = p;
        if (used > 0) {
            while (n && (*piece == ' ' || *piece == '\t')) {
                piece++;
                n--;
            }
        }
        memcpy(line + used, piece, n);
        used += n;
        while (used > start && (line[used - 1] == '\r' || line[used - 1] == ' '))
            used--;
        line[used] = '\0';
        p = end ? end + 1 : p + strlen(p);
        if (used >= 2 && line[used - 1] == '\\' && line[used - 2] == ',') {
            used--;
            continue;
        }
        ParseLine(root, store, &current, line, scratch);
        used = 0;
    }
    if (used)
        ParseLine(root, store, &current, line, scratch);
    free(line);
    free(scratch);
    free(text);
    return 0;
}

// --- Writing the .reg text ----------------------------------------------------

typedef struct Buffer {
    char *data;
    size_t length, capacity;
    int failed;
} Buffer;

static void Put(Buffer *b, const char *text, size_t n)
{
    if (b->failed)
        return;
    if (b->length + n + 1 > b->capacity) {
        size_t wanted = b->capacity ? b->capacity * 2 : 4096;
        while (wanted < b->length + n + 1)
            wanted *= 2;
        char *bigger = (char *)realloc(b->data, wanted);
        if (!bigger) {
            b->failed = 1;
            return;
        }
        b->data = bigger;
        b->capacity = wanted;
    }
    memcpy(b->data + b->length, text, n);
    b->length += n;
    b->data[b->length] = '\0';
}

static void PutText(Buffer *b, const char *text)
{
    Put(b, text, strlen(text));
}

static void PutQuoted(Buffer *b, const char *text, size_t n)
{
    Put(b, "\"", 1);
    for (size_t i = 0; i < n; i++) {
        if (text[i] == '\\' || text[i] == '"')
            Put(b, "\\", 1);
        Put(b, &text[i], 1);
    }
    Put(b, "\"", 1);
}

// A REG_SZ that regedit can show as "text": one terminator, no control bytes.
static int PlainText(const RegValue *v)
{
    if (v->type != OS_REG_SZ || v->size == 0 || v->data[v->size - 1] != 0)
        return 0;
    for (unsigned long i = 0; i + 1 < v->size; i++)
        if (v->data[i] < 0x20 || v->data[i] == 0x7F)
            return 0;
    return 1;
}

static size_t LineLength(const Buffer *b)
{
    size_t n = 0;
    while (n < b->length && b->data[b->length - 1 - n] != '\n')
        n++;
    return n;
}

static void PutValue(Buffer *b, const RegValue *v)
{
    if (v->name[0])
        PutQuoted(b, v->name, strlen(v->name));
    else
        Put(b, "@", 1);
    Put(b, "=", 1);
    char token[32];
    if (PlainText(v)) {
        PutQuoted(b, (const char *)v->data, v->size - 1);
    } else if (v->type == OS_REG_DWORD && v->size == 4) {
        unsigned long value = (unsigned long)v->data[0] | ((unsigned long)v->data[1] << 8) |
                              ((unsigned long)v->data[2] << 16) | ((unsigned long)v->data[3] << 24);
        TextFormat(token, sizeof token, "dword:%08lx", value);
        PutText(b, token);
    } else {
        if (v->type == OS_REG_BINARY)
            PutText(b, "hex:");
        else {
            TextFormat(token, sizeof token, "hex(%lx):", v->type);
            PutText(b, token);
        }
        // Lines of at most 80 characters, as regedit wraps them.
        for (unsigned long i = 0; i < v->size; i++) {
            TextFormat(token, sizeof token, "%02x%s", v->data[i], i + 1 < v->size ? "," : "");
            if (LineLength(b) + strlen(token) > 77 && i + 1 < v->size) {
                PutText(b, "\\\r\n  ");
            }
            PutText(b, token);
        }
    }
    PutText(b, "\r\n");
}

static const RegStore *s_sortStore;

static int CompareKeys(const void *a, const void *b)
{
    const RegKey *x = &s_sortStore->keys[*(const int *)a];
    const RegKey *y = &s_sortStore->keys[*(const int *)b];
    return TextCompareNoCase(x->path, y->path);
}

static int WriteAll(int fd, const char *data, size_t n)
{
    while (n) {
        ssize_t w = write(fd, data, n);
        if (w < 0)
            return 0;
        data += w;
        n -= (size_t)w;
    }
    return 1;
}

// Writes the root's file: the whole text to a temporary file, flushed to
// disk, then renamed over the old one and the folder flushed.
static unsigned long SaveStore(OsRootKey root, const RegStore *store)
{
    Buffer b = {NULL, 0, 0, 0};
    PutText(&b, "Windows Registry Editor Version 5.00\r\n\r\n");
    int *order = (int *)malloc((size_t)(store->count ? store->count : 1) * sizeof(int));
    if (!order)
        return SIM_ERROR_NOT_ENOUGH_MEMORY;
    for (int i = 0; i < store->count; i++)
        order[i] = i;
    s_sortStore = store;
    qsort(order, (size_t)store->count, sizeof(int), CompareKeys);
    for (int i = 0; i < store->count; i++) {
        const RegKey *key = &store->keys[order[i]];
        if (!key->path[0] && key->count == 0)
            continue;
        PutText(&b, "[");
        PutText(&b, RootName(root));
        if (key->path[0]) {
            PutText(&b, "\\");
            PutText(&b, key->path);
        }
        PutText(&b, "]\r\n");
        for (int j = 0; j < key->count; j++)
            PutValue(&b, &key->values[j]);
        PutText(&b, "\r\n");
    }
    free(order);
    if (b.failed) {
        free(b.data);
        return SIM_ERROR_NOT_ENOUGH_MEMORY;
    }
    char path[SIM_POSIX_MAX], temp[SIM_POSIX_MAX], folder[SIM_POSIX_MAX];
    RootFile(root, path, sizeof path, "");
    RootFile(root, temp, sizeof temp, ".tmp");
    TextFormat(folder, sizeof folder, "%s/registry", g_sim.root);
    unsigned long error = 0;
    int fd = open(temp, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        error = SIM_ERROR_REGISTRY_IO_FAILED;
    } else {
        if (!WriteAll(fd, b.data, b.length) || fsync(fd) != 0)
            error = SIM_ERROR_REGISTRY_IO_FAILED;
        if (close(fd) != 0)
            error = SIM_ERROR_REGISTRY_IO_FAILED;
        if (!error && rename(temp, path) != 0)
            error = SIM_ERROR_REGISTRY_IO_FAILED;
        if (error)
            unlink(temp);
    }
    free(b.data);
    if (!error) {
        int dir = open(folder, O_RDONLY | O_DIRECTORY);
        if (dir >= 0) {
            fsync(dir);
            close(dir);
        }
    }
    return error;
}

void SimRegistryReset(void)
{
    memset(s_open, 0, sizeof s_open);
    RegStore empty = {NULL, 0, 0};
    SaveStore(OS_HKEY_CURRENT_USER, &empty);
    SaveStore(OS_HKEY_LOCAL_MACHINE, &empty);
}

void SimRegistryEnsure(void)
{
    RegStore empty = {NULL, 0, 0};
    for (int r = OS_HKEY_CURRENT_USER; r <= OS_HKEY_LOCAL_MACHINE; r++) {
        char path[SIM_POSIX_MAX];
        RootFile((OsRootKey)r, path, sizeof path, "");
        if (access(path, F_OK) != 0)
            SaveStore((OsRootKey)r, &empty);
    }
}

// --- Keys and the operations ----------------------------------------------------

// "A\\B\" as "A\B": separators folded to one, none at the ends.
static int NormalizeKeyPath(const char *subKey, char *out)
{
    size_t n = 0;
    for (const char *p = subKey ? subKey : ""; *p; p++) {
        if (*p == '\\' && (n == 0 || out[n - 1] == '\\'))
            continue;
        if (n + 1 >= KEY_PATH_MAX)
            return 0;
        out[n++] = *p;
    }
    if (n && out[n - 1] == '\\')
        n--;
    out[n] = '\0';
    return 1;
}

static OpenKey *KeyOf(OsKey key)
{
    uintptr_t value = (uintptr_t)key;
    if (value < HANDLE_BASE || (value - HANDLE_BASE) % 16 != 0)
        return NULL;
    uintptr_t slot = (value - HANDLE_BASE) / 16;
    if (slot >= MAX_OPEN_KEYS || !s_open[slot].used)
        return NULL;
    return &s_open[slot];
}

static long GiveHandle(OsRootKey root, const char *path, OsKey *key)
{
    for (int i = 0; i < MAX_OPEN_KEYS; i++) {
        if (s_open[i].used)
            continue;
        s_open[i].used = 1;
        s_open[i].root = root;
        TextCopy(s_open[i].path, sizeof s_open[i].path, path);
        *key = (OsKey)(uintptr_t)(HANDLE_BASE + 16u * (unsigned)i);
        return 0;
    }
    return SIM_ERROR_NOT_ENOUGH_MEMORY;
}

long OsRegOpenKey(OsRootKey root, const char *subKey, OsKey *key)
{
    SimCountCall("RegOpenKey");
    char path[KEY_PATH_MAX];
    if (!key || !ValidRoot(root))
        return !key ? OS_ERROR_INVALID_PARAMETER : OS_ERROR_INVALID_HANDLE;
    if (!NormalizeKeyPath(subKey, path))
        return OS_ERROR_INVALID_PARAMETER;
    if (!SimEnsureHost())
        return SIM_ERROR_REGISTRY_IO_FAILED;
    RegStore store;
    unsigned long error = LoadStore(root, &store);
    if (error)
        return (long)error;
    int exists = KeyExists(&store, path);
    FreeStore(&store);
    if (!exists)
        return OS_ERROR_FILE_NOT_FOUND;
    return GiveHandle(root, path, key);
}

long OsRegCreateKey(OsRootKey root, const char *subKey, OsKey *key)
{
    SimCountCall("RegCreateKey");
    char path[KEY_PATH_MAX];
    if (!key || !ValidRoot(root))
        return !key ? OS_ERROR_INVALID_PARAMETER : OS_ERROR_INVALID_HANDLE;
    if (!NormalizeKeyPath(subKey, path))
        return OS_ERROR_INVALID_PARAMETER;
    if (!SimEnsureHost())
        return SIM_ERROR_REGISTRY_IO_FAILED;
    if (!g_sim.registryWritable[root - 1])
        return OS_ERROR_ACCESS_DENIED;
    RegStore store;
    unsigned long error = LoadStore(root, &store);
    if (error)
        return (long)error;
    if (!KeyExists(&store, path)) {
        // Each missing key on the way gets its own section, as regedit writes.
        size_t n = strlen(path);
        for (size_t i = 1; i <= n && !error; i++)
            if (i == n || path[i] == '\\')
                if (!AddKey(&store, path, i))
                    error = SIM_ERROR_NOT_ENOUGH_MEMORY;
        if (!error)
            error = SaveStore(root, &store);
    }
    FreeStore(&store);
    if (error)
        return (long)error;
    return GiveHandle(root, path, key);
}

long OsRegQueryValueEx(OsKey key, const char *name, unsigned long *type, unsigned char *data,
                       unsigned long *size)
{
    SimCountCall("RegQueryValueEx");
    OpenKey *open = KeyOf(key);
    if (!open)
        return OS_ERROR_INVALID_HANDLE;
    if (data && !size)
        return OS_ERROR_INVALID_PARAMETER;
    RegStore store;
    unsigned long error = LoadStore(open->root, &store);
    if (error)
        return (long)error;
    long result = 0;
    int k = FindKey(&store, open->path);
    int v = k >= 0 ? FindValue(&store.keys[k], name ? name : "") : -1;
    if (!KeyExists(&store, open->path)) {
        result = SIM_ERROR_KEY_DELETED;
    } else if (v < 0) {
        result = OS_ERROR_FILE_NOT_FOUND;
    } else {
        const RegValue *value = &store.keys[k].values[v];
        if (type)
            *type = value->type;
        if (data && *size < value->size)
            result = OS_ERROR_MORE_DATA;
        else if (data && value->size)
            memcpy(data, value->data, value->size);
        if (size)
            *size = value->size;
    }
    FreeStore(&store);
    return result;
}

// Loads the key's root for a change; 0 with the key found, or an error.
static long LoadForChange(OpenKey *open, RegStore *store, int *keyIndex)
{
    if (!g_sim.registryWritable[open->root - 1])
        return OS_ERROR_ACCESS_DENIED;
    unsigned long error = LoadStore(open->root, store);
    if (error)
        return (long)error;
    if (!KeyExists(store, open->path)) {
        FreeStore(store);
        return SIM_ERROR_KEY_DELETED;
    }
    *keyIndex = FindKey(store, open->path);
    return 0;
}

long OsRegSetValueEx(OsKey key, const char *name, unsigned long type, const unsigned char *data,
                     unsigned long size)
{
    SimCountCall("RegSetValueEx");
    OpenKey *open = KeyOf(key);
    if (!open)
        return OS_ERROR_INVALID_HANDLE;
    if (!data && size)
        return OS_ERROR_INVALID_PARAMETER;
    RegStore store;
    int k = -1;
    long result = LoadForChange(open, &store, &k);
    if (result)
        return result;
    RegKey *target = k >= 0 ? &store.keys[k] : AddKey(&store, open->path, strlen(open->path));
    if (!target || !SetValue(target, name ? name : "", type, data, size))
        result = SIM_ERROR_NOT_ENOUGH_MEMORY;
    else
        result = (long)SaveStore(open->root, &store);
    FreeStore(&store);
    return result;
}

long OsRegDeleteValue(OsKey key, const char *name)
{
    SimCountCall("RegDeleteValue");
    OpenKey *open = KeyOf(key);
    if (!open)
        return OS_ERROR_INVALID_HANDLE;
    RegStore store;
    int k = -1;
    long result = LoadForChange(open, &store, &k);
    if (result)
        return result;
    int v = k >= 0 ? FindValue(&store.keys[k], name ? name : "") : -1;
    if (v < 0) {
        result = OS_ERROR_FILE_NOT_FOUND;
    } else {
        DeleteValue(&store.keys[k], v);
        result = (long)SaveStore(open->root, &store);
    }
    FreeStore(&store);
    return result;
}

long OsRegFlushKey(OsKey key)
{
    SimCountCall("RegFlushKey");
    return KeyOf(key) ? 0 : OS_ERROR_INVALID_HANDLE; // every change is already on disk
}

long OsRegCloseKey(OsKey key)
{
    SimCountCall("RegCloseKey");
    OpenKey *open = KeyOf(key);
    if (!open)
        return OS_ERROR_INVALID_HANDLE;
    open->used = 0;
    return 0;
}
