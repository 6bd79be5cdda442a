// Removes the old program from its installation folder: its own files, then
// the sub-folders it kept there. The user's files have been carried out of the
// folder before this runs; what the transfer had to leave behind (a file of
// the same name already stood in the data folder, a copy failed) and whatever
// else the user keeps there are kept, and travel with the folder to its " OLD"
// name.
#include "upgrade/upgrade.h"
#include "files/files.h"
#include "log/log.h"
#include "upgrade/report.h"

#include <string.h>

#define SECTION "DeleteOldVersion"

static const char *const OldProgramFiles[] = {
    "blank.mdb",    "Ledgerwick.bmp", "ledgerwick.cnt", "ledgerwick.exe", "ledgerwick.hlp",
    "Ledgerwick.ico", "ledgerwick.mdb", "dao2016.dll",  "demo.dat",       "Demo.ico",
    "Disk.ico",     "msabc200.dll",   "msajt200.dll",   "msaexp20.dll",   "msafin.dll",
    "Msain200.dll", "Msaju200.dll",   "msaole20.dll",   "Msarn200.exe",   "msjeterr.dll",
    "msjetint.dll", "soa200.dll",     "system.mda",     "Uninstal.exe",   "Uninstal.ico",
    "utility.mda",
};

// How the files of a sub-folder are judged before it goes.
enum {
    // The old program's own folder: a user's file is told by its name.
    KEEP_USER_NAMES,
    // A folder the user filled: only a file the transfer carried (its
    // identical copy stands in the data folder) may go; every other file,
    // whatever its name, is the user's.
    KEEP_ALL_NOT_CARRIED
};

typedef struct OldSubFolder {
    const char *name;
    const char *logLine;
    int recurse;
    int rule;
    // Where the transfer carries its files in the data folder; null where it
    // carries none.
    const char *carriedTo;
} OldSubFolder;

static const OldSubFolder OldSubFolders[] = {
    {"Backups", "Removing Backups", 0, KEEP_ALL_NOT_CARRIED, "Automated Backups"},
    {"DISK1", "Removing DISK1", 0, KEEP_USER_NAMES, nullptr},
    {"DISK2", "Removing DISK2", 0, KEEP_USER_NAMES, nullptr},
    {"DISK3", "Removing DISK3", 0, KEEP_USER_NAMES, nullptr},
    {"DISK4", "Removing DISK4", 0, KEEP_USER_NAMES, nullptr},
    {"Email", "Removing Email", 0, KEEP_ALL_NOT_CARRIED, nullptr},
    {"Letters", "Removing Letters", 1, KEEP_ALL_NOT_CARRIED, "Letters"},
    {"Manual", "Removing Manual", 1, KEEP_USER_NAMES, nullptr},
};

// What a pass over one folder needs: the rule and, for a carried folder,
// the folder of the data folder that mirrors this one ("" when none).
typedef struct Judge {
    int rule;
    const char *mirror;
} Judge;

// Handed to the engine with its filter off, so never read; kept as the list
// the sub-folder calls have always carried.
static const char *const OldSubFolderPatterns[] = {"*.LW", "*.OLD"};

// Everything the transfer carries out of the old folder: data files, earlier
// copies, backups and letters.
static const char *const UserFilePatterns[] = {"*.LW", "*.OLD", "*.BK1", "*.BK2", "*.BK3", "*.RTF"};

#define COUNT_OF(table) ((int)(sizeof(table) / sizeof((table)[0])))

// Joins name onto folder. A path that would not fit is refused and logged:
// a shortened path could name some other file, and it is about to be deleted.
static int JoinOrRefuse(char *path, const char *folder, const char *name)
{
    if (TextCopyPath(path, folder) && OsPathAppend(path, name))
        return 1;
    size_t length = strlen(folder);
    const char *separator = (length > 0 && folder[length - 1] == '\\') ? "" : "\\";
    LogMessage(LOG_MODULE, SECTION, LOG_ERROR, "Path too long, left alone: %s%s%s", folder, separator, name);
    path[0] = '\0';
    return 0;
}

