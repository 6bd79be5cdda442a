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

#define SETTING_TEXT_CAPACITY 2048
#define REPORT_LINE_CAPACITY 1100
#define TEMP_SUFFIX ".tmp"

static const char *const kVerbs[REPORT_VERB_COUNT] = {"copied", "moved", "renamed", "deleted", "kept", "failed"};
static const unsigned char kBom[] = {0xEF, 0xBB, 0xBF};

typedef enum PlanKind {
    PLAN_GONE,     // removed, moved or renamed away
    PLAN_PRESENT,  // now holds what origin held (a folder: everything below)
    PLAN_MADE,     // a folder made empty
    PLAN_REPORTED  // a kept or failed line was written for it
} PlanKind;

typedef struct PlanEntry {
    int kind;
    char path[OS_PATH_BUFFER]; // identity form; as written for PLAN_REPORTED
    char origin[OS_PATH_BUFFER];
} PlanEntry;

typedef struct Report {
    int previewing;
    int mask;
    int userFiles;
    int writeFailed;
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
    unsigned char settingPlanned[SETTING_COUNT];
    char settings[SETTING_COUNT][SETTING_TEXT_CAPACITY];
} Report;

// Open only within one ExW call.
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

// Fields separated by tabs, which no Windows path holds.
static void WriteLine(const char *first, const char *second, const char *third, const char *fourth)
{
    char line[REPORT_LINE_CAPACITY];
    int fits = fourth != nullptr ? TextFormat(line, sizeof line, "%s\t%s\t%s\t%s\r\n", first, second, third, fourth)
                                 : TextFormat(line, sizeof line, "%s\t%s\t%s\r\n", first, second, third);
    if (!fits)
        s_report->writeFailed = 1; // a cut line would name another file
    else
        WriteText(line);
}

// The plan grows by doubling; 0 when no memory could be had, and the
// preview then cannot tell what the run would do.
static PlanEntry *NewEntry(int kind)
{
    Report *r = s_report;
    if (r->entryCount == r->entryCapacity) {
        int capacity = r->entryCapacity ? r->entryCapacity * 2 : 64;
        PlanEntry *grown = (PlanEntry *)OsAlloc((size_t)capacity * sizeof(PlanEntry));
        if (grown == nullptr) {
            r->mask |= UPGRADE_FAILED;
            return nullptr;
        }
        if (r->entries) {
            memcpy(grown, r->entries, (size_t)r->entryCount * sizeof(PlanEntry));
            OsFree(r->entries);
        }
        r->entries = grown;
        r->entryCapacity = capacity;
    }
    PlanEntry *entry = &r->entries[r->entryCount++];
    entry->kind = kind;
    entry->path[0] = '\0';
    entry->origin[0] = '\0';
    return entry;
}

static int AlreadyReported(const char *path)
{
    for (int i = 0; i < s_report->entryCount; i++)
        if (s_report->entries[i].kind == PLAN_REPORTED && OsNamesEqualNoCase(s_report->entries[i].path, path))
            return 1;
    return 0;
}

void ReportDecision(int verb, const char *before, const char *after, const char *reason)
{
    if (s_report == nullptr || verb < 0 || verb >= REPORT_VERB_COUNT)
        return;
    const char *shownBefore = before ? before : "";
    if (verb == REPORT_KEPT || verb == REPORT_FAILED) {
        // A file that failed to go, or was kept, is kept once: later steps
        // meet it again where it stays.
        if (verb == REPORT_KEPT && AlreadyReported(shownBefore))
            return;
        PlanEntry *entry = NewEntry(PLAN_REPORTED);
        if (entry)
            TextCopy(entry->path, sizeof entry->path, shownBefore);
    }
    s_report->counts[verb]++;
    if (verb == REPORT_COPIED || verb == REPORT_MOVED)
        s_report->mask |= UPGRADE_CARRIED;
    else if (verb == REPORT_KEPT)
        s_report->mask |= UPGRADE_KEPT;
    else if (verb == REPORT_FAILED)
        s_report->mask |= UPGRADE_FAILED;
    int withReason = verb == REPORT_KEPT || verb == REPORT_FAILED;
    WriteLine(kVerbs[verb], shownBefore, after ? after : "", withReason ? (reason ? reason : "") : nullptr);
}

