// The report of one ExW call and its preview. The report is written as the
// decisions are made, to a temporary name beside the report, and put in
// place at the end, so a reader never sees half of one. A preview runs the
// very same steps with every change planned instead of done: the plan is a
// list of what the run would have made, moved or removed, and the few reads
// whose answer a planned change alters look through it.
#include "upgrade/report.h"

#include "files/files.h"
#include "settings/settings.h"

#include <string.h>

#define REPORT_FIELD_CAPACITY SETTING_TEXT_CAPACITY
#define REPORT_LINE_CAPACITY (3 * REPORT_FIELD_CAPACITY + 100)
#define TEMP_SUFFIX ".tmp"

static const char *const kVerbs[REPORT_VERB_COUNT] = {"copied", "moved", "renamed", "deleted", "kept", "failed"};
static const unsigned char kBom[] = {0xEF, 0xBB, 0xBF};

typedef enum PlanKind {
    PLAN_GONE,     // removed, moved or renamed away
    PLAN_PRESENT,  // now holds what origin held (a folder: everything below)
    PLAN_MADE      // a folder made empty
} PlanKind;

// A file is copied from one folder to another: both folders' forms are kept,
// and a few more for the folders a step looks up on the way.
#define FORM_CACHE 4

typedef struct PlanEntry {
    int kind;
    int next; // the entry before it whose path hashes alike, or -1
    char path[OS_PATH_BUFFER]; // identity form
    char origin[OS_PATH_BUFFER];
} PlanEntry;

// A file that stays where it is, kept or after a failure. Its line waits for
// the end of the run: a later step may still act on the file (the clean-up
// deletes a backup whose identical copy the data folder holds), and the
// report tells only what became of it in the end.
typedef struct StayingFile {
    int verb;       // REPORT_KEPT or REPORT_FAILED
    int superseded; // a later line tells its fate
    char path[OS_PATH_BUFFER];
    char after[OS_PATH_BUFFER];
    char reason[REPORT_REASON_CAPACITY];
} StayingFile;

typedef struct Report {
    int previewing;
    int mask;
    int userFiles;
    int writeFailed;
    int nothingToDo;
    int counts[REPORT_VERB_COUNT];
    OsFile *file;
    char path[OS_PATH_BUFFER];
    char tempPath[OS_PATH_BUFFER];
    char dataFolder[OS_PATH_BUFFER];
    char oldFolder[OS_PATH_BUFFER];
    unsigned long plannedError;
    PlanEntry *entries;
    int entryCount;
    int entryCapacity;
    // The plan indexed by path: the newest entry of each hash, chained back
    // through the older ones, so a look-up costs a few probes per folder on
    // the way up, not a pass over the whole plan.
    int *buckets;
    int bucketCount;
    // The identity forms of the folders the last look-ups were in.
    char formFolder[FORM_CACHE][OS_PATH_BUFFER];
    char formFolderForm[FORM_CACHE][OS_PATH_BUFFER];
    int formNext;
    StayingFile *staying;
    int stayingCount;
    int stayingCapacity;
    unsigned char settingPlanned[SETTING_COUNT];
    char settings[SETTING_COUNT][SETTING_TEXT_CAPACITY];
} Report;

// Open only within one upgrade call.
static Report *s_report;

int ReportPreviewing(void)
{
    return s_report != nullptr && s_report->previewing;
}

static void WriteText(const char *text)
{
    if (s_report->file == nullptr)
        return;
    size_t length = strlen(text);
    if (OsFwrite(text, 1, length, s_report->file) != length)
        s_report->writeFailed = 1;
}

// The length of the UTF-8 character at text, or 0 where the bytes are not
// one (a stray or cut sequence).
static size_t Utf8CharLength(const unsigned char *text)
{
    size_t length = text[0] < 0x80 ? 1 : text[0] >= 0xC2 && text[0] <= 0xDF ? 2
                                       : text[0] >= 0xE0 && text[0] <= 0xEF ? 3
                                       : text[0] >= 0xF0 && text[0] <= 0xF4 ? 4 : 0;
    for (size_t i = 1; i < length; i++)
        if ((text[i] & 0xC0) != 0x80)
            return 0;
    return length;
}

