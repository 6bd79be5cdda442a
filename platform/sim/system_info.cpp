// Drive types, the Windows folder and INI files on the simulated host.
// GetPrivateProfileStringA follows the rules of the real one: section and key names compared without regard to case and trimmed,
// values trimmed of surrounding blanks and of one pair of matching quotes,
// only the first section of a name searched, the default stripped of
// trailing spaces, and a bare file name looked up in the Windows folder.
#include "sim_internal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// GetDriveTypeA takes a root only: "C:\" (or "C:"), "\\server\share\".
unsigned OsGetDriveType(const char *root)
{
    SimCountCall(SIM_OP_GET_DRIVE_TYPE, 0);
    if (!SimEnsureHost())
        return OS_DRIVE_NO_ROOT_DIR;
    if (!root)
        return g_sim.driveType['C' - 'A'];
    size_t n = strlen(root);
    if (IsLetter(root[0]) && root[1] == ':' && (n == 2 || (n == 3 && (root[2] == '\\' || root[2] == '/')))) {
        char letter = root[0] >= 'a' ? (char)(root[0] - 'a' + 'A') : root[0];
        return g_sim.driveType[letter - 'A'];
    }
    if ((root[0] == '\\' || root[0] == '/') && (root[1] == '\\' || root[1] == '/')) {
        // A share root: server and share, a trailing separator at most.
        int separators = 0;
        for (size_t i = 2; i < n; i++)
            if (root[i] == '\\' || root[i] == '/')
                separators++;
        int trailing = root[n - 1] == '\\' || root[n - 1] == '/';
        if (separators == 1 || (separators == 2 && trailing)) {
            SimPath p;
            unsigned long error;
            if (SimResolve(root, &p, &error) && p.isRoot)
                return OS_DRIVE_REMOTE;
        }
    }
    return OS_DRIVE_NO_ROOT_DIR;
}

unsigned OsGetWindowsDirectory(char *buffer, unsigned size)
{
    SimCountCall(SIM_OP_GET_WINDOWS_DIRECTORY, 0);
    if (!SimEnsureHost() || !g_sim.windowsDirAvailable)
        return 0;
    unsigned length = (unsigned)strlen(g_sim.windowsDir);
    if (!buffer || size < length + 1)
        return length + 1;
    memcpy(buffer, g_sim.windowsDir, length + 1);
    return length;
}

static int IsBlank(char c)
{
    // CR and Ctrl+Z count as blanks too, as files from old media carry them.
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == 0x1A;
}

static void Trim(const char **text, size_t *length)
{
    while (*length && IsBlank(**text)) {
        (*text)++;
        (*length)--;
    }
    while (*length && IsBlank((*text)[*length - 1]))
        (*length)--;
}

static unsigned long CopyEntry(char *buffer, unsigned long size, const char *value, size_t length,
                               int stripQuotes)
{
    if (stripQuotes && length >= 2 && (value[0] == '"' || value[0] == '\'') && value[length - 1] == value[0]) {
        value++;
        length -= 2;
    }
    if (length > size - 1)
        length = size - 1;
    memcpy(buffer, value, length);
    buffer[length] = '\0';
    return (unsigned long)length;
}

static int SameName(const char *a, size_t aLength, const char *b, size_t bLength)
{
    return aLength == bLength && TextCompareNoCaseN(a, b, aLength) == 0;
}

