// Listing a folder as the plan leaves it: the real folder whose contents the
// folder holds (a folder the run renames is listed under its new name),
// without the entries the plan took away, then what the plan put there.
#include "preview/plan.h"

#include <string.h>

struct PvFind {
    OsFindHandle handle;
    // A folder the plan made: "." and "..", before what the plan put there.
    int madeEntries;
    char folder[OS_PATH_BUFFER]; // as the caller named it, in a preview
    char real[OS_PATH_BUFFER];   // the real folder listed, or ""
    // The names the plan put there that the real folder does not hold,
    // each ended by a zero; the next to give is at extraAt.
    char *extras;
    size_t extraSize;
    size_t extraUsed;
    size_t extraAt;
    int noMemory;
};

// Whether the entry is still there as planned; "." and ".." always are.
static int Listed(const PvFind *find, const OsFindData *entry)
{
    if (!Planning() || strcmp(entry->name, ".") == 0 || strcmp(entry->name, "..") == 0)
        return 1;
    PlanSeen(find->real, entry);
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

// The next name the plan put there.
static int ExtraEntry(PvFind *find, OsFindData *entry)
{
    if (find->extraAt >= find->extraUsed)
        return -1;
    const char *name = find->extras + find->extraAt;
    find->extraAt += strlen(name) + 1;
    char path[OS_PATH_BUFFER];
    TextCopy(entry->name, sizeof entry->name, name);
    entry->attributes = TextCopyPath(path, find->folder) && OsPathAppend(path, name) ? PlanAttributes(path)
                                                                                     : OS_FILE_ATTRIBUTE_NORMAL;
    return 0;
}

int PvFindNext(PvFind *find, OsFindData *entry)
{
    if (find == nullptr)
        return -1;
    // A step that goes through a large folder changing nothing (weighing
    // each data file against the data folder's) is work all the same.
    PvWorking();
    if (find->handle == OS_INVALID_FIND_HANDLE)
        return MadeEntry(find, entry) == 0 ? 0 : ExtraEntry(find, entry);
    do {
        if (OsFindNext(find->handle, entry) != 0) {
            OsFindClose(find->handle);
            find->handle = OS_INVALID_FIND_HANDLE;
            find->madeEntries = 2; // "." and ".." came from the real folder
            return ExtraEntry(find, entry);
        }
    } while (!Listed(find, entry));
    return 0;
}

// One name the plan put in the folder: kept when it is there as planned,
// not in the real folder (whose listing gives it) and not kept already.
static void AddExtra(const char *name, void *context)
{
    PvFind *find = (PvFind *)context;
    char path[OS_PATH_BUFFER];
    if (!TextCopyPath(path, find->folder) || !OsPathAppend(path, name) ||
        PlanAttributes(path) == OS_INVALID_FILE_ATTRIBUTES)
        return;
    if (find->real[0] != '\0') {
        char real[OS_PATH_BUFFER];
        if (TextCopyPath(real, find->real) && OsPathAppend(real, name) &&
            OsGetFileAttributes(real) != OS_INVALID_FILE_ATTRIBUTES)
            return;
    }
    for (size_t at = 0; at < find->extraUsed; at += strlen(find->extras + at) + 1)
        if (OsNamesEqualNoCase(find->extras + at, name))
            return;
    size_t length = strlen(name) + 1;
    if (find->extraUsed + length > find->extraSize) {
        size_t size = find->extraSize ? 2 * find->extraSize + length : 4096;
        char *grown = (char *)OsAlloc(size);
        if (grown == nullptr) {
            find->noMemory = 1;
            return;
        }
        if (find->extras != nullptr) {
            memcpy(grown, find->extras, find->extraUsed);
            OsFree(find->extras);
        }
        find->extras = grown;
        find->extraSize = size;
    }
    memcpy(find->extras + find->extraUsed, name, length);
    find->extraUsed += length;
}

// The real pattern for a planned folder's listing into real, with the names
// the plan put there gathered; AS_GONE, AS_MADE_FOLDER or AS_REAL.
static int PlannedPattern(PvFind *find, const char *pattern, char *real)
{
    const char *slash = strrchr(pattern, '\\');
    if (slash == nullptr || !TextCopyPath(find->folder, pattern))
        return AS_GONE;
    find->folder[slash - pattern] = '\0';
    // Which real folder is listed is settled before the names are gathered:
    // a name the real folder holds comes from its listing.
    int holds = PlanResolve(find->folder, find->real);
    if (holds != AS_REAL)
        find->real[0] = '\0';
    if (holds == AS_GONE)
        return AS_GONE;
    char ignored[OS_PATH_BUFFER];
    PlanChildren(find->folder, ignored, AddExtra, find);
    if (find->noMemory) {
        PlanRefuse(PLAN_ERROR_NO_MEMORY);
        return AS_GONE;
    }
    if (holds != AS_REAL)
        return holds;
    return TextCopyPath(real, find->real) && OsPathAppend(real, slash + 1) ? AS_REAL : AS_GONE;
}

PvFind *PvFindFirst(const char *pattern, OsFindData *entry)
{
    PvFind *find = (PvFind *)OsAlloc(sizeof(PvFind));
    if (find == nullptr)
        return nullptr;
    memset(find, 0, sizeof *find);
    find->handle = OS_INVALID_FIND_HANDLE;
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
            break;
        default:
            PlanRefuse(OS_ERROR_PATH_NOT_FOUND);
            break;
        }
    }
    PvFindClose(find);
    return nullptr;
}

void PvFindClose(PvFind *find)
{
    if (find == nullptr)
        return;
    if (find->handle != OS_INVALID_FIND_HANDLE)
        OsFindClose(find->handle);
    OsFree(find->extras);
    OsFree(find);
}
