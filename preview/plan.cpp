// The plan: a list of what the run would have made, moved or removed, newest
// last, indexed by path. Nothing on disk changes during a preview, so what a
// path holds is the real disk seen through the entries made for it or for a
// folder above it, newest first.
#include "preview/plan.h"

#include <string.h>

// A file is copied from one folder to another: both folders' forms are kept,
// and more for the folders a step looks up on the way (the folders above,
// a sub-folder's, the data folder's).
#define FORM_CACHE 16

// Entries are small and their texts kept apart, end to end in one pool: a
// plan of a hundred thousand files takes a few megabytes, not a path
// buffer or two for each.
typedef struct PlanEntry {
    int kind;
    int next;         // the entry before it whose path hashes alike, or -1
    int nextInParent; // the entry before it whose folder hashes alike, or -1
    size_t path;      // the identity form, at this offset in the pool
    size_t origin;    // what it holds (PLAN_PRESENT), or an empty text
} PlanEntry;

// A registry value written or removed: key, name and data in one block.
typedef struct PlannedValue {
    struct PlannedValue *next;
    OsRootKey root;
    const char *subKey;
    const char *name;
    PlanValue value;
} PlannedValue;

typedef struct Plan {
    PlanEntry *entries;
    int entryCount;
    int entryCapacity;
    TextPool pool;
    // The newest entry of each hash, chained back through the older ones, so
    // a look-up costs a few probes per folder on the way up, not a pass over
    // the whole plan.
    int *buckets;
    int bucketCount;
    // The same by the folder an entry lies in, for listings.
    int *parentBuckets;
    // The identity forms of the folders the last look-ups were in.
    char formFolder[FORM_CACHE][OS_PATH_BUFFER];
    char formFolderForm[FORM_CACHE][OS_PATH_BUFFER];
    int formNext;
    PlannedValue *values; // newest first
    // The attributes of real paths asked about or listed: nothing on disk
    // changes during a preview, so each is asked of the file system once.
    // Open addressing; a slot holds an offset into the pool, or -1.
    struct Seen {
        size_t path;
        unsigned hash;
        unsigned long attributes;
    } *seen;
    int seenCount;
    int seenCapacity;
} Plan;

// Set only within one preview call.
static Plan *s_plan;

int Planning(void)
{
    return s_plan != nullptr;
}

int PreviewBegin(int previewing)
{
    PreviewEnd();
    if (!previewing)
        return 1;
    s_plan = (Plan *)OsAlloc(sizeof(Plan));
    if (s_plan == nullptr)
        return 0;
    memset(s_plan, 0, sizeof *s_plan);
    return 1;
}

void PreviewEnd(void)
{
    Plan *p = s_plan;
    if (p == nullptr)
        return;
    while (p->values != nullptr) {
        PlannedValue *value = p->values;
        p->values = value->next;
        OsFree(value);
    }
    if (p->entries)
        OsFree(p->entries);
    PoolFree(&p->pool);
    OsFree(p->seen);
    if (p->buckets)
        OsFree(p->buckets);
    if (p->parentBuckets)
        OsFree(p->parentBuckets);
    OsFree(p);
    s_plan = nullptr;
}

int PlanRefuse(unsigned long error)
{
    OsSetLastError(error);
    return 0;
}

// ---------------------------------------------------------------------------
// The index

size_t PoolKeep(TextPool *pool, const char *text)
{
    size_t length = strlen(text) + 1;
    if (pool->used + length > pool->size) {
        size_t size = pool->size ? 2 * pool->size : 64 * 1024;
        while (size < pool->used + length)
            size *= 2;
        char *grown = (char *)OsAlloc(size);
        if (grown == nullptr)
            return (size_t)-1;
        if (pool->text != nullptr) {
            memcpy(grown, pool->text, pool->used);
            OsFree(pool->text);
        }
        pool->text = grown;
        pool->size = size;
    }
    size_t at = pool->used;
    memcpy(pool->text + at, text, length);
    pool->used += length;
    return at;
}

void PoolFree(TextPool *pool)
{
    OsFree(pool->text);
    pool->text = nullptr;
    pool->used = pool->size = 0;
}

