// Shell folders (SHGetSpecialFolderPath and the item-list route) on the
// simulated host: the folders SimSetShellFolder names, checked or created
// as the shell checks or creates them.
#include "sim_internal.h"

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
