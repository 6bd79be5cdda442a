// File operations: the small path and file-system helpers, and the engine
// that moves, copies, deletes or re-extends every matching file of a folder.
#pragma once

#include "platform/platform.h"

// 1 when text is non-null and not empty.
int HasText(const char *text);
// -1 (exactly) when path names an existing folder, else 0.
int IsExistingFolder(const char *path);
// 1 when path names something that exists and is not a folder, else 0.
int IsExistingFile(const char *path);
// The folder part of path into out (OS_MAX_PATH); 1, or 0 with out "".
int FolderOfPath(const char *path, char *out);
// The last component of path into out (OS_MAX_PATH), without its extension
// unless keepExtension; 1, or 0 with out "".
int FileNameOfPath(const char *path, char *out, int keepExtension);
// -1 (exactly) when the folder exists after the call, else 0.
int EnsureFolderExists(const char *path);
// 1 when the drive that holds path is a fixed disk or a network drive.
int IsFixedOrNetworkPath(const char *path);

typedef enum FileAction {
    FILE_MOVE = 0,
    FILE_COPY = 1,
    FILE_DELETE = 2,
    FILE_RENAME_EXT = 3
} FileAction;

// The name the log shows for an action; "UNKNOWN" for any other value.
const char *FileActionName(int action);

// Applies action to every file of sourceFolder whose name matches one of the
// patterns (every file when filter is 0), descending into sub-folders when
// recurse is set. sourceFolder, and destination for MOVE and COPY, are
// writable OS_MAX_PATH buffers that gain a trailing backslash in place; for
// RENAME_EXT destination is the new extension (".OLD"); for DELETE null.
// Gives the number of files affected.
int PerformActionOnFiles(int action, char *sourceFolder, char *destination,
                         const char *const *patterns, int patternCount,
                         int filter, int removeSourceFolder, int recurse);

// The steps of PerformActionOnFiles, callable on their own.

// Checks a call's arguments and, when they pass, gives sourceFolder (and the
// destination of MOVE and COPY) a trailing backslash in place. 1 or 0; a
// refused call changes nothing.
int ValidateFileAction(int action, char *sourceFolder, char *destination);
// 1 when filePath is selected: always when filter is 0, else when one of the
// patterns matches it ("*.*" matches every name, dotless ones included).
int MatchesAnyPattern(const char *filePath, const char *const *patterns, int patternCount, int filter);
// Performs action on one file and logs its outcome. For MOVE and COPY
// destination is the destination file, for RENAME_EXT the new extension.
// 1 on success.
int PerformActionOnFiles_DoAction(int action, const char *sourceFile, const char *destination);
