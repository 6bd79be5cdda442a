// The bulk file action engine: one action over every selected file of a
// folder, optionally of its whole tree, with a block of log lines per folder.
#include "files/files.h"
#include "log/log.h"

static const char kSection[] = "PerformActionOnFiles";
// Nested calls keep the outer indentation: the blocks nest by position only.
static const char kIndent[] = "\t";

static int MovesOrCopies(int action)
{
    return action == FILE_MOVE || action == FILE_COPY;
}

// Whether a folder named by its path is a link (IsLinkedFolder). With a
// trailing backslash the path names what the link points at, which is no link.
static int IsLinkedFolderPath(const char *folder)
{
    char path[OS_PATH_BUFFER];
    if (!TextCopyPath(path, folder))
        return 0;
    OsPathRemoveBackslash(path);
    return IsLinkedFolder(PvGetFileAttributes(path));
}

struct EngineCall {
    int action;
    const char *sourceFolder; // ends in a backslash
    const char *destination;  // folder with a backslash for MOVE and COPY
    const char *const *patterns;
    int patternCount;
    int filter;
    int removeSourceFolder;
    int recurse;
    // The outermost destination folder of a MOVE or COPY, else null. When it
    // lies inside the source tree, walking into it would meet the files just
    // written there, again and again, as far as the enumeration shows them.
    const char *outputRoot;
    // A folder of the user's inside the tree (or null), never entered.
    const char *keepOut;
    const FileHooks *hooks; // or null
    // The destination folder of this folder's files is known to exist: it
    // is made ready at the first file, not looked up again for every one.
    int destinationReady;
};

static int RunCall(const EngineCall *parent, int action, char *sourceFolder, char *destination,
                   const char *const *patterns, int patternCount, int filter, int removeSourceFolder, int recurse,
                   const char *outputRoot, const char *keepOut);

// One entry of the enumeration; gives the number of files it affected.
static int ProcessEntry(EngineCall *call, const OsFindData *entry)
{
    // ".", ".." and every dot-named file or folder stay out of it.
    if (entry->name[0] == '.')
        return 0;
    int isFolder = (entry->attributes & OS_FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isFolder && !call->recurse)
        return 0;

    char sourcePath[OS_PATH_BUFFER];
    char destinationPath[OS_PATH_BUFFER];
    int sourceFits = TextFormat(sourcePath, sizeof sourcePath, "%s%s", call->sourceFolder, entry->name) &&
                     TextFitsPath(sourcePath);
    // An unselected file gets no line, even one whose path is too long; the
    // name alone decides for the "*.ext" patterns in use.
    if (!isFolder &&
        !MatchesAnyPattern(sourceFits ? sourcePath : entry->name, call->patterns, call->patternCount, call->filter))
        return 0;
    if (!isFolder && sourceFits && call->hooks != nullptr && call->hooks->select != nullptr &&
        !call->hooks->select(sourcePath, call->hooks->context))
        return 0;
    if (!sourceFits) {
        LogMessage(LOG_MODULE, kSection, LOG_ERROR, "%sSkipped, path too long: %s%s", kIndent,
                   call->sourceFolder, entry->name);
        return 0;
    }
    int fits;
    if (MovesOrCopies(call->action))
        fits = TextFormat(destinationPath, sizeof destinationPath, "%s%s", call->destination, entry->name) &&
               TextFitsPath(destinationPath);
    else
        fits = TextCopyPath(destinationPath, call->destination ? call->destination : "");
    if (!fits) {
        LogMessage(LOG_MODULE, kSection, LOG_ERROR, "%sSkipped, path too long: %s => %s%s", kIndent, sourcePath,
                   call->destination ? call->destination : "[NULL]", MovesOrCopies(call->action) ? entry->name : "");
        return 0;
    }

    if (isFolder) {
        if (IsLinkedFolder(entry->attributes) ||
            (MovesOrCopies(call->action) && IsLinkedFolder(PvGetFileAttributes(destinationPath)))) {
            LogMessage(LOG_MODULE, kSection, LOG_INFO, "%sNot followed (link): %s", kIndent, sourcePath);
            return 0;
        }
        if (call->outputRoot != nullptr && SamePath(sourcePath, call->outputRoot)) {
            LogMessage(LOG_MODULE, kSection, LOG_INFO, "%sNot followed (destination): %s", kIndent, sourcePath);
            return 0;
        }
        if (call->keepOut != nullptr && SamePath(sourcePath, call->keepOut)) {
            LogMessage(LOG_MODULE, kSection, LOG_INFO, "%sNot followed (user's folder): %s", kIndent, sourcePath);
            return 0;
        }
        return RunCall(call, call->action, sourcePath, destinationPath, call->patterns, call->patternCount,
                       call->filter, call->removeSourceFolder, call->recurse, call->outputRoot, call->keepOut);
    }
    if (MovesOrCopies(call->action) && !call->destinationReady)
        call->destinationReady = PrepareDestinationFolder(destinationPath);
    return DoActionInReadyFolder(call->action, sourcePath, destinationPath, call->hooks) ? 1 : 0;
}

