// The simulated host's state as a whole: its reset, root folder, drives,
// shares, shell folders, the Windows folder and the last error.
#include "sim_internal.h"

#include <errno.h>
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

SimState g_sim;

static const int kShellIds[SIM_SHELL_FOLDERS] = {
    OS_CSIDL_APPDATA,        OS_CSIDL_PERSONAL,        OS_CSIDL_STARTMENU,
    OS_CSIDL_DESKTOPDIRECTORY, OS_CSIDL_COMMON_STARTMENU, OS_CSIDL_COMMON_DESKTOPDIRECTORY,
    OS_CSIDL_PROFILE,        OS_CSIDL_LOCAL_APPDATA,   OS_CSIDL_COMMON_APPDATA,
    OS_CSIDL_PROGRAM_FILES,  OS_CSIDL_PROGRAM_FILESX86, OS_CSIDL_COMMON_DOCUMENTS,
};
static const char *const kShellDefaults[SIM_SHELL_FOLDERS] = {
    "C:\\Users\\lw\\AppData\\Roaming", "C:\\Users\\lw\\Documents", "C:\\Users\\lw\\Start Menu",
    "C:\\Users\\lw\\Desktop", "C:\\ProgramData\\Start Menu", "C:\\Users\\Public\\Desktop",
    "C:\\Users\\lw", "C:\\Users\\lw\\AppData\\Local", "C:\\ProgramData",
    "C:\\Program Files", "C:\\Program Files (x86)", "C:\\Users\\Public\\Documents",
};

int SimShellSlot(int csidl)
{
    for (int i = 0; i < SIM_SHELL_FOLDERS; i++)
        if (kShellIds[i] == csidl)
            return i;
    return -1;
}

void SimSetLastError(unsigned long error)
{
    g_sim.lastError = error;
}

unsigned long SimErrorFromErrno(int error)
{
    switch (error) {
    case ENOENT: return OS_ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return OS_ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return OS_ERROR_ACCESS_DENIED;
    case EEXIST: return OS_ERROR_ALREADY_EXISTS;
    case ENOTEMPTY: return OS_ERROR_DIR_NOT_EMPTY;
    case EXDEV: return OS_ERROR_NOT_SAME_DEVICE;
    case ENOSPC:
    case EDQUOT: return OS_ERROR_DISK_FULL;
    case ENAMETOOLONG: return SIM_ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM: return SIM_ERROR_NOT_ENOUGH_MEMORY;
    case EBUSY:
    case EINVAL: return OS_ERROR_SHARING_VIOLATION; // a folder moved into itself
    default: return OS_ERROR_ACCESS_DENIED;
    }
}

static int MakePosixFolders(const char *posix)
{
    char path[SIM_POSIX_MAX];
    if (!TextCopyWhole(path, sizeof path, posix))
        return 0;
    for (char *p = path + 1; *p; p++) {
        if (*p != '/')
            continue;
        *p = '\0';
        if (mkdir(path, 0755) != 0 && errno != EEXIST)
            return 0;
        *p = '/';
    }
    return mkdir(path, 0755) == 0 || errno == EEXIST;
}

static int RemoveEntry(const char *path, const struct stat *, int type, struct FTW *ftw)
{
    if (ftw->level == 0)
        return 0; // the folder itself stays
    int failed = (type == FTW_DP) ? rmdir(path) : unlink(path);
    return failed ? -1 : 0;
}

int SimEmptyFolder(const char *posix)
{
    struct stat st;
    if (lstat(posix, &st) != 0)
        return errno == ENOENT;
    return nftw(posix, RemoveEntry, 16, FTW_DEPTH | FTW_PHYS) == 0;
}

static void DrivePosix(char letter, char *out, size_t size)
{
    TextFormat(out, size, "%s/drives/%c", g_sim.root, letter);
}

// A fresh host in memory; the files on disk are left to the caller.
static void ResetState(const char *root)
{
    memset(&g_sim, 0, sizeof g_sim);
    TextCopy(g_sim.root, sizeof g_sim.root, root);
    size_t n = strlen(g_sim.root);
    while (n > 1 && g_sim.root[n - 1] == '/')
        g_sim.root[--n] = '\0';
    for (int i = 0; i < 26; i++)
        g_sim.driveType[i] = OS_DRIVE_NO_ROOT_DIR;
    g_sim.driveType['C' - 'A'] = OS_DRIVE_FIXED;
    for (int i = 0; i < SIM_SHELL_FOLDERS; i++) {
        g_sim.shellAvailable[i] = 1;
        TextCopy(g_sim.shellPath[i], OS_PATH_BUFFER, kShellDefaults[i]);
    }
    g_sim.windowsDirAvailable = 1;
    TextCopy(g_sim.windowsDir, OS_PATH_BUFFER, "C:\\Windows");
    g_sim.registry.writable[0] = g_sim.registry.writable[1] = 1;
    g_sim.nextWindow = 0x20000;
}

