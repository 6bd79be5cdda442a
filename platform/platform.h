// The platform layer: every operating-system service the library uses, and
// the bounded text helpers every other folder builds its strings with.
//
// Code outside platform/ includes neither Windows nor POSIX headers; it calls
// these functions instead. There are two backends, chosen by the build:
//   platform/win32/  the real Win32 calls (the DLL and the Wine test suite)
//   platform/sim/    a simulated Windows host on POSIX (native tests,
//                    sanitizers, fault injection); see platform/sim_host.h
//
// Each section below names the file that implements it in either backend,
// platform/win32/<name>.cpp and platform/sim/<name>.cpp alike. The simulated
// host's own machinery (its state, faults, path mapping and name index) is
// in platform/sim/host_*.cpp.
//
// Each operation is named after its Win32 counterpart and gives the result
// that counterpart gives, including its error codes where noted. All text is
// UTF-8 (the Win32 backend converts at its boundary and calls the wide
// functions); paths use the backslash and are at most OS_MAX_PATH - 1 UTF-16
// units long, as Windows counts them, held in OS_PATH_BUFFER bytes.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdarg.h>

#define OS_MAX_PATH 260
// A path's UTF-8 form: up to three bytes for each UTF-16 unit (a surrogate
// pair takes four for two), and the terminator.
#define OS_PATH_BUFFER (3 * (OS_MAX_PATH - 1) + 1)

// The calling convention of the exports: __stdcall on 32-bit Windows (setup
// programs call through stdcall), nothing elsewhere.
#if defined(_WIN32)
#define OS_STDCALL __stdcall
#else
#define OS_STDCALL
#endif

// ---------------------------------------------------------------------------
// Bounded text helpers (platform/text.cpp). Every one always terminates its
// destination when its capacity is above 0 and never writes past capacity.

// Copies src into dst. Returns 1 when the whole text fitted; 0 when it did
// not, in which case dst holds the cut text (dst is empty for a null src).
int TextCopy(char *dst, size_t capacity, const char *src);

// Like TextCopy, but refuses rather than cuts: on 0, dst is left unchanged.
int TextCopyWhole(char *dst, size_t capacity, const char *src);

// Appends src to the text in dst. Returns 1 when it fitted; 0 when it did not,
// and then dst is left unchanged (an append never half-happens).
int TextAppend(char *dst, size_t capacity, const char *src);

