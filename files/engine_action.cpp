// One file's action and its log line.
#include "files/files.h"
#include "log/log.h"

static const char kSection[] = "PerformActionOnFiles_DoAction";

// The folder a file is about to arrive in must exist first; MoveFile and
// CopyFile create nothing. 1 when it does now.
int PrepareDestinationFolder(const char *destinationFile)
{
    char folder[OS_PATH_BUFFER];
    FolderOfPath(destinationFile, folder);
    if (IsExistingFolder(folder) == -1)
        return 1;
    return EnsureFolderExists(folder) == -1;
}

// Data.LW + ".OLD" -> Data.OLD in the same folder; My.Books.LW -> My.Books.OLD.
static int RenamedPath(const char *sourceFile, const char *extension, char *newPath)
{
    char name[OS_PATH_BUFFER];
    if (!FolderOfPath(sourceFile, newPath) || !FileNameOfPath(sourceFile, name, 0))
        return 0;
    // A new name that doesn't fit is refused, never shortened.
    return OsPathAppend(newPath, name) && TextAppendPath(newPath, extension);
}

// The caller's check as RetryWhileInUse asks it, noting a refusal: the
// file then stays for the caller's reason, which the caller has told.
typedef struct Recheck {
    RetryCheck check;
    void *context;
    int refused;
} Recheck;

static int StillWanted(const char *sourceFile, void *context)
{
    Recheck *recheck = (Recheck *)context;
    if (recheck->check(sourceFile, recheck->context))
        return 1;
    recheck->refused = 1;
    return 0;
}

static int Retried(int operation, const char *sourceFile, const char *destination, Recheck *recheck)
{
    return RetryWhileInUse(operation, sourceFile, destination, kSection,
                           recheck->check != nullptr ? StillWanted : nullptr, recheck);
}

static int RenameExtension(const char *sourceFile, const char *extension, Recheck *recheck)
{
    char newPath[OS_PATH_BUFFER];
    if (!RenamedPath(sourceFile, extension, newPath))
        return 0;
    return Retried(RETRY_RENAME, sourceFile, newPath, recheck);
}

static int Act(int action, const char *sourceFile, const char *destination, int prepareFolder, Recheck *recheck)
{
    if (!HasText(sourceFile))
        return 0;
    switch (action) {
    case FILE_MOVE:
        if (!HasText(destination))
            return 0;
        if (prepareFolder)
            PrepareDestinationFolder(destination);
        return Retried(RETRY_MOVE, sourceFile, destination, recheck);
    case FILE_COPY:
        if (!HasText(destination))
            return 0;
        if (prepareFolder)
            PrepareDestinationFolder(destination);
        return Retried(RETRY_COPY, sourceFile, destination, recheck);
    case FILE_DELETE:
        // DeleteFile refuses read-only files; clearing the attributes first
        // lets the old installation go even where the user protected files.
        if (!PvSetFileAttributes(sourceFile, OS_FILE_ATTRIBUTE_NORMAL))
            return 0;
        return Retried(RETRY_DELETE, sourceFile, nullptr, recheck);
    case FILE_RENAME_EXT:
        if (!HasText(destination))
            return 0;
        return RenameExtension(sourceFile, destination, recheck);
    default:
        return 0;
    }
}

static int ActAndLog(int action, const char *sourceFile, const char *destination, int prepareFolder,
                     const FileHooks *hooks)
{
    Recheck recheck = {hooks ? hooks->recheck : nullptr, hooks ? hooks->context : nullptr, 0};
    int done = Act(action, sourceFile, destination, prepareFolder, &recheck);
    unsigned long error = done ? 0 : OsGetLastError();
    LogMessage(LOG_MODULE, kSection, done ? LOG_INFO : LOG_ERROR,
               "%s%s: %c - %s => %s", "\t\t", FileActionName(action), done ? 'Y' : 'N',
               sourceFile ? sourceFile : "[NULL]", HasText(destination) ? destination : "[NULL]");
    if (recheck.refused)
        return 0;
    if (hooks == nullptr || hooks->outcome == nullptr)
        return done;
    char after[OS_PATH_BUFFER] = "";
    if (action == FILE_RENAME_EXT && HasText(sourceFile) && HasText(destination))
        RenamedPath(sourceFile, destination, after);
    else if (action != FILE_DELETE)
        TextCopy(after, sizeof after, destination ? destination : "");
    hooks->outcome(action, sourceFile ? sourceFile : "", after, done, error, hooks->context);
    return done;
}

int PerformActionOnFiles_DoAction(int action, const char *sourceFile, const char *destination)
{
    return ActAndLog(action, sourceFile, destination, 1, nullptr);
}

int DoActionInReadyFolder(int action, const char *sourceFile, const char *destination, const FileHooks *hooks)
{
    return ActAndLog(action, sourceFile, destination, 0, hooks);
}
