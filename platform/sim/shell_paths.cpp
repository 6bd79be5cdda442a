// The shell path functions (shlwapi) on the simulated host, following what
// PathAppendA, PathAddBackslashA, PathRemoveBackslashA, PathMatchSpecA and
// PathStripToRootA do on Windows, except that nothing is ever written past
// OS_MAX_PATH: where Windows would overrun or empty the buffer these refuse
// and leave the path as it was.
#include "sim_internal.h"

#include <string.h>

static char Upper(char c)
{
    return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c;
}

static int IsUnc(const char *path)
{
    return path[0] == '\\' && path[1] == '\\';
}

static int IsRelative(const char *path)
{
    return !path[0] || !(path[0] == '\\' || path[1] == ':');
}

// "\\server\share" with no further backslash (PathIsUNCServerShareA).
static int IsUncServerShare(const char *path)
{
    if (!IsUnc(path))
        return 0;
    int seen = 0;
    for (const char *p = path + 2; *p; p++)
        if (*p == '\\') {
            if (seen)
                return 0;
            seen = 1;
        }
    return seen;
}

// PathIsRootA: "\", "X:\", "\\server" or "\\server\share".
static int IsRoot(const char *path)
{
    if (!path[0])
        return 0;
    if (path[0] == '\\') {
        if (!path[1])
            return 1;
        if (path[1] != '\\')
            return 0;
        int seen = 0;
        for (const char *p = path + 2; *p; p++)
            if (*p == '\\') {
                if (seen)
                    return 0;
                seen = 1;
            }
        return 1;
    }
    return path[1] == ':' && path[2] == '\\' && path[3] == '\0';
}

// PathRemoveFileSpecA: cuts the last name; 0 when nothing was cut.
static int RemoveFileSpec(char *path)
{
    char *mask = path;
    if (*path == '\\')
        mask = ++path;
    if (*path == '\\')
        mask = ++path;
    while (*path) {
        if (*path == '\\') {
            mask = path;
        } else if (*path == ':') {
            mask = ++path;
            if (*path == '\\')
                mask++;
        }
        if (*path)
            path++;
    }
    if (!*mask)
        return 0;
    *mask = '\0';
    return 1;
}

// PathCanonicalizeA: ".\" dropped and "..\" applied. buffer holds at least
// strlen(path) + 2 characters.
static void Canonicalize(char *buffer, const char *path)
{
    const char *src = path;
    char *dst = buffer;
    if (!*path) {
        buffer[0] = '\\';
        buffer[1] = '\0';
        return;
    }
    if (*src == '\\') {
        *dst++ = *src++;
    } else if (*src && src[1] == ':') {
        *dst++ = *src++;
        *dst++ = *src++;
        if (*src == '\\')
            *dst++ = *src++;
    }
    while (*src) {
        if (*src == '.' && src[1] == '\\' && (src == path || src[-1] == '\\' || src[-1] == ':')) {
            src += 2;
        } else if (*src == '.' && src[1] == '.' && dst != buffer && dst[-1] == '\\') {
            // "\.." backs up one folder, but never over a drive or a share.
            *dst = '\0';
            if (dst > buffer + 1 && dst[-1] == '\\' && (dst[-2] != '\\' || dst > buffer + 2)) {
                // A bare ":\" has no byte before its colon to look at.
                if (dst[-2] == ':' && (dst > buffer + 3 || (dst == buffer + 3 && dst[-3] == ':'))) {
                    dst -= 2;
                    while (dst > buffer && *dst != '\\')
                        dst--;
                    if (*dst == '\\')
                        dst++;
                    else
                        dst = buffer;
                } else if (dst[-2] != ':' && !IsUncServerShare(buffer)) {
                    dst -= 2;
                }
            }
            while (dst > buffer && *dst != '\\')
                dst--;
            if (dst == buffer) {
                *dst++ = '\\';
                src++;
            }
            src += 2;
        } else {
            *dst++ = *src++;
        }
    }
    if (dst - buffer == 2 && dst[-1] == ':')
        *dst++ = '\\';
    *dst = '\0';
}