// Finds the value of key in the first section called section. 1 with the
// value (trimmed) when the key is there with an "="; 0 otherwise.
static int FindEntry(const char *text, const char *section, const char *key, const char **value,
                     size_t *valueLength)
{
    const char *wantSection = section;
    size_t wantSectionLength = strlen(section);
    Trim(&wantSection, &wantSectionLength);
    const char *wantKey = key;
    size_t wantKeyLength = strlen(key);
    Trim(&wantKey, &wantKeyLength);

    int inside = 0;
    const char *p = text;
    while (*p) {
        const char *end = strchr(p, '\n');
        const char *line = p;
        size_t length = end ? (size_t)(end - p) : strlen(p);
        p = end ? end + 1 : p + length;
        Trim(&line, &length);
        if (!length)
            continue;
        if (line[0] == '[') {
            const char *close = NULL;
            for (size_t i = length; i-- > 1;)
                if (line[i] == ']') {
                    close = line + i;
                    break;
                }
            if (close) {
                if (inside)
                    return 0; // only the first section of that name counts
                inside = SameName(line + 1, (size_t)(close - line - 1), wantSection, wantSectionLength);
                continue;
            }
        }
        if (!inside)
            continue;
        const char *equals = (const char *)memchr(line, '=', length);
        const char *name = line;
        size_t nameLength = equals ? (size_t)(equals - line) : length;
        Trim(&name, &nameLength);
        if (!SameName(name, nameLength, wantKey, wantKeyLength))
            continue;
        if (!equals)
            return 0;
        *value = equals + 1;
        *valueLength = length - (size_t)(equals + 1 - line);
        Trim(value, valueLength);
        return 1;
    }
    return 0;
}

static char *ReadWholeFile(const char *posix)
{
    FILE *fp = fopen(posix, "rb");
    if (!fp)
        return NULL;
    char *text = NULL;
    size_t length = 0, capacity = 0;
    for (;;) {
        if (length + 4097 > capacity) {
            size_t wanted = capacity ? capacity * 2 : 8192;
            char *bigger = (char *)realloc(text, wanted);
            if (!bigger) {
                free(text);
                fclose(fp);
                return NULL;
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
    return text;
}

unsigned long OsGetPrivateProfileString(const char *section, const char *key, const char *def, char *buffer,
                                        unsigned long size, const char *file)
{
    SimCountCall(SIM_OP_GET_PRIVATE_PROFILE_STRING, 0);
    if (!buffer || size == 0)
        return 0;
    buffer[0] = '\0';
    if (!section || !key || !key[0])
        return 0;
    if (!def)
        def = "";
    size_t defLength = strlen(def);
    while (defLength && def[defLength - 1] == ' ')
        defLength--;

    char full[OS_PATH_BUFFER];
    const char *name = file ? file : "win.ini";
    int bare = !strchr(name, '\\') && !strchr(name, '/') && !(name[0] && name[1] == ':');
    if (bare) {
        if (!SimEnsureHost() || !g_sim.windowsDirAvailable ||
            !TextFormat(full, sizeof full, "%s\\%s", g_sim.windowsDir, name))
            return CopyEntry(buffer, size, def, defLength, 0);
        name = full;
    }
    SimPath p;
    unsigned long error;
    if (!SimResolve(name, &p, &error))
        return CopyEntry(buffer, size, def, defLength, 0);
    if (!p.exists)
        return CopyEntry(buffer, size, def, defLength, SimMissingError(&p) == OS_ERROR_FILE_NOT_FOUND);
    char *text = SimIsFolder(p.posix, &p.st) ? NULL : ReadWholeFile(p.posix);
    if (!text)
        return CopyEntry(buffer, size, def, defLength, 0);
    const char *start = text;
    char *converted = NULL;
    if ((unsigned char)start[0] == 0xEF && (unsigned char)start[1] == 0xBB && (unsigned char)start[2] == 0xBF) {
        start += 3;
    } else {
        // Without a byte-order mark Windows reads the file in the ANSI code
        // page; the host's text is UTF-8.
        size_t capacity = 3 * strlen(text) + 1;
        converted = (char *)malloc(capacity);
        if (converted && OsAnsiToUtf8(text, converted, capacity))
            start = converted;
    }
    const char *value = NULL;
    size_t valueLength = 0;
    unsigned long copied = FindEntry(start, section, key, &value, &valueLength)
                               ? CopyEntry(buffer, size, value, valueLength, 1)
                               : CopyEntry(buffer, size, def, defLength, 1);
    free(converted);
    free(text);
    return copied;
}
