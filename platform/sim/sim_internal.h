// Shared between the files of the simulated host: its state, the mapping of
// Windows paths to POSIX paths, and the fault bookkeeping. Nothing outside
// platform/sim includes this.
#pragma once

#include "platform/platform.h"
#include "platform/sim_host.h"

#include <stddef.h>
#include <stdio.h>
#include <sys/stat.h>

#define SIM_POSIX_MAX 4096
#define SIM_MAX_SHARES 16
#define SIM_MAX_WINDOWS 256
#define SIM_TITLE_MAX 512
#define SIM_SHELL_FOLDERS 12

// Win32 error codes the host gives beyond those platform.h names.
#define SIM_ERROR_NOT_ENOUGH_MEMORY 8
#define SIM_ERROR_NO_MORE_FILES 18
#define SIM_ERROR_BAD_NETPATH 53
#define SIM_ERROR_INVALID_NAME 123
#define SIM_ERROR_FILENAME_EXCED_RANGE 206
#define SIM_ERROR_DIRECTORY 267
#define SIM_ERROR_REGISTRY_IO_FAILED 1016

typedef struct SimShare {
    char server[OS_PATH_BUFFER];
    char share[OS_PATH_BUFFER];
} SimShare;

typedef struct SimWindow {
    OsWindow handle;
    int alive;
    char title[SIM_TITLE_MAX];
} SimWindow;

// --- The registry, in fixed tables ----------------------------------------------

#define SIM_REG_MAX_KEYS 128
#define SIM_REG_MAX_VALUES 512
#define SIM_REG_MAX_OPEN 512
#define SIM_REG_KEY_MAX 512
#define SIM_REG_NAME_MAX 256
#define SIM_REG_ARENA (256 * 1024)

typedef struct SimRegKey {
    OsRootKey root;
    char path[SIM_REG_KEY_MAX]; // below the root, "" for the root itself
    int readOnly; // SimSetRegistryKeyReadOnly
} SimRegKey;

typedef struct SimRegValue {
    int key; // index into keys
    char name[SIM_REG_NAME_MAX];
    unsigned long type;
    unsigned long size;
    size_t offset; // of its bytes in the arena
} SimRegValue;

typedef struct SimRegistry {
    SimRegKey keys[SIM_REG_MAX_KEYS];
    int keyCount;
    SimRegValue values[SIM_REG_MAX_VALUES];
    int valueCount;
    // The values' bytes, packed: a value's bytes go when it is replaced or
    // deleted, so the free room is always at the end.
    unsigned char arena[SIM_REG_ARENA];
    size_t arenaUsed;
    int openKey[SIM_REG_MAX_OPEN]; // key index + 1, 0 for a free handle
    int writable[2];
} SimRegistry;

// --- Faults ----------------------------------------------------------------------

#define SIM_MAX_FAULTS 64

typedef enum SimFaultKind { SIM_FAULT_CALL, SIM_FAULT_VOLUME } SimFaultKind;

typedef struct SimFaultRecord {
    SimFaultKind kind;
    int armed;
    SimOperation operation;
    char path[OS_PATH_BUFFER]; // "" for any path
    unsigned long nth;
    SimFaultMode mode;
    unsigned long error;
    char letter;            // SIM_FAULT_VOLUME: the drive
    long long space;        // SIM_FAULT_VOLUME: bytes still accepted
    long long limit;        // SIM_FAULT_VOLUME: as set
    unsigned long seen;     // matching calls since armed
    unsigned long fired;
} SimFaultRecord;

// The whole host: SimHostReset replaces it at once.
typedef struct SimState {
    char root[SIM_POSIX_MAX];
    unsigned driveType[26];
    SimShare shares[SIM_MAX_SHARES];
    int shareCount;
    int shellAvailable[SIM_SHELL_FOLDERS];
    char shellPath[SIM_SHELL_FOLDERS][OS_PATH_BUFFER];
    int windowsDirAvailable;
    char windowsDir[OS_PATH_BUFFER];
    int clockFixed;
    OsLocalTime clock;
    SimWindow windows[SIM_MAX_WINDOWS];
    OsWindow nextWindow;
    unsigned long lastError;
    SimRegistry registry;
    SimFaultRecord faults[SIM_MAX_FAULTS];
    int faultCount;
    unsigned long faultsFired;
    unsigned long calls[SIM_OP_COUNT];
    unsigned long mutatingCalls;
    unsigned long scans;
    unsigned long slept; // milliseconds
    unsigned long long ticks; // the tick clock, in milliseconds
    SimHook sleepHook;
    void *sleepHookContext;
} SimState;

extern SimState g_sim;

// 1 once SimHostReset has laid out a host.
int SimEnsureHost(void);

void SimSetLastError(unsigned long error);
unsigned long SimErrorFromErrno(int error);

// The slot of a CSIDL among the shell folders, or -1.
int SimShellSlot(int csidl);

// --- Paths -----------------------------------------------------------------