// PathCombineA into out (OS_PATH_BUFFER); 0 when the result does not fit.
static int Combine(char *out, const char *dir, const char *file)
{
    char joined[2 * OS_PATH_BUFFER + 2];
    int useBoth = 0, strip = 0;
    if (!*file) {
        if (!TextCopyPath(joined, dir))
            return 0;
    } else if (!*dir || !IsRelative(file)) {
        if (!*dir || *file != '\\' || IsUnc(file)) {
            if (!TextCopyPath(joined, file))
                return 0;
        } else {
            useBoth = strip = 1;
        }
    } else {
        useBoth = 1;
    }
    if (useBoth) {
        if (!TextCopyPath(joined, dir))
            return 0;
        if (strip) {
            while (!IsRoot(joined) && RemoveFileSpec(joined)) {
            }
            file++;
        }
        size_t n = strlen(joined);
        if (n && joined[n - 1] != '\\')
            joined[n++] = '\\';
        joined[n] = '\0';
        if (!TextFitsPath(file) || TextUtf16Length(joined) + TextUtf16Length(file) >= OS_MAX_PATH)
            return 0;
        memcpy(joined + n, file, strlen(file) + 1);
    }
    char canonical[2 * OS_PATH_BUFFER + 4];
    Canonicalize(canonical, joined);
    return TextCopyPath(out, canonical);
}

int OsPathAppend(char *path, const char *more)
{
    SimCountCall(SIM_OP_PATH_APPEND, 0);
    if (!path || !more)
        return 0;
    if (!IsUnc(more))
        while (*more == '\\')
            more++;
    char result[OS_PATH_BUFFER];
    if (!TextFitsPath(path) || !Combine(result, path, more))
        return 0;
    memcpy(path, result, strlen(result) + 1);
    return 1;
}

char *OsPathAddBackslash(char *path)
{
    SimCountCall(SIM_OP_PATH_ADD_BACKSLASH, 0);
    if (!path)
        return NULL;
    if (!TextFitsPath(path))
        return NULL;
    size_t n = strlen(path);
    if (n == 0 || path[n - 1] == '\\')
        return path + n;
    if (TextUtf16Length(path) + 2 > OS_MAX_PATH)
        return NULL; // no room for the backslash and the terminator
    path[n] = '\\';
    path[n + 1] = '\0';
    return path + n + 1;
}

char *OsPathRemoveBackslash(char *path)
{
    SimCountCall(SIM_OP_PATH_REMOVE_BACKSLASH, 0);
    if (!path)
        return NULL;
    size_t n = strlen(path);
    char *last = n ? path + n - 1 : path;
    if (!IsRoot(path) && *last == '\\')
        *last = '\0';
    return last;
}

// One mask (up to ";" or the end) against the whole name: "*" any run of
// characters, "?" any one. Matched greedily, going back only to the last
// "*" seen: shlwapi tries every split for every "*", which takes
// exponential time on a mask of many stars; this decides the same in time
// proportional to the two lengths multiplied.
static int MatchSingle(const char *name, const char *mask)
{
    const char *afterStar = NULL, *resume = NULL;
    for (;;) {
        int maskEnded = !*mask || *mask == ';';
        if (!maskEnded && *mask == '*') {
            afterStar = ++mask;
            resume = name;
            continue;
        }
        if (!*name) {
            while (*mask == '*')
                mask++;
            return !*mask || *mask == ';';
        }
        if (!maskEnded && (*mask == '?' || Upper(*mask) == Upper(*name))) {
            mask++;
            name++;
            continue;
        }
        if (afterStar == NULL)
            return 0;
        // The last "*" takes one character more.
        mask = afterStar;
        name = ++resume;
    }
}

int OsPathMatchSpec(const char *file, const char *mask)
{
    SimCountCall(SIM_OP_PATH_MATCH_SPEC, 0);
    if (!file || !mask)
        return 0;
    if (strcmp(mask, "*.*") == 0)
        return 1; // DOS compatibility: every name, with or without a dot
    while (*mask) {
        while (*mask == ' ')
            mask++;
        if (MatchSingle(file, mask))
            return 1;
        while (*mask && *mask != ';')
            mask++;
        if (*mask == ';')
            mask++;
    }
    return 0;
}

int OsPathStripToRoot(char *path)
{
    SimCountCall(SIM_OP_PATH_STRIP_TO_ROOT, 0);
    if (!path)
        return 0;
    while (!IsRoot(path))
        if (!RemoveFileSpec(path))
            return 0;
    return 1;
}
