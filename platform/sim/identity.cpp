// Path identity on the simulated host: the canonical and long forms of a
// path, the POSIX device and inode behind a path or an open stream, and
// names compared as the host compares them.
#include "sim_internal.h"

#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

static int IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

int OsGetFullPathName(const char *path, char *out)
{
    SimCountCall(SIM_OP_GET_FULL_PATH_NAME, 0);
    if (!out)
        return 0;
    out[0] = '\0';
    // "\\?\" turns off the parsing: the path is given back as it is.
    if (path && SimIsDeviceDrivePath(path) && path[2] == '?') {
        if (TextCopyPath(out, path))
            return 1;
        SimSetLastError(SIM_ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    const char *rest = NULL;
    char full[2 * OS_PATH_BUFFER];
    SimComponent parts[SIM_MAX_COMPONENTS];
    int count = 0, asksForFolder = 0;
    // Relative and drive-relative paths would need a current folder, which
    // the simulated host does not keep.
    if (!path || !SimRootText(path, full, sizeof full, &rest) || (path[1] == ':' && !IsSeparator(path[2])) ||
        !SimSplitComponents(rest, parts, &count, &asksForFolder)) {
        SimSetLastError(SIM_ERROR_INVALID_NAME);
        return 0;
    }
    for (size_t i = 0; full[i]; i++)
        if (full[i] == '/')
            full[i] = '\\';
    for (int i = 0; i < count; i++) {
        size_t have = strlen(full);
        if (have + parts[i].length + 2 >= sizeof full)
            break;
        memcpy(full + have, parts[i].text, parts[i].length);
        full[have + parts[i].length] = '\0';
        if (i + 1 < count)
            TextAppend(full, sizeof full, "\\");
    }
    if (asksForFolder)
        TextAppend(full, sizeof full, "\\");
    if (!TextCopyPath(out, full)) {
        SimSetLastError(SIM_ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    return 1;
}

int OsGetLongPathName(const char *path, char *out)
{
    SimCountCall(SIM_OP_GET_LONG_PATH_NAME, 0);
    if (!out)
        return 0;
    out[0] = '\0';
    SimPath p;
    unsigned long error;
    if (!path || !SimResolve(path, &p, &error)) {
        SimSetLastError(path ? error : OS_ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!p.exists) {
        SimSetLastError(SimMissingError(&p));
        return 0;
    }
    // The resolved POSIX path holds every component as it is on disk; the
    // part below the volume's folder is the long form.
    char base[SIM_POSIX_MAX];
    if (p.letter)
        TextFormat(base, sizeof base, "%s/drives/%c", g_sim.root, p.letter);
    else
        TextCopy(base, sizeof base, "");
    const char *rest = NULL;
    char full[2 * OS_PATH_BUFFER];
    if (!SimRootText(path, full, sizeof full, &rest))
        return 0;
    const char *below = p.posix;
    if (p.letter) {
        below = p.posix + strlen(base);
    } else {
        // <root>/unc/server/share
        below = p.posix + strlen(g_sim.root) + 5;
        for (int slashes = 0; *below && slashes < 2; below++)
            if (*below == '/')
                slashes++;
        below--;
    }
    if (*below == '/')
        below++;
    size_t have = strlen(full);
    for (const char *c = below; *c && have + 1 < sizeof full; c++)
        full[have++] = *c == '/' ? '\\' : *c;
    full[have] = '\0';
    size_t length = strlen(path);
    if (!p.isRoot && IsSeparator(path[length - 1]))
        TextAppend(full, sizeof full, "\\");
    if (!TextCopyPath(out, full)) {
        SimSetLastError(SIM_ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    return 1;
}

// The device and inode behind a path, following its links as CreateFile
// does. 0 with the last error set when it can't be reached.
static int FileIdentity(const char *path, struct stat *st)
{
    SimPath p;
    unsigned long error;
    if (!path || !SimResolve(path, &p, &error)) {
        SimSetLastError(path ? error : OS_ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!p.exists || stat(p.posix, st) != 0) {
        SimSetLastError(SimMissingError(&p));
        return 0;
    }
    return 1;
}

int OsSameFile(const char *a, const char *b)
{
    SimCountCall(SIM_OP_SAME_FILE, 0);
    if (SimFaultHit(SIM_OP_SAME_FILE, 0, a, b))
        return -1;
    struct stat first, second;
    if (!FileIdentity(a, &first) || !FileIdentity(b, &second))
        return -1;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

int OsSameOpenFile(OsFile *a, OsFile *b)
{
    SimCountCall(SIM_OP_SAME_FILE, 0);
    const char *pathA, *pathB;
    FILE *first = SimStreamOf(a, &pathA), *second = SimStreamOf(b, &pathB);
    if (!first || !second)
        return -1;
    if (SimFaultHit(SIM_OP_SAME_FILE, 0, pathA, pathB))
        return -1;
    struct stat firstStat, secondStat;
    if (fstat(fileno(first), &firstStat) != 0 || fstat(fileno(second), &secondStat) != 0)
        return -1;
    return firstStat.st_dev == secondStat.st_dev && firstStat.st_ino == secondStat.st_ino;
}

// The next code point of UTF-8 text; a stray byte stands for itself, so
// bytes that are no text still compare as bytes.
unsigned long SimNextCodePoint(const unsigned char **text)
{
    const unsigned char *c = *text;
    int extra = *c >= 0xF0 ? 3 : *c >= 0xE0 ? 2 : *c >= 0xC0 ? 1 : 0;
    unsigned long point = extra ? (unsigned long)(*c & (0x3F >> extra)) : *c;
    for (int i = 1; i <= extra; i++) {
        if ((c[i] & 0xC0) != 0x80) {
            *text = c + 1;
            return 0x110000ul + *c;
        }
        point = (point << 6) | (c[i] & 0x3F);
    }
    *text = c + 1 + extra;
    return point;
}

// Simple case folding, as the file system's upcase table treats these
// scripts: Latin-1, Latin Extended-A, Greek and Cyrillic.
unsigned long SimFoldCodePoint(unsigned long c)
{
    if (c >= 'A' && c <= 'Z')
        return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 32;
    if (c == 0x178)
        return 0xFF;
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F) {
        // Upper case first in each pair: even from 0x100, odd between 0x139
        // and 0x148 and from 0x179.
        int oddPairs = (c >= 0x139 && c <= 0x148) || c >= 0x179;
        return ((c & 1) != 0) == oddPairs ? c + 1 : c;
    }
    if ((c >= 0x391 && c <= 0x3A9 && c != 0x3A2))
        return c + 32;
    if (c == 0x3C2)
        return 0x3C3; // final sigma is sigma
    if (c == 0x386)
        return 0x3AC;
    if (c >= 0x388 && c <= 0x38A)
        return c + 37;
    if (c == 0x38C)
        return 0x3CC;
    if (c == 0x38E || c == 0x38F)
        return c + 63;
    if (c >= 0x410 && c <= 0x42F)
        return c + 32;
    if (c >= 0x400 && c <= 0x40F)
        return c + 80;
    if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F))
        return (c & 1) == 0 ? c + 1 : c;
    if (c >= 0x4C1 && c <= 0x4CE)
        return (c & 1) != 0 ? c + 1 : c;
    return c;
}

int OsNamesEqualNoCase(const char *a, const char *b)
{
    if (!a || !b)
        return a == b;
    const unsigned char *left = (const unsigned char *)a;
    const unsigned char *right = (const unsigned char *)b;
    while (*left != '\0' && *right != '\0')
        if (SimFoldCodePoint(SimNextCodePoint(&left)) != SimFoldCodePoint(SimNextCodePoint(&right)))
            return 0;
    return *left == '\0' && *right == '\0';
}
