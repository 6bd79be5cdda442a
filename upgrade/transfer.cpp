// Carries the user's files out of the old installation folder: data files
// copied, the ones left behind re-extended to ".OLD", leftovers deleted,
// backups and letters moved into the data folder.
#include "upgrade/upgrade.h"
#include "files/files.h"
#include "log/log.h"
#include "upgrade/report.h"

#define TRANSFER_SECTION "TransferUserFiles"

static const char *const kDataFilesAndCopies[] = {"*.LW", "*.OLD"};
static const char *const kEarlierCopies[] = {"*.OLD"};
static const char *const kDataFiles[] = {"*.LW"};
static const char *const kLeftovers[] = {"*.LDB", "*.GID"};
static const char *const kBackups[] = {"*.BK1", "*.BK2", "*.BK3"};
static const char *const kLetters[] = {"*.RTF"};

// Every file the transfer acts on is the user's: each gets its report line.
static const FileHooks kUserFiles = {nullptr, nullptr, ReportUserFileOutcome, nullptr};

#define COUNT_OF(table) ((int)(sizeof(table) / sizeof((table)[0])))

static void Log(LogLevel level, const char *format, const char *value)
{
    LogMessage(LOG_MODULE, TRANSFER_SECTION, level, format, value ? value : "[NULL]");
}

// Fresh copies of both folders, each joined with its sub-folder when given.
// 0 (and an ERROR line) when a path does not fit: it is refused, never cut.
static int SetFolders(char *oldFolder, char *newFolder, const char *oldPath, const char *newPath,
                      const char *oldSub, const char *newSub)
{
    if (!TextCopyPath(oldFolder, oldPath) || (oldSub && !OsPathAppend(oldFolder, oldSub))) {
        LogMessage(LOG_MODULE, TRANSFER_SECTION, LOG_ERROR, "Path too long, left alone: %s%s%s",
                   oldPath, oldSub ? "\\" : "", oldSub ? oldSub : "");
        return 0;
    }
    if (!TextCopyPath(newFolder, newPath) || (newSub && !OsPathAppend(newFolder, newSub))) {
        LogMessage(LOG_MODULE, TRANSFER_SECTION, LOG_ERROR, "Path too long, left alone: %s%s%s",
                   newPath, newSub ? "\\" : "", newSub ? newSub : "");
        return 0;
    }
    return 1;
}

// How a file of the old folder is judged against the file of its name in the
// data folder.
enum {
    // Deleting an earlier copy, or giving a data file the ".OLD" extension:
    // only where the data folder holds its bytes, so what the user sees as
    // carried really was.
    KEEP_UNLESS_IDENTICAL,
    // Copying: never over a different file, which may be the user's only copy
    // of it (a newer data file, or an earlier copy carried by a run before).
    COPY_UNLESS_DIFFERENT
};

static int MatchesAny(const char *path, const char *const *patterns, int patternCount)
{
    for (int i = 0; i < patternCount; i++)
        if (OsPathMatchSpec(path, patterns[i]))
            return 1;
    return 0;
}

int IsJudgedByTheTransfer(const char *name)
{
    return MatchesAny(name, kDataFilesAndCopies, COUNT_OF(kDataFilesAndCopies));
}

// An ".OLD" file whose bytes the data folder holds as the data file of its
// name is that data file, carried and re-extended by a run that was cut off
// before the old folder took its " OLD" name. It is neither an earlier copy
// to carry nor one to delete: it stays, as an uninterrupted run leaves it.
static int IsCarriedDataFile(const char *oldFile, const char *name, const char *newFolder)
{
    if (!OsPathMatchSpec(name, "*.OLD"))
        return 0;
    char dataFile[OS_PATH_BUFFER];
    char base[OS_PATH_BUFFER];
    if (!FileNameOfPath(oldFile, base, 0) || !TextCopyPath(dataFile, newFolder) ||
        !OsPathAppend(dataFile, base) || !TextAppendPath(dataFile, ".LW"))
        return 0;
    return IsIdenticalCopy(oldFile, dataFile);
}

