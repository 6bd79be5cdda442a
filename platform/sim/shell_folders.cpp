// Shell folders, drive types, the Windows folder, windows and the clock on
// the simulated host.
#include "sim_internal.h"

#include <string.h>
#include <sys/time.h>
#include <time.h>

static int FolderPath(int csidl, char *path, int create)
{
    int slot = SimShellSlot(csidl);
    if (slot < 0 || !SimEnsureHost() || !g_sim.shellAvailable[slot])
        return 0;
    const char *folder = g_sim.shellPath[slot];
    SimPath p;
    unsigned long error;
    if (!SimResolve(folder, &p, &error))
        return 0;
    // The shell checks that the folder is there unless asked to create it.
    if (!p.exists || !SimIsFolder(p.posix, &p.st)) {
        if (!create || !SimCreateFolders(folder))
            return 0;
    }
    return TextCopyPath(path, folder);
}

int OsSHGetSpecialFolderPath(int csidl, char *path, int create)
{
    SimCountCall(SIM_OP_SH_GET_SPECIAL_FOLDER_PATH, 0);
    if (!path)
        return 0;
    path[0] = '\0';
    return FolderPath(csidl, path, create);
}

int OsSHGetFolderPathFromLocation(int csidl, char *path)
{
    SimCountCall(SIM_OP_SH_GET_FOLDER_PATH_FROM_LOCATION, 0);
    if (!path)
        return 0;
    path[0] = '\0';
    return FolderPath(csidl, path, 0);
}

static int IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// GetDriveTypeA takes a root only: "C:\" (or "C:"), "\\server\share\".
unsigned OsGetDriveType(const char *root)
{
    SimCountCall(SIM_OP_GET_DRIVE_TYPE, 0);
    if (!SimEnsureHost())
        return OS_DRIVE_NO_ROOT_DIR;
    if (!root)
        return g_sim.driveType['C' - 'A'];
    size_t n = strlen(root);
    if (IsLetter(root[0]) && root[1] == ':' && (n == 2 || (n == 3 && (root[2] == '\\' || root[2] == '/')))) {
        char letter = root[0] >= 'a' ? (char)(root[0] - 'a' + 'A') : root[0];
        return g_sim.driveType[letter - 'A'];
    }
    if ((root[0] == '\\' || root[0] == '/') && (root[1] == '\\' || root[1] == '/')) {
        // A share root: server and share, a trailing separator at most.
        int separators = 0;
        for (size_t i = 2; i < n; i++)
            if (root[i] == '\\' || root[i] == '/')
                separators++;
        int trailing = root[n - 1] == '\\' || root[n - 1] == '/';
        if (separators == 1 || (separators == 2 && trailing)) {
            SimPath p;
            unsigned long error;
            if (SimResolve(root, &p, &error) && p.isRoot)
                return OS_DRIVE_REMOTE;
        }
    }
    return OS_DRIVE_NO_ROOT_DIR;
}

unsigned OsGetWindowsDirectory(char *buffer, unsigned size)
{
    SimCountCall(SIM_OP_GET_WINDOWS_DIRECTORY, 0);
    if (!SimEnsureHost() || !g_sim.windowsDirAvailable)
        return 0;
    unsigned length = (unsigned)strlen(g_sim.windowsDir);
    if (!buffer || size < length + 1)
        return length + 1;
    memcpy(buffer, g_sim.windowsDir, length + 1);
    return length;
}

void SimSetClock(int hour, int minute, int second, int milliseconds)
{
    g_sim.clockFixed = hour >= 0;
    g_sim.clock.hour = hour;
    g_sim.clock.minute = minute;
    g_sim.clock.second = second;
    g_sim.clock.milliseconds = milliseconds;
}

void OsGetLocalTime(OsLocalTime *time)
{
    SimCountCall(SIM_OP_GET_LOCAL_TIME, 0);
    if (!time)
        return;
    if (g_sim.clockFixed) {
        *time = g_sim.clock;
        return;
    }
    struct timeval now;
    gettimeofday(&now, NULL);
    struct tm local;
    time_t seconds = now.tv_sec;
    localtime_r(&seconds, &local);
    time->hour = local.tm_hour;
    time->minute = local.tm_min;
    time->second = local.tm_sec;
    time->milliseconds = (int)(now.tv_usec / 1000);
}

OsWindow SimCreateWindow(const char *title)
{
    int slot = -1;
    for (int i = 0; i < SIM_MAX_WINDOWS && slot < 0; i++)
        if (!g_sim.windows[i].alive)
            slot = i;
    if (slot < 0)
        return 0;
    if (g_sim.nextWindow == 0)
        g_sim.nextWindow = 0x20000;
    SimWindow *w = &g_sim.windows[slot];
    w->alive = 1;
    w->handle = g_sim.nextWindow;
    g_sim.nextWindow += 4; // handles are never reused
    TextCopy(w->title, sizeof w->title, title ? title : "");
    return w->handle;
}

void SimDestroyWindow(OsWindow window)
{
    for (int i = 0; i < SIM_MAX_WINDOWS; i++)
        if (g_sim.windows[i].alive && g_sim.windows[i].handle == window)
            g_sim.windows[i].alive = 0;
}

int OsGetWindowText(OsWindow window, char *buffer, int count)
{
    SimCountCall(SIM_OP_GET_WINDOW_TEXT, 0);
    if (!buffer || count <= 0)
        return 0;
    buffer[0] = '\0';
    for (int i = 0; i < SIM_MAX_WINDOWS; i++) {
        const SimWindow *w = &g_sim.windows[i];
        if (w->alive && w->handle == window && window != 0) {
            TextCopy(buffer, (size_t)count, w->title);
            return (int)strlen(buffer);
        }
    }
    return 0;
}
