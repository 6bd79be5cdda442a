// The engine's argument check and file selection.
#include "files/files.h"

#include <string.h>

const char *FileActionName(int action)
{
    static const char *const kNames[] = {"MOVE", "COPY", "DELETE", "RENAME_EXT"};
    if (action < FILE_MOVE || action > FILE_RENAME_EXT)
        return "UNKNOWN";
    return kNames[action];
}

static int EndsInBackslashOrHasRoom(const char *folder)
{
    if (!TextFitsPath(folder))
        return 0;
    size_t length = strlen(folder);
    if (length > 0 && folder[length - 1] == '\\')
        return 1;
    return TextUtf16Length(folder) + 1 < OS_MAX_PATH;
}

int ValidateFileAction(int action, char *sourceFolder, char *destination)
{
    if (sourceFolder == nullptr)
        return 0;
    // More than a bare root: the engine must never sweep a whole drive.
    if (!TextFitsPath(sourceFolder) || strlen(sourceFolder) <= 3)
        return 0;
    if (action != FILE_DELETE && destination == nullptr)
        return 0;
    if (IsExistingFolder(sourceFolder) != -1)
        return 0;
    if (action == FILE_RENAME_EXT && (destination[0] != '.' || destination[1] == '\0'))
        return 0;

    int movesOrCopies = action == FILE_MOVE || action == FILE_COPY;
    // An empty folder would send the files to whatever the current folder
    // happens to be.
    if (movesOrCopies && destination[0] == '\0')
        return 0;
    // Check that both backslashes fit before adding either, so a refused
    // call leaves the caller's buffers as they were.
    if (!EndsInBackslashOrHasRoom(sourceFolder))
        return 0;
    if (movesOrCopies && !EndsInBackslashOrHasRoom(destination))
        return 0;
    OsPathAddBackslash(sourceFolder);
    if (movesOrCopies)
        OsPathAddBackslash(destination);
    return 1;
}

int MatchesAnyPattern(const char *filePath, const char *const *patterns, int patternCount, int filter)
{
    if (!filter)
        return 1;
    if (filePath == nullptr || patterns == nullptr)
        return 0;
    for (int i = 0; i < patternCount; i++) {
        const char *pattern = patterns[i];
        if (pattern == nullptr)
            continue;
        // PathMatchSpec wants a dot for "*.*"; here it means every file.
        if (TextCompareNoCase(pattern, "*.*") == 0)
            return 1;
        if (OsPathMatchSpec(filePath, pattern))
            return 1;
    }
    return 0;
}