static int IsExistsError(unsigned long error)
{
    return error == OS_ERROR_FILE_EXISTS || error == OS_ERROR_ALREADY_EXISTS;
}

void ReportFileAction(int action, const char *source, const char *after, int done, unsigned long error)
{
    if (s_report == nullptr || !s_report->userFiles)
        return;
    static const int kDone[] = {REPORT_MOVED, REPORT_COPIED, REPORT_DELETED, REPORT_RENAMED};
    if (action < FILE_MOVE || action > FILE_RENAME_EXT)
        return;
    const char *shownAfter = action == FILE_DELETE ? "" : after;
    if (done) {
        ReportDecision(kDone[action], source, shownAfter, nullptr);
        return;
    }
    if (IsExistsError(error)) {
        ReportDecision(REPORT_KEPT, source, "",
                       action == FILE_RENAME_EXT ? "a file of the new name is already there"
                                                 : "a file of that name is already in the data folder");
        return;
    }
    char reason[64];
    switch (error) {
    case OS_ERROR_SHARING_VIOLATION:
        TextCopy(reason, sizeof reason, "in use by another program");
        break;
    case OS_ERROR_ACCESS_DENIED:
        TextCopy(reason, sizeof reason, "access denied");
        break;
    case OS_ERROR_DISK_FULL:
        TextCopy(reason, sizeof reason, "the disk is full");
        break;
    case OS_ERROR_FILE_NOT_FOUND:
    case OS_ERROR_PATH_NOT_FOUND:
        TextCopy(reason, sizeof reason, "not found");
        break;
    default:
        TextFormat(reason, sizeof reason, "Windows error %lu", error);
        break;
    }
    ReportDecision(REPORT_FAILED, source, shownAfter, reason);
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
        s_report->mask |= UPGRADE_NOTHING_TO_DO;
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

// What path holds in the planned file system: nothing, a folder the run
// makes, or what a real path (into real) holds now. Later entries first; a
// path that took another's place is followed to what that one held before.
static int Resolve(const char *path, char *real)
{
    char current[OS_PATH_BUFFER];
    if (!PathIdentityForm(path, current))
        return TextCopyPath(real, path) ? AS_REAL : AS_GONE;
    int limit = s_report->entryCount;
    for (;;) {
        int i = limit - 1;
        for (; i >= 0; i--) {
            const PlanEntry *entry = &s_report->entries[i];
            if (entry->kind == PLAN_REPORTED)
                continue;
            int relation = Relation(current, entry->path);
            if (relation == NOT_RELATED || (entry->kind == PLAN_MADE && relation != SAME_PATH))
                continue;
            if (entry->kind == PLAN_GONE)
                return AS_GONE;
            if (entry->kind == PLAN_MADE)
                return AS_MADE_FOLDER;
            char rebased[OS_PATH_BUFFER];
            if (!TextCopyPath(rebased, entry->origin) ||
                !TextAppendPath(rebased, current + strlen(entry->path)))
                return AS_GONE;
            TextCopy(current, sizeof current, rebased);
            limit = i;
            break;
        }
        if (i < 0)
            break;
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
    if (!PathIdentityForm(path, form) || (origin && !PathIdentityForm(origin, originForm)))
        return 0;
    PlanEntry *entry = NewEntry(kind);
    if (entry == nullptr)
        return 0;
    TextCopy(entry->path, sizeof entry->path, form);
    TextCopy(entry->origin, sizeof entry->origin, originForm);
    return 1;
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
    if (r->file != nullptr) {
        char counts[200];
        TextFormat(counts, sizeof counts, "%d copied, %d moved, %d renamed, %d deleted, %d kept, %d failed",
                   r->counts[REPORT_COPIED], r->counts[REPORT_MOVED], r->counts[REPORT_RENAMED],
                   r->counts[REPORT_DELETED], r->counts[REPORT_KEPT], r->counts[REPORT_FAILED]);
        char line[REPORT_LINE_CAPACITY];
        if (TextFormat(line, sizeof line, "summary\t%s\t%s\t%s\r\n", counts, r->dataFolder, r->oldFolder))
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
    OsFree(r);
    s_report = nullptr;
    return mask;
}
