// The simulated Windows host: the POSIX backend of platform.h, and the small
// API through which tests set it up. Only tests and tools include this.
//
// The host is one state: its files, which live on disk under the host root,
//   <root>/drives/<LETTER>/...        the files of each drive letter
//   <root>/unc/<server>/<share>/...   the files of each UNC share
// and, in memory, its registry, drives and shares, shell folders, windows,
// clock, faults and call counters. SimHostReset replaces all of it at once;
// nothing of one host survives into the next. Every platform.h call before the
// first SimHostReset fails as on a machine without drives.
#pragma once

#include "platform.h"

#ifndef _WIN32

// Throws away the whole host (files, registry, configuration, faults,
// counters, windows, clock) and lays out a fresh default host in root, a
// POSIX folder that is emptied first:
//   drive C: fixed, with C:\Windows, and the shell folders below
//   CSIDL_APPDATA                  C:\Users\lw\AppData\Roaming
//   CSIDL_PERSONAL                 C:\Users\lw\Documents
//   CSIDL_STARTMENU                C:\Users\lw\Start Menu
//   CSIDL_DESKTOPDIRECTORY         C:\Users\lw\Desktop
//   CSIDL_COMMON_STARTMENU         C:\ProgramData\Start Menu
//   CSIDL_COMMON_DESKTOPDIRECTORY  C:\Users\Public\Desktop
//   CSIDL_PROFILE                  C:\Users\lw
//   CSIDL_LOCAL_APPDATA            C:\Users\lw\AppData\Local
//   CSIDL_COMMON_APPDATA           C:\ProgramData
//   CSIDL_PROGRAM_FILES            C:\Program Files
//   CSIDL_PROGRAM_FILESX86         C:\Program Files (x86)
//   CSIDL_COMMON_DOCUMENTS         C:\Users\Public\Documents
// (each folder exists), both registry roots empty and writable, the real
// clock, no windows, no faults, every counter at 0. Aborts the process for a
// root that is relative, "/" or cannot be emptied.
void SimHostReset(const char *root);

// The host root in use ("" before the first reset).
const char *SimHostRoot(void);

// Maps a drive letter to a folder <root>/drives/<LETTER> of the given type
// (OS_DRIVE_FIXED, OS_DRIVE_REMOTE, OS_DRIVE_REMOVABLE, OS_DRIVE_CDROM,
// OS_DRIVE_RAMDISK). OS_DRIVE_NO_ROOT_DIR removes the letter again (its files
// stay on disk, out of reach).
void SimSetDrive(char letter, unsigned type);
// Makes \\server\share available (a remote drive) at <root>/unc/server/share.
// At most 16 shares; more are ignored.
void SimAddShare(const char *server, const char *share);

// The POSIX path that a Windows path maps to, resolved without regard to case
// as far as it exists (the rest as written). Gives 0 when the path has no root
// on this host. out holds 4096 bytes.
int SimHostPath(const char *windowsPath, char *out, size_t outSize);

// The 8.3 form of an existing Windows path (GetShortPathNameA): each long
// component replaced by its alias, which the host resolves like the long
// name. 1, or 0 when the path does not exist.
int SimShortPath(const char *windowsPath, char *out, size_t outSize);

// Sets a shell folder to a Windows path (created when it does not exist), or,
// with null, makes it unavailable: its lookups then fail with "".
void SimSetShellFolder(int csidl, const char *windowsPath);

// The Windows folder (GetWindowsDirectoryA); null makes it unavailable.
void SimSetWindowsDirectory(const char *windowsPath);

// A root that the user may not write to: OsRegCreateKey gives
// OS_ERROR_ACCESS_DENIED and nothing under it changes.
void SimSetRegistryWritable(OsRootKey root, int writable);

// An existing key whose security lets the user read it but not write it (a
// DACL denying KEY_SET_VALUE and KEY_CREATE_SUB_KEY): OsRegCreateKey of the
// key itself, and setting or deleting its values through any handle, give
// OS_ERROR_ACCESS_DENIED and change nothing; reading works as before. Keys
// below it are not affected. 1, or 0 when the key does not exist.
int SimSetRegistryKeyReadOnly(OsRootKey root, const char *subKey, int readOnly);

