// File operations: the small path and file-system helpers, and the engine
// that moves, copies, deletes or re-extends every matching file of a folder.
#pragma once

#include "preview/preview.h"

// 1 when text is non-null and not empty.
int HasText(const char *text);
// -1 (exactly) when path names an existing folder, else 0.
int IsExistingFolder(const char *path);
// 1 when path names something that exists and is not a folder, else 0.
int IsExistingFile(const char *path);
// The folder part of path into out (OS_PATH_BUFFER); 1, or 0 with out "".
int FolderOfPath(const char *path, char *out);
// The last component of path into out (OS_PATH_BUFFER), without its extension
// unless keepExtension; 1, or 0 with out "".
int FileNameOfPath(const char *path, char *out, int keepExtension);
// -1 (exactly) when the folder exists after the call, else 0.
int EnsureFolderExists(const char *path);
// 1 when the drive that holds path is a fixed disk or a network drive.
int IsFixedOrNetworkPath(const char *path);
// 1 when attributes (OS_INVALID_FILE_ATTRIBUTES: none) are a folder link's:
// a junction, a symbolic link or a mount point. It leads out of the tree the
// caller named, so nothing is moved, copied, deleted or looked for through
// it. A file with the reparse-point mark (compressed, deduplicated, cloud) is
// an ordinary file.
int IsLinkedFolder(unsigned long attributes);

// Path identity: every "same folder", "inside that folder" and "same file"
// decision of the library is answered here, never by comparing text.

// The form paths are compared in is PathIdentityForm (preview/preview.h).
// 1 when a and b name the same file or folder (same form, or the same file
// behind two forms: a link, another drive letter or share).
int SamePath(const char *a, const char *b);
// 1 when path is folder or lies anywhere below it.
int PathIsAtOrBelow(const char *path, const char *folder);
// The same for two paths already in their identity form, sparing the
// look-ups that make a form when one path is asked about again and again.
int FormIsAtOrBelow(const char *form, const char *folderForm);
// 1 when path is the root of a drive or share.
int IsRootFolder(const char *path);
// 1 when both files open and hold the same bytes.
int SameContents(const char *pathA, const char *pathB);
// 1 when copy is another file than original and holds the same bytes.
int IsIdenticalCopy(const char *original, const char *copy);

// Operations on one file or folder that retry, briefly, while another
// program holds it (a virus scanner or indexer opening it for a moment).
typedef enum RetriedOperation {
    RETRY_MOVE,   // PvMoveFile(source, destination)
    RETRY_COPY,   // PvCopyFile(source, destination)
    RETRY_DELETE, // PvDeleteFile(source)
    RETRY_RENAME  // PvRename(source, destination)
} RetriedOperation;
// What must still hold of source right before it is tried again after a
// wait (the file another program held may have changed meanwhile); 1 when
// it does. context is the caller's; the last error is the held try's.
typedef int (*RetryCheck)(const char *source, void *context);
// 1 on success. A sharing or lock violation is tried again a few times over
// about a second, access denied once more after a tenth of a second, with one
// log line under section for the path; any other failure, or the last, gives
// 0 with the last error kept. With a check, each try after a wait is made
// only while the check holds; when it no longer does, 0 with the error of
// the try before.
int RetryWhileInUse(int operation, const char *source, const char *destination, const char *section,
                    RetryCheck check = nullptr, void *checkContext = nullptr);

typedef enum FileAction {
    FILE_MOVE = 0,
    FILE_COPY = 1,
    FILE_DELETE = 2,
    FILE_RENAME_EXT = 3
} FileAction;

// The name the log shows for an action; "UNKNOWN" for any other value.
const char *FileActionName(int action);

// Decides for one file that the patterns selected (its full path) whether
// the action is taken on it; context is the caller's.
typedef int (*FileSelector)(const char *sourceFile, void *context);
// What became of one file the engine acted on: done, or not with the Win32
// error of the failure. after is where it went (the destination file, the
// file of its new name for RENAME_EXT), "" for DELETE.
typedef void (*FileOutcome)(int action, const char *sourceFile, const char *after, int done, unsigned long error,
                            void *context);
// The caller's say in the engine's work; each part may be null.
typedef struct FileHooks {
    // Asked of each file the patterns selected; one it refuses gets no line
    // and is not counted.
    FileSelector select;
    // Asked again before any try after a wait (RetryWhileInUse's check); a
    // file it then refuses stays, with its action's log line but no outcome:
    // the check tells why it stays.
    RetryCheck recheck;
    // Told of every file acted on.
    FileOutcome outcome;
    void *context;
} FileHooks;

// Applies action to every file of sourceFolder whose name matches one of the
// patterns (every file when filter is 0), descending into sub-folders when
// recurse is set. sourceFolder, and destination for MOVE and COPY, are
// writable OS_PATH_BUFFER buffers that gain a trailing backslash in place; for
// RENAME_EXT destination is the new extension (".OLD"); for DELETE null.
// Gives the number of files affected.
int PerformActionOnFiles(int action, char *sourceFolder, char *destination,
                         const char *const *patterns, int patternCount,
                         int filter, int removeSourceFolder, int recurse);
// The same, never entering keepOut (a folder of the user's that lies inside
// the tree, or null), with the caller's hooks (or null).
int PerformActionOnFilesWith(int action, char *sourceFolder, char *destination, const char *const *patterns,
                             int patternCount, int filter, int removeSourceFolder, int recurse, const char *keepOut,
                             const FileHooks *hooks);

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
// For the engine, which readies a destination folder once for all its files:
// 1 when the folder of destinationFile exists (made now when missing), and
// the action on a file whose destination folder is known to exist.
int PrepareDestinationFolder(const char *destinationFile);
// hooks (or null) as PerformActionOnFilesWith's; select is not asked here.
int DoActionInReadyFolder(int action, const char *sourceFile, const char *destination, const FileHooks *hooks);