// A field as the report may hold it: text from the registry can be anything
// (binary bytes, a tab, a line break), and none of it may add a field or a
// line, or make the report other than UTF-8. Such bytes become '?', which no
// Windows name holds, so the field can't name another file either.
static void CleanField(char *out, size_t capacity, const char *text)
{
    size_t at = 0;
    const unsigned char *in = (const unsigned char *)(text ? text : "");
    while (*in != '\0' && at + 1 < capacity) {
        size_t length = Utf8CharLength(in);
        if (length == 0 || (length == 1 && (*in < 0x20 || *in == 0x7F))) {
            out[at++] = '?';
            in++;
            continue;
        }
        if (at + length >= capacity)
            break;
        for (size_t i = 0; i < length; i++)
            out[at++] = (char)in[i];
        in += length;
    }
    out[at] = '\0';
}

// Fields separated by tabs, which no Windows path holds.
static void WriteLine(const char *first, const char *second, const char *third, const char *fourth)
{
    char fields[3][REPORT_FIELD_CAPACITY];
    CleanField(fields[0], sizeof fields[0], second);
    CleanField(fields[1], sizeof fields[1], third);
    CleanField(fields[2], sizeof fields[2], fourth);
    char line[REPORT_LINE_CAPACITY];
    int fits = fourth != nullptr
                   ? TextFormat(line, sizeof line, "%s\t%s\t%s\t%s\r\n", first, fields[0], fields[1], fields[2])
                   : TextFormat(line, sizeof line, "%s\t%s\t%s\r\n", first, fields[0], fields[1]);
    if (!fits)
        s_report->writeFailed = 1; // a cut line would name another file
    else
        WriteText(line);
}