// Where the data folder holds no identical copy, the file stays: the reason
// says whether another file took its place there.
static void ReportKeptUnlessIdentical(const char *oldFile, const char *newFile)
{
    ReportDecision(REPORT_KEPT, oldFile, "",
                   newFile != nullptr && PvGetFileAttributes(newFile) != OS_INVALID_FILE_ATTRIBUTES
                       ? "a different file of that name is in the data folder"
                       : "not copied to the data folder");
}

// One action of the transfer over the files directly in the old folder.
typedef struct RuleCall {
    int action;
    int rule;
    const char *newFolder;
    // One folder under two spellings: nothing is copied onto itself, and no
    // file counts as its own copy. Settled once for the action.
    int sameFolder;
} RuleCall;

// What the rule says of oldFile, whose name is name. RULE_IN_PLACE: a copy
// finds its identical copy in the data folder already (a run before made
// it, and it may be read-only, which CopyFile would refuse to replace); the
// file counts as copied without a copy.
enum { RULE_TAKES, RULE_KEEPS, RULE_ALREADY_CARRIED, RULE_IN_PLACE };

// Whether newFile looks like a copy of oldFile by what the file system keeps
// of both: size and last-write time (CopyFile keeps the time). A forecast
// only, for the list of what stays: the bytes decide where a file is acted
// on.
static int LooksLikeCopy(const char *oldFile, const char *newFile)
{
    OsFileFacts a;
    OsFileFacts b;
    return PvGetFileFacts(oldFile, &a) && PvGetFileFacts(newFile, &b) &&
           !(a.attributes & OS_FILE_ATTRIBUTE_DIRECTORY) && !(b.attributes & OS_FILE_ATTRIBUTE_DIRECTORY) &&
           a.size == b.size && a.lastWrite == b.lastWrite;
}

// The verdict, with newFile (OS_PATH_BUFFER) set to the file of its name in
// the data folder, or "" when there is none to compare with. A forecast takes
// a file that looks like its copy for identical without reading the bytes:
// each data file's bytes are then read once, where it is acted on, not twice.
static int Judge(const RuleCall *call, const char *oldFile, const char *name, char *newFile, int forecast)
{
    if (call->sameFolder || !TextCopyPath(newFile, call->newFolder) || !OsPathAppend(newFile, name)) {
        newFile[0] = '\0';
        return RULE_KEEPS;
    }
    if (IsCarriedDataFile(oldFile, name, call->newFolder))
        return RULE_ALREADY_CARRIED;
    if (call->rule == COPY_UNLESS_DIFFERENT && PvGetFileAttributes(newFile) == OS_INVALID_FILE_ATTRIBUTES)
        return RULE_TAKES;
    int identical = (forecast && LooksLikeCopy(oldFile, newFile)) || IsIdenticalCopy(oldFile, newFile);
    if (!identical)
        return RULE_KEEPS;
    return call->rule == COPY_UNLESS_DIFFERENT ? RULE_IN_PLACE : RULE_TAKES;
}

// The lines for a file the rule keeps where it is (verdict not RULE_TAKES).
static void LogKept(const RuleCall *call, const char *oldFile, int verdict, const char *newFile)
{
    int placed = newFile[0] != '\0';
    if (verdict == RULE_ALREADY_CARRIED) {
        if (call->rule == COPY_UNLESS_DIFFERENT)
            LogMessage(LOG_MODULE, TRANSFER_SECTION, LOG_INFO, "Already carried, kept as it is: %s", oldFile);
    } else if (call->rule == KEEP_UNLESS_IDENTICAL && call->action == FILE_DELETE) {
        LogMessage(LOG_MODULE, TRANSFER_SECTION, LOG_ERROR,
                   "Not Deleted: %s, no identical copy in new datafile folder", oldFile);
        ReportKeptUnlessIdentical(oldFile, placed ? newFile : nullptr);
    } else if (call->rule == KEEP_UNLESS_IDENTICAL) {
        LogMessage(LOG_MODULE, TRANSFER_SECTION, LOG_ERROR,
                   "Not Carried: %s, no identical copy in new datafile folder, kept under its name", oldFile);
        ReportKeptUnlessIdentical(oldFile, placed ? newFile : nullptr);
    } else {
        // Kept or not, the file's fate is told where it is deleted or
        // given the ".OLD" name.
        LogMessage(LOG_MODULE, TRANSFER_SECTION, LOG_ERROR,
                   "Not Copied: %s, a different file of that name is in new datafile folder", oldFile);
    }
}