typedef struct SimPath {
    char posix[SIM_POSIX_MAX]; // resolved as far as it exists, the rest as written
    char parent[SIM_POSIX_MAX]; // the POSIX folder that holds (or would hold) it
    char name[OS_PATH_BUFFER];    // last component as written ("" for a root)
    char volume[2 * OS_PATH_BUFFER]; // "c" or "\\server\share", lower case
    char letter;               // upper-case drive letter, 0 for a share
    int isRoot;
    int exists;                // lstat of the last component succeeded
    int parentExists;          // every folder above it exists as a folder
    int trailingSlash;
    int fileWithSlash;         // "file.txt\": Windows refuses the name
    struct stat st;            // lstat of the last component when it exists
} SimPath;

// Maps a full Windows path. 1 on success; 0 with a Win32 error in *error when
// the path is malformed, too long or has no root on this host.
int SimResolve(const char *windowsPath, SimPath *out, unsigned long *error);

// The names of a path below its root, as the Win32 parser leaves them.
#define SIM_MAX_COMPONENTS 128
typedef struct SimComponent {
    const char *text;
    size_t length;
} SimComponent;

// Splits the part after the root into names, applying "." and "..", and the
// Win32 trimming of trailing dots and spaces on the last name. That name is
// the last one left once ".." has been applied ("C:\a\x. \b\.." is "C:\a\x"),
// and is trimmed only where the path does not end in a separator; one of
// dots and spaces alone goes ("C:\a\...." is "C:\a\"). *asksForFolder tells
// that names are left and a separator ends them, written or left last by
// that trimming ("file\" and "file\ " name no file, only a folder).
// 0 for a name Windows refuses or more names than parts holds.
int SimSplitComponents(const char *rest, SimComponent *parts, int *count, int *asksForFolder);
// "\\?\C:\" or "\\.\C:\": a drive's folder reached through the device
// namespace, as Wine and Windows reach it. The bare volume ("\\?\C:") is
// no folder and stays unsimulated.
int SimIsDeviceDrivePath(const char *path);
// The root as Windows writes it: "C:\\" or "\\\\server\\share\\" as written,
// into out, with *rest set to the text after it. 0 when the path has no
// such root or it does not fit.
int SimRootText(const char *path, char *out, size_t size, const char **rest);

// A name in a POSIX folder without regard to case, from the folder's index
// (platform/sim/host_name_index.cpp); the spelling on disk into out. 1 or 0.
int SimFindNameNoCase(const char *folder, const char *name, size_t length, char *out, size_t outSize);
// SimResolve's note that an entry of folder may be about to change.
void SimNoteName(const char *folder, const char *name);
// Throws every index away (a new host).
void SimForgetNames(void);

// The 8.3 alias of a long name (at most 12 characters and terminator, out
// holds 13), made as the host makes it.
void SimShortName(const char *longName, char *out);

// UTF-8 names as the host compares them: the next code point of text (which
// it advances; a stray byte stands for itself), and a letter's lower case
// (Latin-1, Latin Extended-A, Greek and Cyrillic; others as they are).
unsigned long SimNextCodePoint(const unsigned char **text);
unsigned long SimFoldCodePoint(unsigned long c);

// The error Windows gives for a path that is not there.
unsigned long SimMissingError(const SimPath *path);

// Win32 attribute bits of an existing entry (lstat data in st).
unsigned long SimAttributesOf(const char *posix, const struct stat *st);
// True when the entry is a folder or a link to one.
int SimIsFolder(const char *posix, const struct stat *st);

// Case-insensitive comparison of two Windows paths after folding the
// separators ("C:/a//b\" equals "c:\A\B").
int SimSamePath(const char *a, const char *b);

// Creates every folder of a Windows path (the last component included)
// without counting calls or checking faults. 1 on success.
int SimCreateFolders(const char *windowsPath);

// Removes everything below a POSIX folder (links are removed, never followed).
int SimEmptyFolder(const char *posix);

// --- Faults and counters ---------------------------------------------------

// Counts a call; mutating says whether it changes what is stored.
void SimCountCall(SimOperation operation, int mutating);
// 1 (with the last error set) when a fault makes this call fail. Call it
// once per call, after SimCountCall: it counts the call for every fault.
int SimFaultHit(SimOperation operation, int mutating, const char *path1, const char *path2);
// The same for path-matched faults of one operation alone, for a folder that
// a call creates on the way (MakeSureDirectoryPathExists).
int SimPathFaultHit(SimOperation operation, const char *path);
// Space left on a drive letter's volume, or -1 for no limit.
long long SimVolumeSpace(char letter);
void SimUseVolumeSpace(char letter, long long bytes);
// A write or copy refused for want of space, counted as its limit firing.
void SimVolumeRefused(char letter);
void SimCountScan(void);

// Copies a file between POSIX paths through a temporary file next to the
// destination, so that no partial destination is ever left. Gives 0 or a
// Win32 error.
unsigned long SimCopyPosixFile(const char *from, const char *toFolder, const char *to,
                               const struct stat *fromStat);

// The C stream behind an open file of the host, with the path it was opened
// by in *path; null for anything else (platform/sim/stream.cpp).
FILE *SimStreamOf(OsFile *file, const char **path);