int IsUsersFileName(const char *name)
{
    for (int i = 0; i < COUNT_OF(UserFilePatterns); i++)
        if (OsPathMatchSpec(name, UserFilePatterns[i]))
            return 1;
    return 0;
}

// Names beginning with "." are passed over, as the file engine passes over
// them: neither pass ever deletes them.
static int IsSkippedEntry(const OsFindData *entry)
{
    return entry->name[0] == '.';
}

// Whether a file stays: by its name, or by whether the transfer carried it.
static int Keeps(const Judge *judge, const char *path, const char *name)
{
    if (judge->rule == KEEP_USER_NAMES)
        return IsUsersFileName(name);
    char copy[OS_PATH_BUFFER];
    if (!HasText(judge->mirror) || !TextCopyPath(copy, judge->mirror) || !OsPathAppend(copy, name))
        return 1;
    return !IsIdenticalCopy(path, copy);
}

// Keeps asked again before a delete is tried after a wait: the program that
// held the file may have written its copy in the data folder meanwhile.
static int StillCarried(const char *path, void *context)
{
    char name[OS_PATH_BUFFER];
    return FileNameOfPath(path, name, 1) && !Keeps((const Judge *)context, path, name);
}

// A sub-folder of the user's that the engine clears in one pass (every file
// in it was carried), and where in the data folder its files were carried.
typedef struct CarriedPass {
    const char *folder; // as the engine was given it
    const char *mirror;
} CarriedPass;

// The engine's ask-again before a delete after a wait, in such a pass: the
// program that held the file may have written it, or its copy, meanwhile.
// A file that is no longer its copy's twin (or can't be read to tell) stays:
// a failure, with the held try's error, as when the folder is judged file by
// file.
static int StillCarriedInPass(const char *path, void *context)
{
    unsigned long error = OsGetLastError();
    const CarriedPass *pass = (const CarriedPass *)context;
    // The engine names each file by the folder it was given (with the
    // backslash it adds) and the way down; the rest is that way down.
    size_t n = strlen(pass->folder);
    int carried = 0;
    if (strncmp(path, pass->folder, n) == 0 && (pass->folder[n - 1] == '\\' || path[n++] == '\\')) {
        char copy[OS_PATH_BUFFER];
        carried = HasText(pass->mirror) && TextCopyPath(copy, pass->mirror) && OsPathAppend(copy, path + n) &&
                  IsIdenticalCopy(path, copy);
    }
    if (!carried) {
        LogMessage(LOG_MODULE, SECTION, LOG_ERROR, "Not Removed:  %s", path);
        char reason[REPORT_REASON_CAPACITY];
        ReportFailureReason(error, reason, sizeof reason);
        ReportDecision(REPORT_FAILED, path, "", reason);
        OsSetLastError(error);
    }
    return carried;
}

// The judge for a folder one level down; mirror holds its buffer.
static Judge ChildJudge(const Judge *judge, const char *name, char *mirror)
{
    Judge child = {judge->rule, ""};
    mirror[0] = '\0';
    if (HasText(judge->mirror) && TextCopyPath(mirror, judge->mirror) && OsPathAppend(mirror, name))
        child.mirror = mirror;
    return child;
}

// 1 when the folder (and, with recurse, any folder below it) holds a file
// that stays, or when it cannot be fully examined; the caller then keeps
// rather than wipes.
static int FolderHoldsKeptFiles(const char *folder, int recurse, const Judge *judge)
{
    char pattern[OS_PATH_BUFFER];
    if (!TextCopyPath(pattern, folder) || !OsPathAppend(pattern, "*.*"))
        return IsExistingFolder(folder) ? 1 : 0;
    OsFindData entry;
    PvFind *find = PvFindFirst(pattern, &entry);
    if (find == nullptr)
        return IsExistingFolder(folder) ? 1 : 0;
    int found = 0;
    do {
        if (IsSkippedEntry(&entry) || IsLinkedFolder(entry.attributes))
            continue;
        char child[OS_PATH_BUFFER];
        if (!TextCopyPath(child, folder) || !OsPathAppend(child, entry.name)) {
            found = 1;
        } else if (entry.attributes & OS_FILE_ATTRIBUTE_DIRECTORY) {
            char mirror[OS_PATH_BUFFER];
            Judge childJudge = ChildJudge(judge, entry.name, mirror);
            if (recurse && FolderHoldsKeptFiles(child, recurse, &childJudge))
                found = 1;
        } else if (Keeps(judge, child, entry.name)) {
            found = 1;
        }
    } while (!found && PvFindNext(find, &entry) == 0);
    PvFindClose(find);
    return found;
}