// The rule's verdict on a file the engine is about to act on, from the
// bytes; a file in place gets its line here. again: asked right before a
// try after a wait, where whatever keeps the file is told now.
static int AllowedByRule(const char *sourceFile, const RuleCall *call, int again)
{
    char name[OS_PATH_BUFFER];
    char newFile[OS_PATH_BUFFER];
    if (!FileNameOfPath(sourceFile, name, 1))
        return 0;
    int verdict = Judge(call, sourceFile, name, newFile, 0);
    if (verdict == RULE_TAKES)
        return 1;
    if (verdict == RULE_IN_PLACE)
        LogMessage(LOG_MODULE, TRANSFER_SECTION, LOG_INFO, "Already in new datafile folder: %s", sourceFile);
    // The first time, the list beforehand has told every file it forecast
    // as kept; one it forecast as carried (size and time matched, the bytes
    // do not) gets its lines here instead.
    else if (again || (verdict == RULE_KEEPS && newFile[0] != '\0' && LooksLikeCopy(sourceFile, newFile)))
        LogKept(call, sourceFile, verdict, newFile);
    return 0;
}

// The engine's say on each file its patterns selected.
static int SelectByRule(const char *sourceFile, void *context)
{
    return AllowedByRule(sourceFile, (const RuleCall *)context, 0);
}

// The engine's question again, right before a try after a wait: another
// program held the file, and it (or another) may have written the file or
// its copy in the data folder meanwhile.
static int StillAllowedByRule(const char *sourceFile, void *context)
{
    return AllowedByRule(sourceFile, (const RuleCall *)context, 1);
}

// Logs, before the action's own lines, every file directly in oldFolder that
// the patterns select and the rule keeps where it is.
static void RefuseWhatTheRuleKeeps(const RuleCall *call, const char *oldFolder, const char *const *patterns,
                                   int patternCount)
{
    char folder[OS_PATH_BUFFER];
    char search[OS_PATH_BUFFER];
    if (!TextCopyPath(folder, oldFolder) || OsPathAddBackslash(folder) == nullptr)
        return;
    if (!TextCopyPath(search, folder) || !OsPathAppend(search, "*.*"))
        return;
    OsFindData entry;
    PvFind *find = PvFindFirst(search, &entry);
    if (find == nullptr)
        return;
    do {
        if (entry.name[0] == '.' || (entry.attributes & OS_FILE_ATTRIBUTE_DIRECTORY))
            continue;
        char oldFile[OS_PATH_BUFFER];
        if (!TextCopyPath(oldFile, folder) || !TextAppendPath(oldFile, entry.name))
            continue; // the engine can't reach it either
        if (!MatchesAny(oldFile, patterns, patternCount))
            continue;
        char newFile[OS_PATH_BUFFER];
        int verdict = Judge(call, oldFile, entry.name, newFile, 1);
        if (verdict != RULE_TAKES && verdict != RULE_IN_PLACE)
            LogKept(call, oldFile, verdict, newFile);
    } while (!PvCancelled() && PvFindNext(find, &entry) == 0);
    PvFindClose(find);
}

// Runs the action over the files of oldFolder that the patterns select and
// the rule lets through; the others are logged first and left where they
// are. The engine does the work (and logs it), asking the rule per file.
static void ActOnFilesTheRuleAllows(int action, char *oldFolder, char *newFolder, const char *const *patterns,
                                    int patternCount, int rule)
{
    char newExtension[] = ".OLD";
    char *destination = action == FILE_COPY ? newFolder : action == FILE_RENAME_EXT ? newExtension : nullptr;
    RuleCall call = {action, rule, newFolder, SamePath(oldFolder, newFolder)};
    RefuseWhatTheRuleKeeps(&call, oldFolder, patterns, patternCount);
    FileHooks hooks = {SelectByRule, StillAllowedByRule, ReportUserFileOutcome, &call};
    PerformActionOnFilesWith(action, oldFolder, destination, patterns, patternCount, 1, 0, 0, nullptr, &hooks);
}

