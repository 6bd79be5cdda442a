// The simulated Windows host: the POSIX backend of platform.h, and the small
// API through which tests set it up. Only tests and tools include this.
//
// Everything the host holds lives in one folder on disk, the host root:
//   <root>/drives/<LETTER>/...        the files of each drive letter
//   <root>/unc/<server>/<share>/...   the files of each UNC share
//   <root>/registry/HKCU.reg, HKLM.reg the two registry roots, in the Windows
//                                      .reg text format (readable, importable)
// A command-line tool that links the native library finds the root in the
// environment variable LW_SIM_ROOT (a fresh default host is laid out there on
// first use). Tests call SimHostReset instead.
#pragma once

#include "platform.h"

#ifndef _WIN32

#define SIM_ROOT_ENV "LW_SIM_ROOT"

// Throws away every state of the host (configuration, faults, windows, clock)
// and lays out a fresh default host in root, which is emptied first:
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
// clock, no windows, no faults.
void SimHostReset(const char *root);

// The host root in use ("" before the first use).
const char *SimHostRoot(void);

// Maps a drive letter to a folder <root>/drives/<LETTER> of the given type
// (OS_DRIVE_FIXED, OS_DRIVE_REMOTE, OS_DRIVE_REMOVABLE, OS_DRIVE_CDROM,
// OS_DRIVE_RAMDISK). OS_DRIVE_NO_ROOT_DIR removes the letter again.
void SimSetDrive(char letter, unsigned type);
// Makes \\server\share available (a remote drive) at <root>/unc/server/share.
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

// Fixes the clock at the given local time; a negative hour lets it run free.
void SimSetClock(int hour, int minute, int second, int milliseconds);

// Windows: a handle for a new window with this title, and its end. Handles
// start high and are never reused within one host.
OsWindow SimCreateWindow(const char *title);
void SimDestroyWindow(OsWindow window);

// Faults. operation is the name of a platform.h function without its "Os"
// prefix ("DeleteFile", "CopyFile", "MoveFile", "Rename", "RemoveDirectory",
// "CreateDirectory", "MakeSureDirectoryPathExists", "SetFileAttributes",
// "Fopen", "Fclose", "Fwrite", "FindFirst"); path is matched without regard to
// case against the operation's first path argument (for CopyFile and MoveFile
// either path), or null for any path. The operation fails, as if the file
// were locked, with the given Win32 error (OsGetLastError gives it), every
// time until SimClearFaults.
void SimFailOperation(const char *operation, const char *path, unsigned long error);
// The volume of a drive letter accepts this many more bytes of file data
// (written through OsFwrite, OsCopyFile, or a move across volumes), then fails
// with OS_ERROR_DISK_FULL. A negative count removes the limit.
void SimSetVolumeSpace(char letter, long long bytes);
// OsAlloc fails after this many more successes; negative: never.
void SimFailAllocAfter(int successes);
void SimClearFaults(void);

// The number of host calls made so far by operation name (as for
// SimFailOperation) and the count of POSIX lookups done to resolve paths
// without regard to case; tests use these to check the exact spelling is
// tried first.
unsigned long SimCallCount(const char *operation);
unsigned long SimDirectoryScans(void);

#endif