// printf-style formatting into dst. Returns 1 when the whole text fitted; 0
// when it was cut (dst then holds the first capacity - 1 characters) or the
// format failed (dst then empty).
int TextFormat(char *dst, size_t capacity, const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
int TextFormatV(char *dst, size_t capacity, const char *format, va_list args);

// The bounded helpers for paths: dst holds OS_PATH_BUFFER bytes, and a path
// fits when it is under OS_MAX_PATH UTF-16 units. They refuse, never cut, and
// leave dst unchanged when they refuse.
int TextFitsPath(const char *text);
int TextCopyPath(char *dst, const char *src);
int TextAppendPath(char *dst, const char *src);
// The number of UTF-16 units of UTF-8 text (a stray byte counts as one).
size_t TextUtf16Length(const char *text);

// Compares texts with the letters A to Z matching a to z; other bytes compare
// as unsigned values. Null counts as the empty text. <0, 0 or >0 like strcmp.
int TextCompareNoCase(const char *a, const char *b);
// The same over at most n characters (the runtime's _strnicmp).
int TextCompareNoCaseN(const char *a, const char *b, size_t n);

// Lower-cases A to Z in place; every other byte is unchanged.
void TextLowerAscii(char *text);

// An export's text argument as UTF-8 in scratch memory (give it back with
// OsFree), however long it is; null for a null argument, and null with *bad
// set when it is not valid text or no memory could be had. The one way an
// export's text comes in, ANSI or wide.
char *TextFromAnsiArgument(const char *text, int *bad);
char *TextFromWideArgument(const wchar_t *text, int *bad);

// ---------------------------------------------------------------------------
// Wide and ANSI text (platform/<backend>/wide_text.cpp): the caller's and the
// system's text as the library's UTF-8, and back.

// Wide text (a caller's UTF-16 on Windows) as UTF-8 into out (capacity bytes,
// terminator included). 1, or 0 with out "" when it does not fit or is not
// valid text. A null text gives "".
int OsWideToUtf8(const wchar_t *text, char *out, size_t capacity);

// UTF-8 text as wide text (for a caller's callback) into out (capacity
// units, terminator included). 1, or 0 with out empty when it does not fit;
// a stray byte becomes U+FFFD.
int OsUtf8ToWide(const char *text, wchar_t *out, size_t capacity);

// Text in the system's ANSI code page (an ANSI export's argument) as UTF-8.
// 1, or 0 with out "" when it does not fit.
int OsAnsiToUtf8(const char *text, char *out, size_t capacity);
// UTF-8 text in the ANSI code page, for files people read (the log, the
// readme); a character the code page lacks is written as '?' and sets
// *lossy (may be null). 1, or 0 with out "" when it does not fit.
int OsUtf8ToAnsi(const char *text, char *out, size_t capacity, int *lossy);

// ---------------------------------------------------------------------------
// Registry (advapi32; platform/<backend>/registry.cpp). Results are Win32
// error codes: 0 on success.

#define OS_ERROR_SUCCESS 0
#define OS_ERROR_FILE_NOT_FOUND 2
#define OS_ERROR_PATH_NOT_FOUND 3
#define OS_ERROR_ACCESS_DENIED 5
#define OS_ERROR_INVALID_HANDLE 6
#define OS_ERROR_NOT_SAME_DEVICE 17
#define OS_ERROR_SHARING_VIOLATION 32
#define OS_ERROR_LOCK_VIOLATION 33
#define OS_ERROR_FILE_EXISTS 80
#define OS_ERROR_INVALID_PARAMETER 87
#define OS_ERROR_DISK_FULL 112
#define OS_ERROR_DIR_NOT_EMPTY 145
#define OS_ERROR_ALREADY_EXISTS 183
#define OS_ERROR_MORE_DATA 234
#define OS_ERROR_CANCELLED 1223

#define OS_REG_NONE 0
#define OS_REG_SZ 1
#define OS_REG_BINARY 3
#define OS_REG_DWORD 4

typedef enum OsRootKey {
    OS_HKEY_CURRENT_USER = 1,
    OS_HKEY_LOCAL_MACHINE = 2
} OsRootKey;

typedef struct OsKeyOpaque *OsKey;

// Opens an existing key; nothing is created. 0 with *key set, or an error.
long OsRegOpenKey(OsRootKey root, const char *subKey, OsKey *key);
// Opens a key, creating it and any missing key above it. 0 or an error
// (OS_ERROR_ACCESS_DENIED for a root the user may not write to).
long OsRegCreateKey(OsRootKey root, const char *subKey, OsKey *key);
// Reads a value. data may be null to ask for the size only. On entry *size is
// the buffer's size in bytes; on return the value's size. A buffer that is too
// small gives OS_ERROR_MORE_DATA (its contents then undefined); a missing
// value OS_ERROR_FILE_NOT_FOUND. type may be null.
long OsRegQueryValueEx(OsKey key, const char *name, unsigned long *type,
                       unsigned char *data, unsigned long *size);
// Replaces (or creates) a value with exactly these bytes and this type.
long OsRegSetValueEx(OsKey key, const char *name, unsigned long type,
                     const unsigned char *data, unsigned long size);
// Removes one value. 0, or OS_ERROR_FILE_NOT_FOUND when it was not there.
long OsRegDeleteValue(OsKey key, const char *name);
// The key's values have reached the store when this returns.
long OsRegFlushKey(OsKey key);
long OsRegCloseKey(OsKey key);

// ---------------------------------------------------------------------------
// Shell folders (shell32; platform/<backend>/shell_folders.cpp).

#define OS_CSIDL_PERSONAL 5
#define OS_CSIDL_STARTMENU 11
#define OS_CSIDL_DESKTOPDIRECTORY 16
#define OS_CSIDL_COMMON_STARTMENU 22
#define OS_CSIDL_COMMON_DESKTOPDIRECTORY 25
#define OS_CSIDL_APPDATA 26
#define OS_CSIDL_LOCAL_APPDATA 28
#define OS_CSIDL_COMMON_APPDATA 35
#define OS_CSIDL_PROGRAM_FILES 38
#define OS_CSIDL_PROFILE 40
#define OS_CSIDL_PROGRAM_FILESX86 42
#define OS_CSIDL_COMMON_DOCUMENTS 46

// SHGetSpecialFolderPathW: the folder's path into path (OS_PATH_BUFFER), created
// first when create is non-zero. Non-zero on success; on failure path is "".
int OsSHGetSpecialFolderPath(int csidl, char *path, int create);

// SHGetSpecialFolderLocation + SHGetPathFromIDListW, with the item list given
// back to the shell's allocator (SHGetMalloc: Free, then Release). Fills path
// (OS_PATH_BUFFER) and gives non-zero, or leaves path "" and gives 0.
int OsSHGetFolderPathFromLocation(int csidl, char *path);

// ---------------------------------------------------------------------------
// Files and folders (kernel32, imagehlp; platform/<backend>/files.cpp). Paths
// are full Windows paths, here and in the sections below.

#define OS_INVALID_FILE_ATTRIBUTES 0xFFFFFFFFul
#define OS_FILE_ATTRIBUTE_READONLY 0x01ul
#define OS_FILE_ATTRIBUTE_HIDDEN 0x02ul
#define OS_FILE_ATTRIBUTE_SYSTEM 0x04ul
#define OS_FILE_ATTRIBUTE_DIRECTORY 0x10ul
#define OS_FILE_ATTRIBUTE_ARCHIVE 0x20ul
#define OS_FILE_ATTRIBUTE_NORMAL 0x80ul
#define OS_FILE_ATTRIBUTE_REPARSE_POINT 0x400ul

// The Win32 error code of the last failed operation of this list (GetLastError).
unsigned long OsGetLastError(void);
// SetLastError: tests preset a value no call gives, so a failure that sets
// no error of its own shows.
void OsSetLastError(unsigned long error);

// OS_INVALID_FILE_ATTRIBUTES when nothing is there (or path is null).
unsigned long OsGetFileAttributes(const char *path);
// GetFileAttributesExW: what the file system keeps of a path, without opening
// it. lastWrite counts 100 ns steps; CopyFile gives the copy its original's.
typedef struct OsFileFacts {
    unsigned long attributes;
    unsigned long long size;
    unsigned long long lastWrite;
} OsFileFacts;
// 1 with *facts filled when the path exists, else 0 and the last error.
int OsGetFileFacts(const char *path, OsFileFacts *facts);
// Sets the attribute bits (OS_FILE_ATTRIBUTE_NORMAL clears read-only, hidden
// and system). Non-zero on success, 0 when the path does not exist.
int OsSetFileAttributes(const char *path, unsigned long attributes);
// Removes one file (a link to a file removes the link). Fails for a folder and
// for a read-only file. Non-zero on success.
int OsDeleteFile(const char *path);
// Copies a file; with failIfExists 0 an existing destination is replaced.
// Non-zero on success; on failure no partial destination is left.
int OsCopyFile(const char *source, const char *destination, int failIfExists);
// Moves a file or folder; fails when the destination exists. Across volumes
// a file is copied and the source deleted. Non-zero on success.
int OsMoveFile(const char *source, const char *destination);
// Creates every missing folder of the path up to its last backslash (so a path
// ending in a backslash creates its last folder too). 1 on success, else 0.
int OsMakeSureDirectoryPathExists(const char *path);
// Creates one folder (CreateDirectoryW). Non-zero on success.
int OsCreateDirectory(const char *path);
// Removes an empty folder (RemoveDirectoryW). Non-zero on success; fails while
// the folder holds anything.
int OsRemoveDirectory(const char *path);
// The runtime's rename: moves a file or folder; fails when the new path
// exists. 0 on success, -1 on failure.
int OsRename(const char *oldPath, const char *newPath);

// ---------------------------------------------------------------------------
// Drives, the Windows folder and INI files (kernel32;
// platform/<backend>/system_info.cpp).

#define OS_DRIVE_UNKNOWN 0
#define OS_DRIVE_NO_ROOT_DIR 1
#define OS_DRIVE_REMOVABLE 2
#define OS_DRIVE_FIXED 3
#define OS_DRIVE_REMOTE 4
#define OS_DRIVE_CDROM 5
#define OS_DRIVE_RAMDISK 6

// GetDriveTypeW of a root such as "C:\" or "\\server\share\".
unsigned OsGetDriveType(const char *root);

// GetWindowsDirectoryW, as UTF-8: the length written (without terminator), the size
// needed when the buffer is too small, or 0 on failure.
unsigned OsGetWindowsDirectory(char *buffer, unsigned size);

// GetPrivateProfileStringW (the file read as Windows reads it) with a section and a key (neither null): the value,
// or def, into buffer (at most size - 1 characters and a terminator); gives
// the number of characters copied. A bare file name is looked up in the
// Windows folder.
unsigned long OsGetPrivateProfileString(const char *section, const char *key,
                                        const char *def, char *buffer,
                                        unsigned long size, const char *file);

// ---------------------------------------------------------------------------
// Folder enumeration (the runtime's _findfirst family;
// platform/<backend>/find.cpp). The entries of one folder, "." and ".."
// included, in no promised order.
typedef struct OsFindData {
    unsigned long attributes; // Win32 attribute bits: 0x10 folder, 0x400 link
    char name[OS_PATH_BUFFER];
} OsFindData;
typedef intptr_t OsFindHandle;
#define OS_INVALID_FIND_HANDLE ((OsFindHandle)-1)

// pattern is a folder joined with "*.*". OS_INVALID_FIND_HANDLE on failure.
OsFindHandle OsFindFirst(const char *pattern, OsFindData *entry);
// 0 with the next entry, -1 when there is none.
int OsFindNext(OsFindHandle handle, OsFindData *entry);
int OsFindClose(OsFindHandle handle);

// ---------------------------------------------------------------------------
// Stream files (the runtime's fopen family; platform/<backend>/stream.cpp).
// Modes as the runtime takes them: "a+", "w+t", "r", "rb", "wb". Without "b"
// the stream is in text mode: a line feed is written as CR LF and CR LF is
// read back as a line feed. Files are opened shared with other readers and
// writers.
typedef struct OsFileOpaque OsFile;
OsFile *OsFopen(const char *path, const char *mode);
// fgets: at most count - 1 characters up to and including a line feed.
char *OsFgets(char *buffer, int count, OsFile *file);
size_t OsFread(void *buffer, size_t size, size_t count, OsFile *file);
size_t OsFwrite(const void *data, size_t size, size_t count, OsFile *file);
// fflush: what was written is handed to the file system. 0, or -1 when it
// could not be.
int OsFflush(OsFile *file);
// 0, or -1 when flushing or closing failed. The stream is gone either way.
int OsFclose(OsFile *file);

// ---------------------------------------------------------------------------
// Path identity (kernel32; platform/<backend>/identity.cpp). Two spellings of
// one folder (8.3 names, "/", "." and "..", trailing dots and spaces, another
// case) must be told apart from two folders; these are the calls that can.

// GetFullPathNameW: path made absolute and canonical ("/" as "\", "." and
// ".." applied, trailing dots and spaces cut as Windows cuts them) into out
// (OS_PATH_BUFFER). The file system is not consulted. 1, or 0 with out "" when
// the path is malformed or the result does not fit.
int OsGetFullPathName(const char *path, char *out);
// GetLongPathNameW: every 8.3 component of an existing path replaced by its
// long name, into out (OS_PATH_BUFFER). 1, or 0 with out "" when the path does
// not exist or the result does not fit.
int OsGetLongPathName(const char *path, char *out);

// Whether two paths reach one file or folder, by what it is rather than what
// it is called: both opened with backup semantics (folders open too, links
// are followed), compared by file index, and by volume only where the
// indexes match (under Wine the volume costs a hundred times the index).
// 1 when one, 0 when not, -1 when either can't be opened or its file system
// keeps no index (it reads 0).
int OsSameFile(const char *a, const char *b);
// The same for two open streams: the file behind each handle, with no second
// open (under Wine each open of a file costs as much as reading it).
int OsSameOpenFile(OsFile *a, OsFile *b);

// Compares two names without regard to case as the file system does
// (CompareStringOrdinal with ignore-case over the whole text, not only A to
// Z). 1 when equal.
int OsNamesEqualNoCase(const char *a, const char *b);

// ---------------------------------------------------------------------------
// Shell path functions (shlwapi; platform/<backend>/shell_paths.cpp). path
// buffers hold OS_PATH_BUFFER bytes.

// PathAppendW: joins more onto path with exactly one backslash between them.
// Non-zero on success; 0 (path unchanged) when the result would not fit.
int OsPathAppend(char *path, const char *more);
// PathAddBackslash: a backslash appended when missing. Returns a pointer to
// the terminator, or null when there is no room (path unchanged).
char *OsPathAddBackslash(char *path);
// PathRemoveBackslashW: removes one trailing backslash, but not from a root
// such as "C:\". Returns a pointer to the (new) end of the text.
char *OsPathRemoveBackslash(char *path);
// PathMatchSpecW: the name matched against a wildcard pattern ("*", "?")
// without regard to case. Non-zero for a match.
int OsPathMatchSpec(const char *file, const char *spec);
// PathStripToRootW: cuts path to its root ("C:\", "\\server\share"). Non-zero
// when a root remains.
int OsPathStripToRoot(char *path);

// ---------------------------------------------------------------------------
// Clock, waits and windows (kernel32, user32;
// platform/<backend>/clock_windows.cpp).

typedef struct OsLocalTime {
    int hour, minute, second, milliseconds;
} OsLocalTime;
void OsGetLocalTime(OsLocalTime *time);

// Milliseconds since some fixed moment (GetTickCount64), for pacing. The
// simulated host's clock moves 100 ms at each reading (and by every wait),
// so what is paced by it comes at a known rhythm.
unsigned long long OsGetTickCount(void);

// Waits the given number of milliseconds (Sleep). The simulated host only
// counts the wait.
void OsSleep(unsigned milliseconds);

// A window handle as a number, as the application stores it in its settings.
typedef uintptr_t OsWindow;
// GetWindowTextW, as UTF-8: at most count - 1 characters of the title and a terminator;
// "" for a handle that names no window. Gives the length copied.
int OsGetWindowText(OsWindow window, char *buffer, int count);

// ---------------------------------------------------------------------------
// Scratch memory, taken and given back within one call
// (platform/<backend>/memory.cpp).
void *OsAlloc(size_t size);
void OsFree(void *memory);

// ---------------------------------------------------------------------------
// The Windows Installer session of a custom action (msi.dll, reached through
// LoadLibrary only while such an action runs, so a setup that never calls
// one never loads it; platform/<backend>/msi.cpp). Results are Win32 error
// codes unless noted.

typedef unsigned long OsMsiHandle;
#define OS_ERROR_MORE_DATA 234
#define OS_ERROR_DLL_NOT_FOUND 1157
#define OS_ERROR_INSTALL_USEREXIT 1602
#define OS_ERROR_INSTALL_FAILURE 1603
// MsiProcessMessage's answer when the user (or an external UI) cancels.
#define OS_IDCANCEL 2
// MsiGetMode's run modes the actions ask about.
#define OS_MSIRUNMODE_SCHEDULED 16

// MsiGetPropertyW as UTF-8 into value (capacity bytes): 0, OS_ERROR_MORE_DATA
// (value "") when it does not fit, or the installer's error.
unsigned OsMsiGetProperty(OsMsiHandle install, const char *name, char *value, size_t capacity);
// MsiSetPropertyW: 0 or the installer's error.
unsigned OsMsiSetProperty(OsMsiHandle install, const char *name, const char *value);
// MsiGetMode: 1 when the installer is in that mode, else 0.
int OsMsiGetMode(OsMsiHandle install, int mode);
// One line of text for the installer's log (INSTALLMESSAGE_INFO), written
// through a "[1]" template so brackets in a path are never read as
// properties. MsiProcessMessage's answer: -1 on error.
int OsMsiLogLine(OsMsiHandle install, const char *text);
// INSTALLMESSAGE_PROGRESS with its first three fields (type, ticks, and the
// third field's meaning for that type). MsiProcessMessage's answer:
// OS_IDCANCEL when the installer says stop, -1 on error.
int OsMsiProgress(OsMsiHandle install, int type, int ticks, int third);
