// The file system and the registry as the upgrade sees them. Every operation
// the upgrade's steps make on files, folders and settings comes through here,
// named after the platform call it stands for and answering as that call
// does, its last error included. In a real run each is the platform call. In
// a preview, which the upgrade export switches on for the whole call, nothing
// changes: what the run would make, move, remove or write is kept in a plan,
// and every read answers from the plan where the plan changed the answer.
// The steps never ask which of the two they are in.
//
// The plan holds paths in their identity form (full, canonical, long names),
// so one file reached by two spellings is one entry, and it is indexed by that
// form: a look-up costs about as much as the platform call it stands for.
#pragma once

#include "platform/platform.h"

// Begins a call: 1, or 0 when the plan could not be set up (a preview then
// must not run). Outside a call every operation is the platform call.
int PreviewBegin(int previewing);
// Ends the call and drops its plan.
void PreviewEnd(void);

// ---------------------------------------------------------------------------
// Progress and cancel, for a call whose caller watches it. The work is the
// operations that change something: each tells the sink, paced, how much of
// the total is done and what it is working on (a path, or a phase name),
// and the sink answers 0 to stop. From then on nothing changes: every
// operation below that would is refused with ERROR_CANCELLED, and the steps
// stop at the next PvCancelled.
typedef int (*ProgressSink)(void *context, unsigned long long done, unsigned long long total, const char *item);
// Begins counting (a preview of the call runs next): the sink hears a total
// of 0 meanwhile. 1, or 0 when no memory could be had. A null sink: none.
int ProgressBegin(ProgressSink sink, void *context);
// The count is complete: the total is fixed, and the sink hears it.
void ProgressCounted(void);
// The call is over: a run not stopped ends exactly at the total.
void ProgressEnd(void);
// 1 once the sink has said stop.
int PvCancelled(void);
// Between these two a stop the sink asks for waits: for changes that only
// make sense together (a folder's new name and the note inside it). The
// sink hears nothing more once it has said stop; at the release the stop
// takes hold.
void PvHoldStop(void);
void PvReleaseStop(void);
// Work that changes nothing but takes long (reading a large file to compare
// it) goes on: the sink hears, paced, where the work stands, so a bar never
// looks hung.
void PvWorking(void);

// ---------------------------------------------------------------------------
// Path identity: the form paths are compared in. Full, canonical, long names
// where the path exists, no trailing backslash but on a root ("C:\"). A path
// through the device namespace ("\\?\C:\x") takes the form of the folder it
// reaches when it is canonical. 1, or 0 with out "".
int PathIdentityForm(const char *path, char *out);
// 1 for a full path: a drive letter, a colon and a separator, or a UNC path
// with server and share. Relative, drive-relative and device paths are not.
int IsFullPath(const char *path);
// Cuts path (a form: no trailing backslash but on a root) to its parent
// folder; 0 when path is a root or has no parent.
int PathToParent(char *path);

// ---------------------------------------------------------------------------
// Files and folders. In a preview a refused operation sets the last error
// the platform call would give (the plan's own view of what is there).

// OS_INVALID_FILE_ATTRIBUTES when nothing is there. A folder the plan made
// reads as a plain folder.
unsigned long PvGetFileAttributes(const char *path);
// As OsGetFileFacts, of the file whose bytes path holds: a planned copy has
// its original's size and time, as a real one has.
int PvGetFileFacts(const char *path, OsFileFacts *facts);
// As OsSetFileAttributes; a preview only checks the path is there.
int PvSetFileAttributes(const char *path, unsigned long attributes);
// As OsDeleteFile: fails for a folder.
int PvDeleteFile(const char *path);
// As OsCopyFile with failIfExists 0: an existing file is replaced.
int PvCopyFile(const char *source, const char *destination);
// As OsMoveFile: never replaces what is there.
int PvMoveFile(const char *source, const char *destination);
// As OsRename: 0 on success, -1 on failure; never replaces what is there.
int PvRename(const char *source, const char *destination);
// As OsMakeSureDirectoryPathExists: every folder up to the last backslash.
int PvMakeSureDirectoryPathExists(const char *path);
// As OsRemoveDirectory: fails while the folder holds anything, counting
// what the plan put there and leaving out what it took away.
int PvRemoveDirectory(const char *path);
// As OsSHGetSpecialFolderPath; a preview never creates the folder.
int PvSHGetSpecialFolderPath(int csidl, char *path, int create);

// A stream on the bytes path holds. In a preview a read ("r", "rb") opens the
// file whose bytes the plan put there, and every other mode is refused
// (null, ERROR_ACCESS_DENIED): a preview writes nothing, the log included.
OsFile *PvFopen(const char *path, const char *mode);
// 1 when a and b hold the bytes of one file as planned (a planned copy and
// its original), which then need not be read: in a preview the run's copy
// is taken to succeed, even where the original can't be opened now.
// *samePath then says whether a and b are one path. 0 when that can't be
// said, always outside a preview.
int PvHoldSameBytes(const char *a, const char *b, int *samePath);
// As OsSameOpenFile; -1 in a preview, where a stream may stand for a file
// the plan has not made yet.
int PvSameOpenFile(OsFile *a, OsFile *b);

// The entries of a folder (pattern: a folder joined with "*.*") as the plan
// leaves them: what it took away is not listed. The handle is the caller's
// until PvFindClose.
typedef struct PvFind PvFind;
PvFind *PvFindFirst(const char *pattern, OsFindData *entry);
// 0 with the next entry, -1 when there is none.
int PvFindNext(PvFind *find, OsFindData *entry);
void PvFindClose(PvFind *find);

// ---------------------------------------------------------------------------
// Registry. A key of this layer stands for a real key, or in a preview for
// one that the plan writes to, which need not exist. It lives in the
// caller's memory, and names its key by the caller's subKey text, which
// must outlive it. Results are Win32 error codes, as the platform's.
typedef struct PvKey {
    OsKey real; // or null: in a preview, a key that is not there yet
    OsRootKey root;
    const char *subKey;
} PvKey;
long PvRegOpenKey(OsRootKey root, const char *subKey, PvKey *key);
long PvRegCreateKey(OsRootKey root, const char *subKey, PvKey *key);
long PvRegQueryValueEx(PvKey *key, const char *name, unsigned long *type, unsigned char *data, unsigned long *size);
long PvRegSetValueEx(PvKey *key, const char *name, unsigned long type, const unsigned char *data,
                     unsigned long size);
long PvRegFlushKey(PvKey *key);
long PvRegCloseKey(PvKey *key);
