// Identity of files on the simulated host: the POSIX device and inode behind
// a Windows path, names compared as the host compares them, and waits that
// only count.
#include "sim_internal.h"

#include <sys/stat.h>

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

void OsSleep(unsigned milliseconds)
{
    SimCountCall(SIM_OP_SLEEP, 0);
    g_sim.slept += milliseconds;
    if (g_sim.sleepHook != NULL)
        g_sim.sleepHook(g_sim.sleepHookContext);
}

unsigned long SimSleptMilliseconds(void)
{
    return g_sim.slept;
}

void SimSetSleepHook(SimHook hook, void *context)
{
    g_sim.sleepHook = hook;
    g_sim.sleepHookContext = context;
}