// Deletes every file of the folder (and, with recurse, of the folders below)
// except those that stay, then removes each folder that is left empty.
static void RemoveAllButKeptFiles(const char *folder, int recurse, const Judge *judge)
{
    char pattern[OS_PATH_BUFFER];
    if (!JoinOrRefuse(pattern, folder, "*.*"))
        return;
    OsFindData entry;
    PvFind *find = PvFindFirst(pattern, &entry);
    if (find != nullptr) {
        do {
            if (IsSkippedEntry(&entry))
                continue;
            int isFolder = (entry.attributes & OS_FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (isFolder && !recurse)
                continue;
            char path[OS_PATH_BUFFER];
            if (!JoinOrRefuse(path, folder, entry.name))
                continue;
            if (IsLinkedFolder(entry.attributes)) {
                LogMessage(LOG_MODULE, SECTION, LOG_INFO, "Not followed (link): %s", path);
            } else if (isFolder) {
                char mirror[OS_PATH_BUFFER];
                Judge childJudge = ChildJudge(judge, entry.name, mirror);
                RemoveAllButKeptFiles(path, recurse, &childJudge);
            } else if (Keeps(judge, path, entry.name)) {
                LogMessage(LOG_MODULE, SECTION, LOG_INFO, "Kept:  %s", path);
                ReportDecision(REPORT_KEPT, path, "",
                               judge->rule == KEEP_USER_NAMES ? "a user's file among the old program's"
                                                              : "not carried to the data folder");
            } else if (PvSetFileAttributes(path, OS_FILE_ATTRIBUTE_NORMAL) &&
                       RetryWhileInUse(RETRY_DELETE, path, nullptr, SECTION, StillCarried, (void *)judge)) {
                LogMessage(LOG_MODULE, SECTION, LOG_INFO, "Removed:  %s", path);
                // In a folder of the user's, only a file whose copy is in the
                // data folder goes.
                if (judge->rule == KEEP_ALL_NOT_CARRIED)
                    ReportDecision(REPORT_DELETED, path, "", nullptr);
            } else if (OsGetLastError() != OS_ERROR_CANCELLED) {
                unsigned long error = OsGetLastError();
                LogMessage(LOG_MODULE, SECTION, LOG_ERROR, "Not Removed:  %s", path);
                char reason[REPORT_REASON_CAPACITY];
                ReportFailureReason(error, reason, sizeof reason);
                ReportDecision(REPORT_FAILED, path, "", reason);
            }
        } while (!PvCancelled() && PvFindNext(find, &entry) == 0);
        PvFindClose(find);
    }
    // Goes only when nothing was kept in it.
    PvRemoveDirectory(folder);
}

// 1 when a folder of the user's lies in (or is) the sub-folder: nothing on
// the way to it may go.
static int HoldsUsersFolder(const char *subFolder, const char *newDatafilePath, const char *keptFolder)
{
    return (HasText(newDatafilePath) && PathIsAtOrBelow(newDatafilePath, subFolder)) ||
           (HasText(keptFolder) && PathIsAtOrBelow(keptFolder, subFolder));
}

void DeleteOldVersion(const char *oldInstallPath, const char *newDatafilePath, const char *keptFolder)
{
    LogMessage(LOG_MODULE, SECTION, LOG_INFO, "----## Started ##----");
    if (!HasText(oldInstallPath)) {
        // An empty folder would turn every name below into a relative path.
        LogMessage(LOG_MODULE, SECTION, LOG_ERROR, "Not Found: OLDPath");
        LogMessage(LOG_MODULE, SECTION, LOG_INFO, "----## Finished ##----");
        return;
    }
    if (!TextFitsPath(oldInstallPath)) {
        LogMessage(LOG_MODULE, SECTION, LOG_ERROR, "Path too long, left alone: %s", oldInstallPath);
        LogMessage(LOG_MODULE, SECTION, LOG_INFO, "----## Finished ##----");
        return;
    }

    char path[OS_PATH_BUFFER];
    for (int i = 0; i < COUNT_OF(OldProgramFiles) && !PvCancelled(); i++) {
        if (!JoinOrRefuse(path, oldInstallPath, OldProgramFiles[i]))
            continue;
        // Read-only, hidden or system files would refuse the delete. These
        // lines record attempts: a file that was never there is logged too.
        PvSetFileAttributes(path, OS_FILE_ATTRIBUTE_NORMAL);
        int removed = RetryWhileInUse(RETRY_DELETE, path, nullptr, SECTION);
        unsigned long error = removed ? 0 : OsGetLastError();
        LogMessage(LOG_MODULE, SECTION, LOG_INFO, "Removed:  %s", path);
        // One that was there and stays (held open by a program still
        // running) is a failure the setup must hear of.
        if (!removed && error != OS_ERROR_FILE_NOT_FOUND && error != OS_ERROR_PATH_NOT_FOUND &&
            error != OS_ERROR_CANCELLED) {
            LogMessage(LOG_MODULE, SECTION, LOG_ERROR, "Not Removed:  %s", path);
            char reason[REPORT_REASON_CAPACITY];
            ReportFailureReason(error, reason, sizeof reason);
            ReportDecision(REPORT_FAILED, path, "", reason);
        }
    }

    for (int i = 0; i < COUNT_OF(OldSubFolders) && !PvCancelled(); i++) {
        const OldSubFolder *sub = &OldSubFolders[i];
        LogMessage(LOG_MODULE, SECTION, LOG_INFO, "%s", sub->logLine);
        if (!JoinOrRefuse(path, oldInstallPath, sub->name))
            continue;
        LogMessage(LOG_MODULE, SECTION, LOG_INFO, "Temp:  %s", path);
        unsigned long attributes = PvGetFileAttributes(path);
        if (attributes != OS_INVALID_FILE_ATTRIBUTES && (attributes & OS_FILE_ATTRIBUTE_REPARSE_POINT)) {
            LogMessage(LOG_MODULE, SECTION, LOG_INFO, "Not followed (link): %s", path);
            continue;
        }
        if (HoldsUsersFolder(path, newDatafilePath, keptFolder)) {
            LogMessage(LOG_MODULE, SECTION, LOG_INFO, "Kept (holds the data folder or the last data file): %s",
                       path);
            ReportDecision(REPORT_KEPT, path, "", "holds the data folder or the last data file");
            continue;
        }
        char mirror[OS_PATH_BUFFER] = "";
        Judge judge = {sub->rule, ""};
        if (sub->carriedTo != nullptr && HasText(newDatafilePath) &&
            TextCopyPath(mirror, newDatafilePath) && OsPathAppend(mirror, sub->carriedTo))
            judge.mirror = mirror;
        if (FolderHoldsKeptFiles(path, sub->recurse, &judge)) {
            // The engine selects by inclusion only; a pass of our own
            // deletes everything but what stays.
            LogMessage(LOG_MODULE, SECTION, LOG_INFO, "Keeping user files in: %s", path);
            RemoveAllButKeptFiles(path, sub->recurse, &judge);
            continue;
        }
        // A folder of the user's loses only carried files here, and each
        // is reported: an earlier line may have said it was kept.
        int usersFolder = sub->rule == KEEP_ALL_NOT_CARRIED;
        CarriedPass pass = {path, judge.mirror};
        FileHooks hooks = {nullptr, usersFolder ? StillCarriedInPass : nullptr,
                           usersFolder ? ReportUserFileOutcome : ReportProgramFileOutcome, &pass};
        PerformActionOnFilesWith(FILE_DELETE, path, 0, OldSubFolderPatterns, COUNT_OF(OldSubFolderPatterns), 0, 1,
                                 sub->recurse, nullptr, &hooks);
    }

    LogMessage(LOG_MODULE, SECTION, LOG_INFO, "----## Finished ##----");
}