static const char *PathOf(const PlanEntry *entry)
{
    return s_plan->pool.text + entry->path;
}

static const char *OriginOf(const PlanEntry *entry)
{
    return s_plan->pool.text + entry->origin;
}

// A hash of the first length bytes of an identity form that two spellings
// OsNamesEqualNoCase takes for one name share: letters A to Z fold, and the
// bytes of other characters, whose case may differ, are left out.
static unsigned PathHash(const char *path, size_t length)
{
    unsigned hash = 2166136261u;
    for (size_t i = 0; i < length; i++) {
        unsigned char c = (unsigned char)path[i];
        if (c >= 0x80)
            continue;
        if (c >= 'A' && c <= 'Z')
            c = (unsigned char)(c - 'A' + 'a');
        hash = (hash ^ c) * 16777619u;
    }
    return hash;
}

// The length of the folder part of a form: up to its last backslash, which
// a drive's root keeps ("C:\"). 0 for a form with no folder.
static size_t ParentLength(const char *form)
{
    const char *last = strrchr(form, '\\');
    if (last == nullptr || last[1] == '\0')
        return 0;
    size_t length = (size_t)(last - form);
    return length == 2 && form[1] == ':' ? 3 : length;
}

static void Index(int i)
{
    Plan *p = s_plan;
    PlanEntry *entry = &p->entries[i];
    unsigned mask = (unsigned)(p->bucketCount - 1);
    unsigned bucket = PathHash(PathOf(entry), strlen(PathOf(entry))) & mask;
    entry->next = p->buckets[bucket];
    p->buckets[bucket] = i;
    unsigned parent = PathHash(PathOf(entry), ParentLength(PathOf(entry))) & mask;
    entry->nextInParent = p->parentBuckets[parent];
    p->parentBuckets[parent] = i;
}

// Room for one more entry, at about one entry per bucket; 0 when no memory
// could be had.
static int Grow(void)
{
    Plan *p = s_plan;
    if (p->entryCount == p->entryCapacity) {
        int capacity = p->entryCapacity ? p->entryCapacity * 2 : 64;
        PlanEntry *grown = (PlanEntry *)OsAlloc((size_t)capacity * sizeof(PlanEntry));
        if (grown == nullptr)
            return 0;
        if (p->entries) {
            memcpy(grown, p->entries, (size_t)p->entryCount * sizeof(PlanEntry));
            OsFree(p->entries);
        }
        p->entries = grown;
        p->entryCapacity = capacity;
    }
    if (p->entryCount < p->bucketCount)
        return 1;
    int count = p->bucketCount ? p->bucketCount * 4 : 256;
    int *buckets = (int *)OsAlloc((size_t)count * sizeof(int));
    int *parentBuckets = (int *)OsAlloc((size_t)count * sizeof(int));
    if (buckets == nullptr || parentBuckets == nullptr) {
        OsFree(buckets);
        OsFree(parentBuckets);
        return 0;
    }
    if (p->buckets)
        OsFree(p->buckets);
    if (p->parentBuckets)
        OsFree(p->parentBuckets);
    p->buckets = buckets;
    p->parentBuckets = parentBuckets;
    p->bucketCount = count;
    for (int b = 0; b < count; b++)
        buckets[b] = parentBuckets[b] = -1;
    for (int i = 0; i < p->entryCount; i++)
        Index(i);
    return 1;
}

// The newest entry before limit whose path is the first length bytes of
// form, or -1.
static int NewestEntryFor(const char *form, size_t length, int limit)
{
    Plan *p = s_plan;
    if (p->bucketCount == 0)
        return -1;
    unsigned bucket = PathHash(form, length) & (unsigned)(p->bucketCount - 1);
    char head[OS_PATH_BUFFER];
    memcpy(head, form, length);
    head[length] = '\0';
    for (int i = p->buckets[bucket]; i >= 0; i = p->entries[i].next)
        if (i < limit && OsNamesEqualNoCase(PathOf(&p->entries[i]), head))
            return i;
    return -1;
}

enum { NOT_RELATED, SAME_PATH, BELOW_PATH };