void TransferUserFiles(const char *oldDatafilePath, const char *newDatafilePath)
{
    char oldFolder[OS_PATH_BUFFER];
    char newFolder[OS_PATH_BUFFER];
    Log(LOG_INFO, "%s", "----## Started ##----");
    Log(LOG_INFO, "OLD_DatafilePath: %s", oldDatafilePath);
    Log(LOG_INFO, "NEW_DatafilePath: %s", newDatafilePath);
    if (!HasText(oldDatafilePath) || !HasText(newDatafilePath)) {
        // Without both folders every action would be refused or aimed at
        // the current folder.
        LogMessage(LOG_MODULE, TRANSFER_SECTION, LOG_ERROR, "Not Found: OLD_DatafilePath or NEW_DatafilePath");
        Log(LOG_INFO, "%s", "----## Finished ##----");
        return;
    }

    if (SetFolders(oldFolder, newFolder, oldDatafilePath, newDatafilePath, nullptr, nullptr)) {
        Log(LOG_INFO, "%s", "Copying .LW and .OLD to new datafile folder");
        Log(LOG_INFO, "Old: %s", oldFolder);
        Log(LOG_INFO, "v5:  %s", newFolder);
        ActOnFilesTheRuleAllows(FILE_COPY, oldFolder, newFolder, kDataFilesAndCopies, COUNT_OF(kDataFilesAndCopies),
                                COPY_UNLESS_DIFFERENT);

        // Clears the way for the renames below, but only of copies that are safe.
        Log(LOG_INFO, "%s", "Deleting .OLD file from old ledgerwick folder");
        Log(LOG_INFO, "Old: %s", oldFolder);
        ActOnFilesTheRuleAllows(FILE_DELETE, oldFolder, newFolder, kEarlierCopies, COUNT_OF(kEarlierCopies),
                                KEEP_UNLESS_IDENTICAL);

        Log(LOG_INFO, "%s", "Renaming .LW to .OLD in old ledgerwick folder");
        Log(LOG_INFO, "Old: %s", oldFolder);
        ActOnFilesTheRuleAllows(FILE_RENAME_EXT, oldFolder, newFolder, kDataFiles, COUNT_OF(kDataFiles),
                                KEEP_UNLESS_IDENTICAL);

        // A data folder inside the old folder holds the user's own files,
        // not the old program's leftovers.
        Log(LOG_INFO, "%s", "Delete any temp files that ledgerwick hasn't cleaned up");
        Log(LOG_INFO, "Old: %s", oldFolder);
        PerformActionOnFilesWith(FILE_DELETE, oldFolder, nullptr, kLeftovers, COUNT_OF(kLeftovers), 1, 0, 1,
                                 newDatafilePath, &kUserFiles);
    }

    Log(LOG_INFO, "%s", "Moving the 'Backups' to new datafile folder");
    if (SetFolders(oldFolder, newFolder, oldDatafilePath, newDatafilePath, "Backups", "Automated Backups")) {
        Log(LOG_INFO, "Old: %s", oldFolder);
        Log(LOG_INFO, "v5:  %s", newFolder);
        PerformActionOnFilesWith(FILE_MOVE, oldFolder, newFolder, kBackups, COUNT_OF(kBackups), 1, 1, 0, nullptr,
                                 &kUserFiles);
    }

    Log(LOG_INFO, "%s", "Moving the 'Letters' to new datafile folder");
    if (SetFolders(oldFolder, newFolder, oldDatafilePath, newDatafilePath, "Letters", "Letters")) {
        Log(LOG_INFO, "Old: %s", oldFolder);
        Log(LOG_INFO, "v5:  %s", newFolder);
        PerformActionOnFilesWith(FILE_MOVE, oldFolder, newFolder, kLetters, COUNT_OF(kLetters), 1, 1, 1, nullptr,
                                 &kUserFiles);
    }

    Log(LOG_INFO, "%s", "----## Finished ##----");
}