// The registry root as regedit would export it ("Windows Registry Editor
// Version 5.00", keys sorted without regard to case, CR LF line ends), into
// out. Gives the length of the whole text; when that is not below outSize,
// out holds as much as fits (terminated when outSize > 0).
size_t SimRegistryText(OsRootKey root, char *out, size_t outSize);
// Writes both roots as <root>/registry/HKCU.reg and HKLM.reg for a person to
// read or import into Windows. Nothing reads these files back. 1 on success.
int SimDumpRegistry(void);

// Fixes the clock at the given local time; a negative hour lets it run free.
void SimSetClock(int hour, int minute, int second, int milliseconds);

// Windows: a handle for a new window with this title (0 when 256 are open),
// and its end. Handles start high and are never reused within one host.
OsWindow SimCreateWindow(const char *title);
void SimDestroyWindow(OsWindow window);

// --- Calls and faults --------------------------------------------------------

// The operations of platform.h that the host counts, each named after its
// function without the "Os" prefix.
typedef enum SimOperation {
    SIM_OP_GET_FILE_ATTRIBUTES,
    SIM_OP_SET_FILE_ATTRIBUTES,
    SIM_OP_DELETE_FILE,
    SIM_OP_COPY_FILE,
    SIM_OP_MOVE_FILE,
    SIM_OP_RENAME,
    SIM_OP_CREATE_DIRECTORY,
    SIM_OP_MAKE_SURE_DIRECTORY_PATH_EXISTS,
    SIM_OP_REMOVE_DIRECTORY,
    SIM_OP_FOPEN,
    SIM_OP_FGETS,
    SIM_OP_FREAD,
    SIM_OP_FWRITE,
    SIM_OP_FCLOSE,
    SIM_OP_FIND_FIRST,
    SIM_OP_FIND_NEXT,
    SIM_OP_FIND_CLOSE,
    SIM_OP_REG_OPEN_KEY,
    SIM_OP_REG_CREATE_KEY,
    SIM_OP_REG_QUERY_VALUE_EX,
    SIM_OP_REG_SET_VALUE_EX,
    SIM_OP_REG_DELETE_VALUE,
    SIM_OP_REG_FLUSH_KEY,
    SIM_OP_REG_CLOSE_KEY,
    SIM_OP_GET_PRIVATE_PROFILE_STRING,
    SIM_OP_SH_GET_SPECIAL_FOLDER_PATH,
    SIM_OP_SH_GET_FOLDER_PATH_FROM_LOCATION,
    SIM_OP_GET_DRIVE_TYPE,
    SIM_OP_GET_WINDOWS_DIRECTORY,
    SIM_OP_GET_LOCAL_TIME,
    SIM_OP_GET_WINDOW_TEXT,
    SIM_OP_PATH_APPEND,
    SIM_OP_PATH_ADD_BACKSLASH,
    SIM_OP_PATH_REMOVE_BACKSLASH,
    SIM_OP_PATH_MATCH_SPEC,
    SIM_OP_PATH_STRIP_TO_ROOT,
    SIM_OP_ALLOC,
    SIM_OP_GET_FULL_PATH_NAME,
    SIM_OP_GET_LONG_PATH_NAME,
    SIM_OP_SAME_FILE,
    SIM_OP_SLEEP,
    SIM_OP_FFLUSH,
    SIM_OP_GET_FILE_FACTS,
    SIM_OP_COUNT,
    // Not an operation but a class of them, for SimArmFault and SimCallCount:
    // every call that changes what is stored (copy, move, rename, delete,
    // create or remove a folder, set attributes, open a stream for writing,
    // write, flush or close a stream opened for writing, create a registry key, set or
    // delete a value).
    SIM_OP_ANY_MUTATING = SIM_OP_COUNT,
    // For SimArmFault only: every call that opens a file as another program's
    // unshared handle would forbid (copy from or to it, move, rename, delete,
    // open): a file held open elsewhere.
    SIM_OP_ANY_FILE_ACCESS,
} SimOperation;

// The operation's name ("CopyFile", "any mutating call", ...), for messages.
const char *SimOperationName(SimOperation operation);

typedef enum SimFaultMode {
    SIM_FAULT_ONCE,       // the nth matching call fails, later ones succeed
    SIM_FAULT_FROM_THEN_ON // the nth matching call and every later one fail: a power cut
} SimFaultMode;