static int Relation(const char *path, const char *folder)
{
    size_t n = strlen(folder);
    size_t m = strlen(path);
    if (n == 0 || m < n || n >= OS_PATH_BUFFER)
        return NOT_RELATED;
    char head[OS_PATH_BUFFER];
    memcpy(head, path, n);
    head[n] = '\0';
    if (!OsNamesEqualNoCase(head, folder))
        return NOT_RELATED;
    if (m == n)
        return SAME_PATH;
    return (path[n] == '\\' || folder[n - 1] == '\\') ? BELOW_PATH : NOT_RELATED;
}

// PathIdentityForm for the plan. Nothing on disk changes during a preview,
// so a folder's form, once found, holds for the whole call; the run works
// folder by folder, so one of the last few found is nearly always the one
// asked for, and its long names are not looked up again for every file. A
// name that may be a short alias ("ACCOUN~1.LW") is looked up whole.
int PlanForm(const char *path, char *out)
{
    Plan *p = s_plan;
    char full[OS_PATH_BUFFER];
    // A share or device path (\\?\C:\) has roots of its own: looked up whole.
    if (path == nullptr || path[0] == '\0' || (path[0] == '\\' && path[1] == '\\') || !OsGetFullPathName(path, full))
        return PathIdentityForm(path, out);
    OsPathRemoveBackslash(full);
    char *slash = strrchr(full, '\\');
    if (slash == nullptr || slash - full < 2 || strchr(slash, '~') != nullptr || slash[1] == '\0')
        return PathIdentityForm(path, out);
    char name[OS_PATH_BUFFER];
    TextCopy(name, sizeof name, slash + 1);
    // A drive's root keeps its backslash: "C:\x" lies in "C:\".
    slash[slash - full == 2 ? 1 : 0] = '\0';
    int hit = 0;
    while (hit < FORM_CACHE && strcmp(p->formFolder[hit], full) != 0)
        hit++;
    if (hit == FORM_CACHE) {
        hit = p->formNext;
        p->formNext = (p->formNext + 1) % FORM_CACHE;
        if (!PathIdentityForm(full, p->formFolderForm[hit])) {
            p->formFolder[hit][0] = '\0';
            return 0;
        }
        TextCopy(p->formFolder[hit], sizeof p->formFolder[hit], full);
    }
    const char *folderForm = p->formFolderForm[hit];
    size_t length = strlen(folderForm);
    return TextCopyPath(out, folderForm) &&
           (length > 0 && folderForm[length - 1] == '\\' ? 1 : TextAppendPath(out, "\\")) &&
           TextAppendPath(out, name);
}

// ---------------------------------------------------------------------------
// What a path holds

// Each form path took on the way back to what it holds, with the entries
// before limit that tell of it.
typedef void (*ResolveStep)(const char *form, int limit, void *context);

static int Resolve(const char *path, char *real, ResolveStep step, void *context)
{
    char current[OS_PATH_BUFFER];
    if (!PlanForm(path, current))
        return TextCopyPath(real, path) ? AS_REAL : AS_GONE;
    int limit = s_plan->entryCount;
    for (;;) {
        if (step != nullptr)
            step(current, limit, context);
        // The newest entry for the path itself or a folder above it: each
        // folder on the way up is the text before one of its backslashes
        // (a root keeps its backslash).
        size_t whole = strlen(current);
        int i = NewestEntryFor(current, whole, limit);
        int fromAbove = 0;
        for (size_t k = 0; k < whole; k++) {
            if (current[k] != '\\')
                continue;
            for (size_t length = k; length <= k + 1; length++) {
                if (length == 0 || length >= whole)
                    continue;
                int above = NewestEntryFor(current, length, limit);
                if (above > i && Relation(current, PathOf(&s_plan->entries[above])) == BELOW_PATH) {
                    i = above;
                    fromAbove = 1;
                }
            }
        }
        if (i < 0)
            break;
        const PlanEntry *entry = &s_plan->entries[i];
        if (entry->kind == PLAN_GONE)
            return AS_GONE;
        // A folder made empty after anything was put below it: nothing is.
        if (entry->kind == PLAN_MADE)
            return fromAbove ? AS_GONE : AS_MADE_FOLDER;
        // A path that took another's place holds what that one held before.
        char rebased[OS_PATH_BUFFER];
        if (!TextCopyPath(rebased, OriginOf(entry)) || !TextAppendPath(rebased, current + strlen(PathOf(entry))))
            return AS_GONE;
        TextCopy(current, sizeof current, rebased);
        limit = i;
    }
    TextCopy(real, OS_PATH_BUFFER, current);
    return AS_REAL;
}