// Grows a table by doubling; 0 when no memory could be had: the report then
// cannot tell what the run did, which fails it.
static int Grow(void **table, int count, int *capacity, size_t size)
{
    if (count < *capacity)
        return 1;
    int grownCapacity = *capacity ? *capacity * 2 : 64;
    void *grown = OsAlloc((size_t)grownCapacity * size);
    if (grown == nullptr) {
        s_report->mask |= UPGRADE_FAILED;
        return 0;
    }
    if (*table) {
        memcpy(grown, *table, (size_t)count * size);
        OsFree(*table);
    }
    *table = grown;
    *capacity = grownCapacity;
    return 1;
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

static void Index(int i)
{
    Report *r = s_report;
    PlanEntry *entry = &r->entries[i];
    unsigned bucket = PathHash(entry->path, strlen(entry->path)) & (unsigned)(r->bucketCount - 1);
    entry->next = r->buckets[bucket];
    r->buckets[bucket] = i;
}

// Keeps about one entry per bucket; 0 when no memory could be had.
static int GrowIndex(void)
{
    Report *r = s_report;
    if (r->entryCount < r->bucketCount)
        return 1;
    int count = r->bucketCount ? r->bucketCount * 4 : 256;
    int *buckets = (int *)OsAlloc((size_t)count * sizeof(int));
    if (buckets == nullptr) {
        r->mask |= UPGRADE_FAILED;
        return 0;
    }
    if (r->buckets)
        OsFree(r->buckets);
    r->buckets = buckets;
    r->bucketCount = count;
    for (int b = 0; b < count; b++)
        buckets[b] = -1;
    for (int i = 0; i < r->entryCount; i++)
        Index(i);
    return 1;
}

static PlanEntry *NewEntry(int kind, const char *path, const char *origin)
{
    Report *r = s_report;
    if (!Grow((void **)&r->entries, r->entryCount, &r->entryCapacity, sizeof(PlanEntry)) || !GrowIndex())
        return nullptr;
    int i = r->entryCount++;
    PlanEntry *entry = &r->entries[i];
    entry->kind = kind;
    TextCopy(entry->path, sizeof entry->path, path);
    TextCopy(entry->origin, sizeof entry->origin, origin);
    Index(i);
    return entry;
}

// The newest entry before limit whose path is the first length bytes of
// form, or -1. A folder made empty says nothing of what lies below it, so a
// look-up for a folder above passes over such entries (skipMade).
static int NewestEntryFor(const char *form, size_t length, int limit, int skipMade)
{
    Report *r = s_report;
    if (r->bucketCount == 0)
        return -1;
    unsigned bucket = PathHash(form, length) & (unsigned)(r->bucketCount - 1);
    char head[OS_PATH_BUFFER];
    memcpy(head, form, length);
    head[length] = '\0';
    for (int i = r->buckets[bucket]; i >= 0; i = r->entries[i].next)
        if (i < limit && !(skipMade && r->entries[i].kind == PLAN_MADE) && OsNamesEqualNoCase(r->entries[i].path, head))
            return i;
    return -1;
}

static StayingFile *FindStaying(const char *path)
{
    for (int i = 0; i < s_report->stayingCount; i++) {
        StayingFile *file = &s_report->staying[i];
        if (!file->superseded && OsNamesEqualNoCase(file->path, path))
            return file;
    }
    return nullptr;
}

// A file that stays: the first reason it stays holds, except that a failure
// tells more than a decision to keep it.
static void Stay(int verb, const char *path, const char *after, const char *reason)
{
    Report *r = s_report;
    StayingFile *file = FindStaying(path);
    if (file != nullptr && !(verb == REPORT_FAILED && file->verb == REPORT_KEPT))
        return;
    if (file == nullptr) {
        if (!Grow((void **)&r->staying, r->stayingCount, &r->stayingCapacity, sizeof(StayingFile)))
            return;
        file = &r->staying[r->stayingCount++];
        file->superseded = 0;
    }
    file->verb = verb;
    // A path of the run fits a path buffer; one that did not would have been
    // refused before any step reached it.
    TextCopy(file->path, sizeof file->path, path);
    TextCopy(file->after, sizeof file->after, after ? after : "");
    TextCopy(file->reason, sizeof file->reason, reason ? reason : "");
}

static void Count(int verb)
{
    s_report->counts[verb]++;
    if (verb == REPORT_COPIED || verb == REPORT_MOVED)
        s_report->mask |= UPGRADE_CARRIED;
    else if (verb == REPORT_KEPT)
        s_report->mask |= UPGRADE_KEPT;
    else if (verb == REPORT_FAILED)
        s_report->mask |= UPGRADE_FAILED;
}

void ReportDecision(int verb, const char *before, const char *after, const char *reason)
{
    if (s_report == nullptr || verb < 0 || verb >= REPORT_VERB_COUNT)
        return;
    const char *shownBefore = before ? before : "";
    if (verb == REPORT_KEPT || verb == REPORT_FAILED) {
        Stay(verb, shownBefore, after, reason);
        return;
    }
    // Moved, renamed or deleted: whatever kept the file before, this is
    // where it ended up. A copy leaves its source where it was.
    if (verb != REPORT_COPIED) {
        StayingFile *file = FindStaying(shownBefore);
        if (file != nullptr)
            file->superseded = 1;
    }
    Count(verb);
    WriteLine(kVerbs[verb], shownBefore, after ? after : "", nullptr);
}

void ReportSettingFailed(const char *name, const char *text, unsigned long error)
{
    if (s_report == nullptr)
        return;
    char reason[REPORT_REASON_CAPACITY];
    TextFormat(reason, sizeof reason, "not written, Windows error %lu", error);
    Count(REPORT_FAILED);
    WriteLine(kVerbs[REPORT_FAILED], name, text, reason);
}

int ReportNextStayingIn(const char *folder, int *cursor, const char **path, const char **reason)
{
    if (s_report == nullptr || cursor == nullptr || *cursor < 0 || !HasText(folder))
        return 0;
    size_t length = strlen(folder);
    while (*cursor < s_report->stayingCount) {
        const StayingFile *file = &s_report->staying[(*cursor)++];
        if (file->superseded || !PathIsAtOrBelow(file->path, folder))
            continue;
        // The steps name a file by the folder's own text and the way down
        // from it, which is what a reader of the folder needs.
        const char *shown = file->path;
        if (TextCompareNoCaseN(shown, folder, length) == 0 && (shown[length] == '\\' || folder[length - 1] == '\\'))
            shown += length + (shown[length] == '\\' ? 1 : 0);
        if (*shown == '\0')
            continue; // the folder itself
        *path = shown;
        *reason = file->reason;
        return 1;
    }
    return 0;
}

static int IsExistsError(unsigned long error)
{
    return error == OS_ERROR_FILE_EXISTS || error == OS_ERROR_ALREADY_EXISTS;
}

void ReportFileAction(int action, const char *source, const char *after, int done, unsigned long error)
{
    static const int kDone[] = {REPORT_MOVED, REPORT_COPIED, REPORT_DELETED, REPORT_RENAMED};
    if (s_report == nullptr || action < FILE_MOVE || action > FILE_RENAME_EXT)
        return;
    const char *shownAfter = action == FILE_DELETE ? "" : after;
    // What the run does to the old program's own files is its business; a
    // failure, on any file, is the caller's too.
    if (done) {
        if (s_report->userFiles)
            ReportDecision(kDone[action], source, shownAfter, nullptr);
        return;
    }
    if (IsExistsError(error)) {
        if (s_report->userFiles)
            ReportDecision(REPORT_KEPT, source, "",
                           action == FILE_RENAME_EXT ? "a file of the new name is already there"
                                                     : "a file of that name is already in the data folder");
        return;
    }
    char reason[REPORT_REASON_CAPACITY];
    ReportFailureReason(error, reason, sizeof reason);
    ReportDecision(REPORT_FAILED, source, shownAfter, reason);
}

void ReportFailureReason(unsigned long error, char *reason, size_t capacity)
{
    switch (error) {
    case OS_ERROR_SHARING_VIOLATION:
        TextCopy(reason, capacity, "in use by another program");
        break;
    case OS_ERROR_ACCESS_DENIED:
        TextCopy(reason, capacity, "access denied");
        break;
    case OS_ERROR_DISK_FULL:
        TextCopy(reason, capacity, "the disk is full");
        break;
    case OS_ERROR_FILE_NOT_FOUND:
    case OS_ERROR_PATH_NOT_FOUND:
        TextCopy(reason, capacity, "not found");
        break;
    default:
        TextFormat(reason, capacity, "Windows error %lu", error);
        break;
    }
}

void ReportUserFiles(int on)
{
    if (s_report)
        s_report->userFiles = on;
}

void ReportFailure(void)
{
    if (s_report)
        s_report->mask |= UPGRADE_FAILED;
}

void ReportNothingToDo(void)
{
    if (s_report)
        s_report->nothingToDo = 1;
}

void ReportFolders(const char *dataFolder, const char *oldFolder)
{
    if (s_report == nullptr)
        return;
    TextCopy(s_report->dataFolder, sizeof s_report->dataFolder, dataFolder);
    TextCopy(s_report->oldFolder, sizeof s_report->oldFolder, oldFolder);
}

unsigned long ReportLastError(void)
{
    return ReportPreviewing() ? s_report->plannedError : OsGetLastError();
}

// ---------------------------------------------------------------------------
// Settings

int ReportSettingChanges(int id, const char *text)
{
    if (s_report == nullptr || !HasText(text))
        return 0;
    char current[SETTING_TEXT_CAPACITY];
    ReadSetting(id, current, sizeof current, "");
    return strcmp(current, text) != 0;
}

void ReportSettingsMigrated(void)
{
    if (s_report)
        s_report->mask |= UPGRADE_SETTINGS;
}

int PlanSetting(int id, const char *text, int changes)
{
    if (!ReportPreviewing() || id < 0 || id >= SETTING_COUNT)
        return 0;
    if (!TextCopyWhole(s_report->settings[id], SETTING_TEXT_CAPACITY, text ? text : ""))
        return 0;
    s_report->settingPlanned[id] = 1;
    if (changes)
        ReportSettingsMigrated();
    return 1;
}

int PlannedSetting(int id, char *destination, unsigned long capacity, const char *defaultText, int *result)
{
    if (!ReportPreviewing() || id < 0 || id >= SETTING_COUNT || !s_report->settingPlanned[id])
        return 0;
    const char *text = s_report->settings[id];
    *result = 0;
    destination[0] = '\0';
    if (text[0] != '\0' && TextCopyWhole(destination, capacity, text))
        *result = (int)strlen(text) + 1;
    else if (HasText(defaultText) && TextCopyWhole(destination, capacity, defaultText))
        *result = (int)strlen(defaultText) + 1;
    return 1;
}

// ---------------------------------------------------------------------------
// The planned file system

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

enum { AS_GONE, AS_MADE_FOLDER, AS_REAL };

// PathIdentityForm for the plan. Nothing on disk changes during a preview,
// so a folder's form, once found, holds for the whole call; the run works
// folder by folder, so one of the last few found is nearly always the one
// asked for, and its long names are not looked up again for every file. A
// name that may be a short alias ("ACCOUN~1.LW") is looked up whole.
static int PlanForm(const char *path, char *out)
{
    Report *r = s_report;
    char full[OS_PATH_BUFFER];
    // A share or device path (\\?\C:\) has roots of its own: looked up whole.
    if (!HasText(path) || (path[0] == '\\' && path[1] == '\\') || !OsGetFullPathName(path, full))
        return PathIdentityForm(path, out);
    OsPathRemoveBackslash(full);
    char *slash = strrchr(full, '\\');
    if (slash == nullptr || slash - full < 3 || strchr(slash, '~') != nullptr || slash[1] == '\0')
        return PathIdentityForm(path, out);
    *slash = '\0';
    int hit = 0;
    while (hit < FORM_CACHE && strcmp(r->formFolder[hit], full) != 0)
        hit++;
    if (hit == FORM_CACHE) {
        hit = r->formNext;
        r->formNext = (r->formNext + 1) % FORM_CACHE;
        if (!PathIdentityForm(full, r->formFolderForm[hit])) {
            r->formFolder[hit][0] = '\0';
            return 0;
        }
        TextCopy(r->formFolder[hit], sizeof r->formFolder[hit], full);
    }
    return TextCopyPath(out, r->formFolderForm[hit]) && TextAppendPath(out, "\\") &&
           TextAppendPath(out, slash + 1);
}

// What path holds in the planned file system: nothing, a folder the run
// makes, or what a real path (into real) holds now. Later entries first; a
// path that took another's place is followed to what that one held before.
static int Resolve(const char *path, char *real)
{
    char current[OS_PATH_BUFFER];
    if (!PlanForm(path, current))
        return TextCopyPath(real, path) ? AS_REAL : AS_GONE;
    int limit = s_report->entryCount;
    for (;;) {
        // The newest entry for the path itself or a folder above it: each
        // folder on the way up is the text before one of its backslashes
        // (a root keeps its backslash).
        int i = NewestEntryFor(current, strlen(current), limit, 0);
        for (size_t k = 0; current[k] != '\0'; k++) {
            if (current[k] != '\\')
                continue;
            for (size_t length = k; length <= k + 1; length++) {
                if (length == 0 || length >= strlen(current))
                    continue;
                int above = NewestEntryFor(current, length, limit, 1);
                if (above > i && Relation(current, s_report->entries[above].path) == BELOW_PATH)
                    i = above;
            }
        }
        if (i < 0)
            break;
        const PlanEntry *entry = &s_report->entries[i];
        if (entry->kind == PLAN_GONE)
            return AS_GONE;
        if (entry->kind == PLAN_MADE)
            return AS_MADE_FOLDER;
        char rebased[OS_PATH_BUFFER];
        if (!TextCopyPath(rebased, entry->origin) || !TextAppendPath(rebased, current + strlen(entry->path)))
            return AS_GONE;
        TextCopy(current, sizeof current, rebased);
        limit = i;
    }
    TextCopy(real, OS_PATH_BUFFER, current);
    return AS_REAL;
}

unsigned long FileAttributesAsPlanned(const char *path)
{
    if (!ReportPreviewing())
        return OsGetFileAttributes(path);
    if (!HasText(path))
        return OS_INVALID_FILE_ATTRIBUTES;
    char real[OS_PATH_BUFFER];
    switch (Resolve(path, real)) {
    case AS_GONE:
        return OS_INVALID_FILE_ATTRIBUTES;
    case AS_MADE_FOLDER:
        return OS_FILE_ATTRIBUTE_DIRECTORY;
    default:
        return OsGetFileAttributes(real);
    }
}

static int Exists(const char *path)
{
    return FileAttributesAsPlanned(path) != OS_INVALID_FILE_ATTRIBUTES;
}

static int IsFolder(const char *path)
{
    unsigned long attributes = FileAttributesAsPlanned(path);
    return attributes != OS_INVALID_FILE_ATTRIBUTES && (attributes & OS_FILE_ATTRIBUTE_DIRECTORY);
}

int PlannedGone(const char *folder, const char *name)
{
    if (!ReportPreviewing())
        return 0;
    char path[OS_PATH_BUFFER];
    if (!TextCopyPath(path, folder) || !OsPathAppend(path, name))
        return 0;
    char real[OS_PATH_BUFFER];
    return Resolve(path, real) == AS_GONE;
}

int ContentsAsPlanned(const char *path, char *out)
{
    if (!ReportPreviewing())
        return TextCopyPath(out, path ? path : "");
    return HasText(path) && Resolve(path, out) == AS_REAL;
}

static int Record(int kind, const char *path, const char *origin)
{
    char form[OS_PATH_BUFFER];
    char originForm[OS_PATH_BUFFER] = "";
    if (!PlanForm(path, form) || (origin && !PlanForm(origin, originForm)))
        return 0;
    return NewEntry(kind, form, originForm) != nullptr;
}

static int Refuse(unsigned long error)
{
    s_report->plannedError = error;
    return 0;
}

int PlanOperation(int operation, const char *source, const char *destination)
{
    if (!Exists(source))
        return Refuse(OS_ERROR_FILE_NOT_FOUND);
    switch (operation) {
    case RETRY_MOVE:
    case RETRY_RENAME:
        // Neither replaces what is there.
        if (!HasText(destination))
            return Refuse(OS_ERROR_INVALID_PARAMETER);
        if (Exists(destination))
            return Refuse(OS_ERROR_ALREADY_EXISTS);
        if (!Record(PLAN_PRESENT, destination, source) || !Record(PLAN_GONE, source, nullptr))
            return Refuse(OS_ERROR_INVALID_PARAMETER);
        return 1;
    case RETRY_COPY:
        if (!HasText(destination) || IsFolder(source) || IsFolder(destination))
            return Refuse(OS_ERROR_ACCESS_DENIED);
        return Record(PLAN_PRESENT, destination, source) ? 1 : Refuse(OS_ERROR_INVALID_PARAMETER);
    case RETRY_DELETE:
        if (IsFolder(source))
            return Refuse(OS_ERROR_ACCESS_DENIED);
        return Record(PLAN_GONE, source, nullptr) ? 1 : Refuse(OS_ERROR_INVALID_PARAMETER);
    default:
        return Refuse(OS_ERROR_INVALID_PARAMETER);
    }
}

int PlanFolderMade(const char *path)
{
    if (IsFolder(path))
        return 1;
    if (Exists(path))
        return Refuse(OS_ERROR_ALREADY_EXISTS);
    // CreateDirectory makes one folder, in a folder that is there: on a
    // drive that does not exist, or below a folder still missing, it fails.
    char parent[OS_PATH_BUFFER];
    if (!PathIdentityForm(path, parent))
        return Refuse(OS_ERROR_PATH_NOT_FOUND);
    char *last = strrchr(parent, '\\');
    if (last == nullptr || last[1] == '\0')
        return Refuse(OS_ERROR_PATH_NOT_FOUND); // a root, which no call makes
    char root[OS_PATH_BUFFER];
    TextCopy(root, sizeof root, parent);
    if (!OsPathStripToRoot(root))
        return Refuse(OS_ERROR_PATH_NOT_FOUND);
    OsPathAddBackslash(root);
    if ((size_t)(last - parent) < strlen(root))
        TextCopy(parent, sizeof parent, root);
    else
        *last = '\0';
    if (!IsFolder(parent))
        return Refuse(OS_ERROR_PATH_NOT_FOUND);
    return Record(PLAN_MADE, path, nullptr);
}

int SetAttributesOrPlan(const char *path, unsigned long attributes)
{
    if (!ReportPreviewing())
        return OsSetFileAttributes(path, attributes);
    return Exists(path) ? 1 : Refuse(OS_ERROR_FILE_NOT_FOUND);
}

int DeleteFileOrPlan(const char *path)
{
    if (!ReportPreviewing())
        return OsDeleteFile(path);
    return PlanOperation(RETRY_DELETE, path, nullptr);
}

// 1 when nothing is left in the folder once the planned changes are made:
// neither what is there now nor what the plan puts there.
static int PlannedEmpty(const char *folder)
{
    char form[OS_PATH_BUFFER];
    if (!PathIdentityForm(folder, form))
        return 0;
    for (int i = 0; i < s_report->entryCount; i++) {
        const PlanEntry *entry = &s_report->entries[i];
        if ((entry->kind == PLAN_PRESENT || entry->kind == PLAN_MADE) && Relation(entry->path, form) == BELOW_PATH &&
            Exists(entry->path))
            return 0;
    }
    char real[OS_PATH_BUFFER];
    if (Resolve(form, real) != AS_REAL)
        return 1;
    char pattern[OS_PATH_BUFFER];
    if (!TextCopyPath(pattern, real) || !OsPathAppend(pattern, "*.*"))
        return 0;
    OsFindData entry;
    OsFindHandle handle = OsFindFirst(pattern, &entry);
    if (handle == OS_INVALID_FIND_HANDLE)
        return 1;
    int empty = 1;
    do {
        if (strcmp(entry.name, ".") == 0 || strcmp(entry.name, "..") == 0)
            continue;
        if (!PlannedGone(form, entry.name))
            empty = 0;
    } while (empty && OsFindNext(handle, &entry) == 0);
    OsFindClose(handle);
    return empty;
}

int RemoveFolderOrPlan(const char *path)
{
    if (!ReportPreviewing())
        return OsRemoveDirectory(path);
    if (!IsFolder(path))
        return Refuse(OS_ERROR_FILE_NOT_FOUND);
    if (!PlannedEmpty(path))
        return Refuse(OS_ERROR_DIR_NOT_EMPTY);
    return Record(PLAN_GONE, path, nullptr);
}

// ---------------------------------------------------------------------------
// The call

int ReportOpen(unsigned flags, const char *reportPath)
{
    if (flags & ~UPGRADE_FLAG_PREVIEW)
        return UPGRADE_BAD_FLAGS;
    Report *r = (Report *)OsAlloc(sizeof(Report));
    if (r == nullptr)
        return UPGRADE_FAILED;
    memset(r, 0, sizeof *r);
    r->previewing = (flags & UPGRADE_FLAG_PREVIEW) != 0;
    if (HasText(reportPath)) {
        // A report path that does not fit is refused, never cut.
        if (!TextCopyPath(r->path, reportPath) ||
            !TextFormat(r->tempPath, sizeof r->tempPath, "%s%s", reportPath, TEMP_SUFFIX) || !TextFitsPath(r->tempPath) ||
            (r->file = OsFopen(r->tempPath, "wb")) == nullptr) {
            OsFree(r);
            return UPGRADE_BAD_REPORT_PATH;
        }
        if (OsFwrite(kBom, 1, sizeof kBom, r->file) != sizeof kBom)
            r->writeFailed = 1;
    }
    s_report = r;
    return 0;
}

int ReportClose(void)
{
    Report *r = s_report;
    if (r == nullptr)
        return UPGRADE_FAILED;
    // The files that stayed, each with the one reason it is still there.
    for (int i = 0; i < r->stayingCount; i++) {
        const StayingFile *file = &r->staying[i];
        if (file->superseded)
            continue;
        Count(file->verb);
        WriteLine(kVerbs[file->verb], file->path, file->verb == REPORT_FAILED ? file->after : "", file->reason);
    }
    if (r->nothingToDo)
        r->mask |= UPGRADE_NOTHING_TO_DO;
    if (r->file != nullptr) {
        char counts[200];
        TextFormat(counts, sizeof counts, "%d copied, %d moved, %d renamed, %d deleted, %d kept, %d failed",
                   r->counts[REPORT_COPIED], r->counts[REPORT_MOVED], r->counts[REPORT_RENAMED],
                   r->counts[REPORT_DELETED], r->counts[REPORT_KEPT], r->counts[REPORT_FAILED]);
        // With nothing to do no folder was acted on: the fields stay empty.
        char folders[2][REPORT_FIELD_CAPACITY];
        CleanField(folders[0], sizeof folders[0], r->nothingToDo ? "" : r->dataFolder);
        CleanField(folders[1], sizeof folders[1], r->nothingToDo ? "" : r->oldFolder);
        char line[REPORT_LINE_CAPACITY];
        if (TextFormat(line, sizeof line, "summary\t%s\t%s\t%s\r\n", counts, folders[0], folders[1]))
            WriteText(line);
        else
            r->writeFailed = 1;
        if (OsFclose(r->file) != 0)
            r->writeFailed = 1;
        // Only a whole report takes the report's name.
        if (!r->writeFailed && OsGetFileAttributes(r->path) != OS_INVALID_FILE_ATTRIBUTES) {
            OsSetFileAttributes(r->path, OS_FILE_ATTRIBUTE_NORMAL);
            OsDeleteFile(r->path);
        }
        if (r->writeFailed || OsRename(r->tempPath, r->path) != 0) {
            OsDeleteFile(r->tempPath);
            r->mask |= UPGRADE_FAILED;
        }
    }
    int mask = r->mask;
    if (r->entries)
        OsFree(r->entries);
    if (r->buckets)
        OsFree(r->buckets);
    if (r->staying)
        OsFree(r->staying);
    OsFree(r);
    s_report = nullptr;
    return mask;
}

int ReportIsOpen(void)
{
    return s_report != nullptr;
}
