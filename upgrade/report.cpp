// The report of one upgrade call. It is written as the decisions are made,
// to a temporary name beside the report, and put in place at the end, so a
// reader never sees half of one. A preview writes its report the same way:
// the steps it runs are the run's, with every change only planned.
#include "upgrade/report.h"

#include "settings/settings.h"

#include <string.h>

#define REPORT_FIELD_CAPACITY SETTING_TEXT_CAPACITY
#define REPORT_LINE_CAPACITY (3 * REPORT_FIELD_CAPACITY + 100)
#define TEMP_SUFFIX ".tmp"

static const char *const kVerbs[REPORT_VERB_COUNT] = {"copied", "moved", "renamed", "deleted", "kept", "failed"};
static const unsigned char kBom[] = {0xEF, 0xBB, 0xBF};

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
    int mask;
    int writeFailed;
    int nothingToDo;
    int counts[REPORT_VERB_COUNT];
    OsFile *file;
    char path[OS_PATH_BUFFER];
    char tempPath[OS_PATH_BUFFER];
    char dataFolder[OS_PATH_BUFFER];
    char oldFolder[OS_PATH_BUFFER];
    StayingFile *staying;
    int stayingCount;
    int stayingCapacity;
} Report;

// Open only within one upgrade call.
static Report *s_report;

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

int ReportTellsOfStaying(const char *path)
{
    return s_report != nullptr && path != nullptr && FindStaying(path) != nullptr;
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

static void ReportFileAction(int action, const char *source, const char *after, int done, unsigned long error,
                             int userFiles)
{
    static const int kDone[] = {REPORT_MOVED, REPORT_COPIED, REPORT_DELETED, REPORT_RENAMED};
    if (s_report == nullptr || action < FILE_MOVE || action > FILE_RENAME_EXT)
        return;
    const char *shownAfter = action == FILE_DELETE ? "" : after;
    if (done) {
        if (userFiles)
            ReportDecision(kDone[action], source, shownAfter, nullptr);
        return;
    }
    // A stop the caller asked for left the file as it was: no line of its own.
    if (error == OS_ERROR_CANCELLED)
        return;
    if (IsExistsError(error)) {
        if (userFiles)
            ReportDecision(REPORT_KEPT, source, "",
                           action == FILE_RENAME_EXT ? "a file of the new name is already there"
                                                     : "a file of that name is already in the data folder");
        return;
    }
    char reason[REPORT_REASON_CAPACITY];
    ReportFailureReason(error, reason, sizeof reason);
    ReportDecision(REPORT_FAILED, source, shownAfter, reason);
}

void ReportUserFileOutcome(int action, const char *source, const char *after, int done, unsigned long error,
                           void *)
{
    ReportFileAction(action, source, after, done, error, 1);
}

void ReportProgramFileOutcome(int action, const char *source, const char *after, int done, unsigned long error,
                              void *)
{
    ReportFileAction(action, source, after, done, error, 0);
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
    case OS_ERROR_CANCELLED:
        TextCopy(reason, capacity, "cancelled");
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

void ReportSettingsMigrated(void)
{
    if (s_report)
        s_report->mask |= UPGRADE_SETTINGS;
}

// ---------------------------------------------------------------------------
// The call

int ReportOpen(const char *reportPath)
{
    Report *r = (Report *)OsAlloc(sizeof(Report));
    if (r == nullptr)
        return UPGRADE_FAILED;
    memset(r, 0, sizeof *r);
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
    // A run the caller stopped says so before its summary; the lines above
    // tell what it did before the stop.
    if (PvCancelled()) {
        r->mask |= UPGRADE_CANCELLED;
        WriteText("cancelled\t\t\r\n");
    }
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