int PlanResolve(const char *path, char *real)
{
    return Resolve(path, real, nullptr, nullptr);
}

typedef struct ChildVisit {
    PlanChildVisit visit;
    void *context;
} ChildVisit;

// The entries before limit that lie directly in the folder form.
static void VisitChildren(const char *form, int limit, void *context)
{
    const ChildVisit *v = (const ChildVisit *)context;
    Plan *p = s_plan;
    if (p->bucketCount == 0)
        return;
    size_t length = strlen(form);
    unsigned bucket = PathHash(form, length) & (unsigned)(p->bucketCount - 1);
    for (int i = p->parentBuckets[bucket]; i >= 0; i = p->entries[i].nextInParent) {
        const PlanEntry *entry = &p->entries[i];
        const char *path = PathOf(entry);
        if (i >= limit || entry->kind == PLAN_GONE || ParentLength(path) != length || Relation(path, form) != BELOW_PATH)
            continue;
        const char *name = path + length + (path[length] == '\\' ? 1 : 0);
        v->visit(name, v->context);
    }
}

int PlanChildren(const char *folder, char *real, PlanChildVisit visit, void *context)
{
    ChildVisit v = {visit, context};
    return Resolve(folder, real, VisitChildren, &v);
}

// The slot of real in the table of what was seen: where it is, or the free
// one it would take.
static int SeenSlot(const char *real, unsigned hash)
{
    Plan *p = s_plan;
    int mask = p->seenCapacity - 1;
    for (int i = (int)(hash & (unsigned)mask);; i = (i + 1) & mask) {
        const Plan::Seen *slot = &p->seen[i];
        if (slot->path == (size_t)-1 || (slot->hash == hash && OsNamesEqualNoCase(p->pool.text + slot->path, real)))
            return i;
    }
}

// Notes what the file system said of real; nothing when no memory could be
// had (it is then asked again).
static void See(const char *real, unsigned long attributes)
{
    Plan *p = s_plan;
    if (2 * (p->seenCount + 1) > p->seenCapacity) {
        int capacity = p->seenCapacity ? 2 * p->seenCapacity : 1024;
        Plan::Seen *grown = (Plan::Seen *)OsAlloc((size_t)capacity * sizeof(Plan::Seen));
        if (grown == nullptr)
            return;
        Plan::Seen *old = p->seen;
        int oldCapacity = p->seenCapacity;
        p->seen = grown;
        p->seenCapacity = capacity;
        for (int i = 0; i < capacity; i++)
            grown[i].path = (size_t)-1;
        for (int i = 0; i < oldCapacity; i++)
            if (old[i].path != (size_t)-1)
                p->seen[SeenSlot(p->pool.text + old[i].path, old[i].hash)] = old[i];
        OsFree(old);
    }
    unsigned hash = PathHash(real, strlen(real));
    int i = SeenSlot(real, hash);
    if (p->seen[i].path != (size_t)-1)
        return;
    size_t at = PoolKeep(&p->pool, real);
    if (at == (size_t)-1)
        return;
    p->seen[i].path = at;
    p->seen[i].hash = hash;
    p->seen[i].attributes = attributes;
    p->seenCount++;
}

void PlanSeen(const char *realFolder, const OsFindData *entry)
{
    char real[OS_PATH_BUFFER];
    if (strcmp(entry->name, ".") != 0 && strcmp(entry->name, "..") != 0 && TextCopyPath(real, realFolder) &&
        OsPathAppend(real, entry->name))
        See(real, entry->attributes);
}