// Every entry of the source folder, in whatever order the enumeration gives.
static int ProcessFolder(EngineCall *call)
{
    char search[OS_PATH_BUFFER];
    if (!TextCopyPath(search, call->sourceFolder) || !OsPathAppend(search, "*.*")) {
        LogMessage(LOG_MODULE, kSection, LOG_ERROR, "%sSkipped, path too long: %s%s", kIndent, call->sourceFolder,
                   "*.*");
        return 0;
    }
    OsFindData entry;
    PvFind *find = PvFindFirst(search, &entry);
    if (find == nullptr)
        return 0;
    int affected = 0;
    do {
        affected += ProcessEntry(call, &entry);
    } while (!PvCancelled() && PvFindNext(find, &entry) == 0);
    PvFindClose(find);
    return affected;
}

static int RunCall(const EngineCall *parent, int action, char *sourceFolder, char *destination,
                   const char *const *patterns, int patternCount, int filter, int removeSourceFolder, int recurse,
                   const char *outputRoot, const char *keepOut)
{
    int affected = 0;
    LogMessage(LOG_MODULE, kSection, LOG_INFO, "%s----## Started ##----", kIndent);
    LogMessage(LOG_MODULE, kSection, LOG_INFO, "%sActionToPerform: %s", kIndent, FileActionName(action));
    LogMessage(LOG_MODULE, kSection, LOG_INFO, "%sSrcPath: %s", kIndent, sourceFolder ? sourceFolder : "[NULL]");
    LogMessage(LOG_MODULE, kSection, LOG_INFO, "%sDstPath: %s", kIndent,
               HasText(destination) ? destination : "[NULL]");

    if (!ValidateFileAction(action, sourceFolder, destination)) {
        LogMessage(LOG_MODULE, kSection, LOG_INFO, "%sNot Validated Action", kIndent);
    } else if (IsLinkedFolderPath(sourceFolder)) {
        // The folder handed in is itself a link: what lies behind it is not
        // the tree the caller meant.
        LogMessage(LOG_MODULE, kSection, LOG_INFO, "%sNot followed (link): %s", kIndent, sourceFolder);
    } else {
        LogMessage(LOG_MODULE, kSection, LOG_INFO, "%sValidated Action", kIndent);
        if (outputRoot == nullptr && MovesOrCopies(action))
            outputRoot = destination;
        EngineCall call = {action, sourceFolder, destination, patterns, patternCount,
                           filter, removeSourceFolder, recurse, outputRoot, keepOut,
                           parent->hooks, 0};
        affected = ProcessFolder(&call);
        // The folder goes only when nothing is left in it; a failure is
        // the expected outcome for a folder that still holds something.
        if ((action == FILE_MOVE || action == FILE_DELETE) && removeSourceFolder)
            PvRemoveDirectory(sourceFolder);
    }

    LogMessage(LOG_MODULE, kSection, LOG_INFO, "%sFilesAffected: %d", kIndent, affected);
    LogMessage(LOG_MODULE, kSection, LOG_INFO, "%s----## Finished ##----", kIndent);
    return affected;
}

int PerformActionOnFiles(int action, char *sourceFolder, char *destination, const char *const *patterns,
                         int patternCount, int filter, int removeSourceFolder, int recurse)
{
    return PerformActionOnFilesWith(action, sourceFolder, destination, patterns, patternCount, filter,
                                    removeSourceFolder, recurse, nullptr, nullptr);
}

int PerformActionOnFilesWith(int action, char *sourceFolder, char *destination, const char *const *patterns,
                             int patternCount, int filter, int removeSourceFolder, int recurse, const char *keepOut,
                             const FileHooks *hooks)
{
    EngineCall top = {};
    top.hooks = hooks;
    return RunCall(&top, action, sourceFolder, destination, patterns, patternCount, filter, removeSourceFolder,
                   recurse, nullptr, HasText(keepOut) ? keepOut : nullptr);
}
