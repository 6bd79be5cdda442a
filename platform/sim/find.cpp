// Folder enumeration (_findfirst family) on the simulated host. A search
// reads the whole folder at once and hands its entries out one by one, in
// the case-blind name order NTFS gives.
#include "sim_internal.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#define FIND_MAGIC 0x46494E44u

typedef struct FindState {
    unsigned magic;
    size_t count;
    size_t next;
    OsFindData entries[1];
} FindState;

// FindFirstFile's wildcards for one name: "*" any run, "?" one character,
// and "*.*" everything, extension or not.
static int MatchName(const char *name, const char *pattern)
{
    if (strcmp(pattern, "*") == 0 || strcmp(pattern, "*.*") == 0)
        return 1;
    while (*name && *pattern) {
        if (*pattern == '*') {
            do {
                if (MatchName(name, pattern + 1))
                    return 1;
            } while (*name++);
            return 0;
        }
        if (*pattern != '?' && TextCompareNoCaseN(name, pattern, 1) != 0)
            return 0;
        name++;
        pattern++;
    }
    while (*pattern == '*')
        pattern++;
    return !*name && !*pattern;
}

static int CompareEntries(const void *a, const void *b)
{
    const OsFindData *x = (const OsFindData *)a, *y = (const OsFindData *)b;
    int dotsX = strcmp(x->name, ".") == 0 ? 0 : strcmp(x->name, "..") == 0 ? 1 : 2;
    int dotsY = strcmp(y->name, ".") == 0 ? 0 : strcmp(y->name, "..") == 0 ? 1 : 2;
    if (dotsX != dotsY)
        return dotsX - dotsY;
    int c = TextCompareNoCase(x->name, y->name);
    return c ? c : strcmp(x->name, y->name);
}

static FindState *Grow(FindState *state, size_t *capacity)
{
    size_t wanted = *capacity ? *capacity * 2 : 32;
    FindState *bigger = (FindState *)realloc(state, sizeof(FindState) + wanted * sizeof(OsFindData));
    if (bigger)
        *capacity = wanted;
    return bigger;
}

static OsFindHandle FailFind(unsigned long error)
{
    SimSetLastError(error);
    return OS_INVALID_FIND_HANDLE;
}

OsFindHandle OsFindFirst(const char *pattern, OsFindData *entry)
{
    SimCountCall(SIM_OP_FIND_FIRST, 0);
    if (SimFaultHit(SIM_OP_FIND_FIRST, 0, pattern, NULL))
        return OS_INVALID_FIND_HANDLE;
    if (!pattern || !entry)
        return FailFind(OS_ERROR_INVALID_PARAMETER);
    char folder[OS_PATH_BUFFER];
    if (!TextCopyWhole(folder, sizeof folder, pattern))
        return FailFind(SIM_ERROR_FILENAME_EXCED_RANGE);
    char *slash = strrchr(folder, '\\');
    char *forward = strrchr(folder, '/');
    if (forward && (!slash || forward > slash))
        slash = forward;
    if (!slash)
        return FailFind(OS_ERROR_PATH_NOT_FOUND);
    char wanted[OS_PATH_BUFFER];
    TextCopy(wanted, sizeof wanted, slash + 1);
    slash[1] = '\0';
    if (!wanted[0])
        return FailFind(OS_ERROR_FILE_NOT_FOUND);
    for (const char *c = wanted; *c; c++)
        if ((unsigned char)*c < 32 || strchr("<>:\"|\\/", *c))
            return FailFind(SIM_ERROR_INVALID_NAME);

    SimPath p;
    unsigned long error;
    if (!SimResolve(folder, &p, &error))
        return FailFind(error);
    if (!p.exists || !SimIsFolder(p.posix, &p.st))
        return FailFind(OS_ERROR_PATH_NOT_FOUND);
    DIR *dir = opendir(p.posix);
    if (!dir)
        return FailFind(SimErrorFromErrno(errno));
    FindState *state = NULL;
    size_t capacity = 0, count = 0;
    struct dirent *d;
    while ((d = readdir(dir)) != NULL) {
        int dots = strcmp(d->d_name, ".") == 0 || strcmp(d->d_name, "..") == 0;
        if ((dots && p.isRoot) || !TextFitsPath(d->d_name) || !MatchName(d->d_name, wanted))
            continue; // a drive's root has no "." or ".."
        struct stat st;
        if (fstatat(dirfd(dir), d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (count == capacity) {
            FindState *bigger = Grow(state, &capacity);
            if (!bigger) {
                free(state);
                closedir(dir);
                return FailFind(SIM_ERROR_NOT_ENOUGH_MEMORY);
            }
            state = bigger;
        }
        char full[SIM_POSIX_MAX];
        TextFormat(full, sizeof full, "%s/%s", p.posix, d->d_name);
        OsFindData *e = &state->entries[count++];
        e->attributes = SimAttributesOf(full, &st);
        TextCopy(e->name, sizeof e->name, d->d_name);
    }
    closedir(dir);
    if (count == 0) {
        free(state);
        return FailFind(OS_ERROR_FILE_NOT_FOUND);
    }
    qsort(state->entries, count, sizeof(OsFindData), CompareEntries);
    state->magic = FIND_MAGIC;
    state->count = count;
    state->next = 1;
    *entry = state->entries[0];
    return (OsFindHandle)state;
}

static FindState *StateOf(OsFindHandle handle)
{
    if (handle == OS_INVALID_FIND_HANDLE || handle == 0)
        return NULL;
    FindState *state = (FindState *)handle;
    return state->magic == FIND_MAGIC ? state : NULL;
}

int OsFindNext(OsFindHandle handle, OsFindData *entry)
{
    SimCountCall(SIM_OP_FIND_NEXT, 0);
    FindState *state = StateOf(handle);
    if (!state || !entry) {
        SimSetLastError(OS_ERROR_INVALID_HANDLE);
        return -1;
    }
    if (state->next >= state->count) {
        SimSetLastError(SIM_ERROR_NO_MORE_FILES);
        return -1;
    }
    *entry = state->entries[state->next++];
    return 0;
}

int OsFindClose(OsFindHandle handle)
{
    SimCountCall(SIM_OP_FIND_CLOSE, 0);
    FindState *state = StateOf(handle);
    if (!state) {
        SimSetLastError(OS_ERROR_INVALID_HANDLE);
        return -1;
    }
    state->magic = 0;
    free(state);
    return 0;
}