static void CreateDefaultFolders(void)
{
    char posix[SIM_POSIX_MAX];
    DrivePosix('C', posix, sizeof posix);
    MakePosixFolders(posix);
    TextFormat(posix, sizeof posix, "%s/unc", g_sim.root);
    MakePosixFolders(posix);
    SimCreateFolders(g_sim.windowsDir);
    for (int i = 0; i < SIM_SHELL_FOLDERS; i++)
        SimCreateFolders(g_sim.shellPath[i]);
}

static int AcceptableRoot(const char *root)
{
    return root && root[0] == '/' && strcmp(root, "/") != 0 && strlen(root) < SIM_POSIX_MAX - 512;
}

// The root may be given as SimHostRoot(), which the reset wipes.
static char s_nextRoot[SIM_POSIX_MAX];

void SimHostReset(const char *root)
{
    if (!AcceptableRoot(root)) {
        fprintf(stderr, "SimHostReset: unusable host root '%s'\n", root ? root : "(null)");
        abort();
    }
    TextCopy(s_nextRoot, sizeof s_nextRoot, root);
    ResetState(s_nextRoot);
    if (!MakePosixFolders(g_sim.root) || !SimEmptyFolder(g_sim.root)) {
        fprintf(stderr, "SimHostReset: cannot empty '%s'\n", g_sim.root);
        abort();
    }
    SimForgetNames();
    CreateDefaultFolders();
}

int SimEnsureHost(void)
{
    return g_sim.root[0] != '\0';
}

const char *SimHostRoot(void)
{
    return g_sim.root;
}

void SimSetDrive(char letter, unsigned type)
{
    if (letter >= 'a' && letter <= 'z')
        letter = (char)(letter - 'a' + 'A');
    if (letter < 'A' || letter > 'Z' || !SimEnsureHost())
        return;
    g_sim.driveType[letter - 'A'] = type;
    if (type != OS_DRIVE_NO_ROOT_DIR) {
        char posix[SIM_POSIX_MAX];
        DrivePosix(letter, posix, sizeof posix);
        MakePosixFolders(posix);
    }
}

void SimAddShare(const char *server, const char *share)
{
    if (!server || !share || !server[0] || !share[0] || strchr(server, '/') || strchr(share, '/') ||
        !SimEnsureHost())
        return;
    int slot = -1;
    for (int i = 0; i < g_sim.shareCount; i++)
        if (TextCompareNoCase(g_sim.shares[i].server, server) == 0 &&
            TextCompareNoCase(g_sim.shares[i].share, share) == 0)
            slot = i;
    if (slot < 0) {
        if (g_sim.shareCount >= SIM_MAX_SHARES)
            return;
        slot = g_sim.shareCount++;
        TextCopy(g_sim.shares[slot].server, OS_PATH_BUFFER, server);
        TextCopy(g_sim.shares[slot].share, OS_PATH_BUFFER, share);
    }
    char posix[SIM_POSIX_MAX];
    TextFormat(posix, sizeof posix, "%s/unc/%s/%s", g_sim.root, g_sim.shares[slot].server,
               g_sim.shares[slot].share);
    MakePosixFolders(posix);
}

void SimSetShellFolder(int csidl, const char *windowsPath)
{
    int slot = SimShellSlot(csidl);
    if (slot < 0 || !SimEnsureHost())
        return;
    if (!windowsPath || !TextCopyPath(g_sim.shellPath[slot], windowsPath)) {
        g_sim.shellAvailable[slot] = 0;
        return;
    }
    g_sim.shellAvailable[slot] = 1;
    SimCreateFolders(windowsPath);
}

void SimSetWindowsDirectory(const char *windowsPath)
{
    if (!SimEnsureHost())
        return;
    if (!windowsPath || !TextCopyPath(g_sim.windowsDir, windowsPath)) {
        g_sim.windowsDirAvailable = 0;
        return;
    }
    g_sim.windowsDirAvailable = 1;
    SimCreateFolders(windowsPath);
}

void SimSetRegistryWritable(OsRootKey root, int writable)
{
    if (root == OS_HKEY_CURRENT_USER || root == OS_HKEY_LOCAL_MACHINE)
        g_sim.registry.writable[root - 1] = writable != 0;
}