// Arms a fault: among the calls of operation made from now on that match
// path (the operation's first path argument, for CopyFile and MoveFile either
// path, for the registry the key path of Open and Create and the value name
// of the others, without regard to case or separators; null: any), the nth (1 for
// the first) fails as mode says, as if the file were locked or the machine
// had stopped: it changes nothing and sets the last error to error. Faults
// fire only in SetFileAttributes, DeleteFile, CopyFile, MoveFile, Rename,
// CreateDirectory, MakeSureDirectoryPathExists, RemoveDirectory, Fopen,
// Fwrite, Fclose (after closing), FindFirst, GetFileAttributes, the registry
// calls but Flush and Close, and Alloc. A path-matched CreateDirectory fault
// also stops MakeSureDirectoryPathExists at that folder (counted as a call
// of the fault). Gives the fault's number (0, 1, ... since the last reset).
// Aborts beyond 64 faults per host.
int SimArmFault(SimOperation operation, const char *path, unsigned long nth, SimFaultMode mode,
                unsigned long error);
// Every matching call from now on fails: SimArmFault(operation, path, 1,
// SIM_FAULT_FROM_THEN_ON, error).
int SimFailOperation(SimOperation operation, const char *path, unsigned long error);
// OsAlloc fails after this many more successes (an Alloc fault from then on,
// in place of any Alloc fault armed before); negative disarms them all.
void SimFailAllocAfter(int successes);
// The volume of a drive letter accepts this many more bytes of file data
// (written through OsFwrite, OsCopyFile, or a move across volumes), then
// fails with OS_ERROR_DISK_FULL; each refusal counts as the limit's firing.
// Recorded as a fault (its number is not given). A negative count removes the
// limit.
void SimSetVolumeSpace(char letter, long long bytes);
// Disarms every fault and volume limit. Their records (and what fired) stay
// until the host is reset, so a test can still ask whether each one fired.
void SimClearFaults(void);

// Faults recorded since the last reset (armed or disarmed), and the times one
// of them fired; description gets a line saying what it was ("CopyFile on
// C:\a.lw, call 1 and after"). 0 for a number that names no fault.
int SimFaultCount(void);
unsigned long SimFaultFired(int fault, char *description, size_t size);
// Calls that failed through a fault since the last reset.
unsigned long SimFaultsFired(void);

// The calls made since the last reset: of one operation, or with
// SIM_OP_ANY_MUTATING of every mutating one. Failed calls count as well.
unsigned long SimCallCount(SimOperation operation);
// The milliseconds OsSleep was asked to wait since the last reset (the host
// waits none of them).
unsigned long SimSleptMilliseconds(void);
// Runs hook(context) in every OsSleep from now on, until a reset or a null
// hook: what another program does to the files while the library waits.
typedef void (*SimHook)(void *context);
void SimSetSleepHook(SimHook hook, void *context);

// POSIX folder scans done to resolve paths without regard to case; tests use
// this to check the exact spelling is tried first.
unsigned long SimDirectoryScans(void);

// The simulated installer session of a custom action (platform/sim/msi.cpp),
// apart from the host: SimMsiReset empties it (no properties, not in the
// deferred sequence, nothing recorded, no cancel). Any handle reaches it.
void SimMsiReset(void);
// Sets a property as the installer would before the action runs (at most 32).
void SimMsiSetProperty(const char *name, const char *value);
// The property's value, "" when it was never set.
const char *SimMsiProperty(const char *name);
// Whether the action runs in the deferred (scheduled) sequence.
void SimMsiSetScheduled(int scheduled);
// MsiProcessMessage answers OS_IDCANCEL from the n-th progress report
// (type 2) on, counting from 1; 0 never.
void SimMsiCancelAtReport(int n);
// The lines handed to the installer's log, in order (at most 512 kept).
int SimMsiLineCount(void);
const char *SimMsiLine(int index);
// The progress messages, in order (at most 65536 kept).
typedef struct SimMsiProgressMessage {
    int type, ticks, third;
} SimMsiProgressMessage;
int SimMsiProgressCount(void);
SimMsiProgressMessage SimMsiProgressAt(int index);

#endif