static unsigned long RealAttributes(const char *real)
{
    Plan *p = s_plan;
    if (p->seenCapacity > 0) {
        int i = SeenSlot(real, PathHash(real, strlen(real)));
        if (p->seen[i].path != (size_t)-1)
            return p->seen[i].attributes;
    }
    unsigned long attributes = OsGetFileAttributes(real);
    See(real, attributes);
    return attributes;
}

unsigned long PlanAttributes(const char *path)
{
    if (path == nullptr || path[0] == '\0')
        return OS_INVALID_FILE_ATTRIBUTES;
    char real[OS_PATH_BUFFER];
    switch (PlanResolve(path, real)) {
    case AS_GONE:
        return OS_INVALID_FILE_ATTRIBUTES;
    case AS_MADE_FOLDER:
        return OS_FILE_ATTRIBUTE_DIRECTORY;
    default:
        return RealAttributes(real);
    }
}

int PlanRecord(int kind, const char *path, const char *origin)
{
    char form[OS_PATH_BUFFER];
    char originForm[OS_PATH_BUFFER] = "";
    if (!PlanForm(path, form) || (origin && !PlanForm(origin, originForm)))
        return PlanRefuse(OS_ERROR_INVALID_PARAMETER);
    Plan *p = s_plan;
    size_t pathAt, originAt;
    if (!Grow() || (pathAt = PoolKeep(&p->pool, form)) == (size_t)-1 || (originAt = PoolKeep(&p->pool, originForm)) == (size_t)-1)
        return PlanRefuse(PLAN_ERROR_NO_MEMORY);
    int i = p->entryCount++;
    PlanEntry *entry = &p->entries[i];
    entry->kind = kind;
    entry->path = pathAt;
    entry->origin = originAt;
    Index(i);
    return 1;
}

int PlanFolderEmpty(const char *folder)
{
    // The listing as planned holds what the plan put there and leaves out
    // what it took away; a file planned deeper down lies in a folder that
    // is listed here, as CopyFile and MoveFile make no folder.
    char pattern[OS_PATH_BUFFER];
    if (!TextCopyPath(pattern, folder) || !OsPathAppend(pattern, "*.*"))
        return 0;
    OsFindData entry;
    PvFind *find = PvFindFirst(pattern, &entry);
    if (find == nullptr)
        return 1;
    int empty = 1;
    do {
        if (strcmp(entry.name, ".") != 0 && strcmp(entry.name, "..") != 0)
            empty = 0;
    } while (empty && PvFindNext(find, &entry) == 0);
    PvFindClose(find);
    return empty;
}

// ---------------------------------------------------------------------------
// Registry values

int PlanHasKey(OsRootKey root, const char *subKey)
{
    for (const PlannedValue *v = s_plan->values; v != nullptr; v = v->next)
        if (v->root == root && OsNamesEqualNoCase(v->subKey, subKey))
            return 1;
    return 0;
}

int PlanFindValue(OsRootKey root, const char *subKey, const char *name, PlanValue *value)
{
    for (const PlannedValue *v = s_plan->values; v != nullptr; v = v->next)
        if (v->root == root && OsNamesEqualNoCase(v->subKey, subKey) && OsNamesEqualNoCase(v->name, name)) {
            *value = v->value;
            return 1;
        }
    return 0;
}

int PlanWriteValue(OsRootKey root, const char *subKey, const char *name, unsigned long type,
                   const unsigned char *data, unsigned long size)
{
    size_t keyLength = strlen(subKey) + 1;
    size_t nameLength = strlen(name) + 1;
    PlannedValue *v = (PlannedValue *)OsAlloc(sizeof(PlannedValue) + keyLength + nameLength + size);
    if (v == nullptr)
        return 0;
    char *text = (char *)(v + 1);
    memcpy(text, subKey, keyLength);
    memcpy(text + keyLength, name, nameLength);
    unsigned char *bytes = (unsigned char *)text + keyLength + nameLength;
    if (size)
        memcpy(bytes, data, size);
    v->root = root;
    v->subKey = text;
    v->name = text + keyLength;
    v->value.type = type;
    v->value.size = size;
    v->value.data = bytes;
    // The newest write of a value is found first.
    v->next = s_plan->values;
    s_plan->values = v;
    return 1;
}
