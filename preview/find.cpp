// Listing a folder as the plan leaves it. The listing is of the real folder
// whose contents the folder holds (a folder the run renames is listed under
// its new name), without the entries the plan took away.
#include "preview/plan.h"

#include <string.h>

struct PvFind {
    OsFindHandle handle;
    // A folder the plan made: "." and "..", and nothing else.
    int madeEntries;
    char folder[OS_PATH_BUFFER]; // as the caller named it, in a preview
};

// Whether the entry is still there as planned; "." and ".." always are.
static int Listed(const PvFind *find, const OsFindData *entry)
{
    if (!Planning() || strcmp(entry->name, ".") == 0 || strcmp(entry->name, "..") == 0)
        return 1;
    char path[OS_PATH_BUFFER];
    char real[OS_PATH_BUFFER];
    return !TextCopyPath(path, find->folder) || !OsPathAppend(path, entry->name) ||
           PlanResolve(path, real) != AS_GONE;
}

static int MadeEntry(PvFind *find, OsFindData *entry)
{
    if (find->madeEntries >= 2)
        return -1;
    entry->attributes = OS_FILE_ATTRIBUTE_DIRECTORY;
    TextCopy(entry->name, sizeof entry->name, find->madeEntries == 0 ? "." : "..");
    find->madeEntries++;
    return 0;
}

int PvFindNext(PvFind *find, OsFindData *entry)
{
    if (find == nullptr)
        return -1;
    if (find->handle == OS_INVALID_FIND_HANDLE)
        return MadeEntry(find, entry);
    do {
        if (OsFindNext(find->handle, entry) != 0)
            return -1;
    } while (!Listed(find, entry));
    return 0;
}

// The real pattern for a planned folder's listing into real; AS_GONE,
// AS_MADE_FOLDER or AS_REAL.
static int PlannedPattern(PvFind *find, const char *pattern, char *real)
{
    const char *slash = strrchr(pattern, '\\');
    if (slash == nullptr || !TextCopyPath(find->folder, pattern))
        return AS_GONE;
    find->folder[slash - pattern] = '\0';
    char folder[OS_PATH_BUFFER];
    int holds = PlanResolve(find->folder, folder);
    if (holds != AS_REAL)
        return holds;
    return TextCopyPath(real, folder) && OsPathAppend(real, slash + 1) ? AS_REAL : AS_GONE;
}

PvFind *PvFindFirst(const char *pattern, OsFindData *entry)
{
    PvFind *find = (PvFind *)OsAlloc(sizeof(PvFind));
    if (find == nullptr)
        return nullptr;
    find->handle = OS_INVALID_FIND_HANDLE;
    find->madeEntries = 0;
    find->folder[0] = '\0';
    if (!Planning()) {
        find->handle = OsFindFirst(pattern, entry);
        if (find->handle != OS_INVALID_FIND_HANDLE)
            return find;
    } else {
        char real[OS_PATH_BUFFER];
        switch (pattern != nullptr ? PlannedPattern(find, pattern, real) : AS_GONE) {
        case AS_MADE_FOLDER:
            MadeEntry(find, entry);
            return find;
        case AS_REAL:
            find->handle = OsFindFirst(real, entry);
            if (find->handle == OS_INVALID_FIND_HANDLE)
                break;
            if (Listed(find, entry) || PvFindNext(find, entry) == 0)
                return find;
            OsFindClose(find->handle);
            break;
        default:
            PlanRefuse(OS_ERROR_PATH_NOT_FOUND);
            break;
        }
    }
    OsFree(find);
    return nullptr;
}

void PvFindClose(PvFind *find)
{
    if (find == nullptr)
        return;
    if (find->handle != OS_INVALID_FIND_HANDLE)
        OsFindClose(find->handle);
    OsFree(find);
}
