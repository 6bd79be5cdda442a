// Test support on the simulated host: each test process gets its own host
// root in a fresh temporary folder, removed when the process ends.
#include "support/host.h"

#include "platform/sim_host.h"

#include <fcntl.h>
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

// The exports are linked in directly, declared as callers see them.
#include "include/LedgerwickUpgrade.h"

static char s_root[64];

static int RemoveEntry(const char *path, const struct stat *, int type, struct FTW *)
{
    return (type == FTW_DP) ? rmdir(path) : unlink(path);
}

static void RemoveRoot()
{
    if (s_root[0])
        nftw(s_root, RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

static const char *Root()
{
    if (!s_root[0]) {
        char templ[] = "/tmp/lwsim-XXXXXX";
        if (!mkdtemp(templ)) {
            perror("mkdtemp");
            abort();
        }
        memcpy(s_root, templ, sizeof templ);
        atexit(RemoveRoot);
    }
    return s_root;
}

bool HostIsSimulated()
{
    return true;
}

// The faults below this number have been checked.
static int s_faultsChecked;

void HostExpectFaultsFired()
{
    for (; s_faultsChecked < SimFaultCount(); s_faultsChecked++) {
        char description[512];
        if (SimFaultFired(s_faultsChecked, description, sizeof description) == 0)
            ADD_FAILURE() << "fault never fired (armed since the last reset): " << description;
    }
}

void HostReset()
{
    HostExpectFaultsFired();
    SimHostReset(Root());
    s_faultsChecked = 0;
    // The drives the Wine test prefix has as well.
    SimSetDrive('D', OS_DRIVE_FIXED);
    SimSetDrive('N', OS_DRIVE_REMOTE);
    SimSetDrive('R', OS_DRIVE_REMOVABLE);
    SimSetDrive('X', OS_DRIVE_CDROM);
}

bool HostMakeSettingsKeyReadOnly(OsRootKey root)
{
    OsKey key;
    if (OsRegCreateKey(root, kSettingsKey, &key) != 0)
        return false;
    OsRegCloseKey(key);
    return SimSetRegistryKeyReadOnly(root, kSettingsKey, 1) != 0;
}

OsWindow HostCreateWindow(const char *title)
{
    return SimCreateWindow(title);
}

void HostDestroyWindow(OsWindow window)
{
    SimDestroyWindow(window);
}

void HostCopyFileTime(const std::string &from, const std::string &to)
{
    char source[4096], target[4096];
    ASSERT_TRUE(SimHostPath(from.c_str(), source, sizeof source)) << from;
    ASSERT_TRUE(SimHostPath(to.c_str(), target, sizeof target)) << to;
    struct stat st;
    ASSERT_EQ(stat(source, &st), 0) << from;
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, target, times, 0), 0) << to;
}

void HostSetDocumentsFolder(const std::string &path)
{
    HostMakeFolder(path);
    SimSetShellFolder(OS_CSIDL_PERSONAL, path.c_str());
}

const HostExports &HostGetExports()
{
    static const HostExports exports = {
        LedgerwickInstaller_UpgradeToVersion5,
        LedgerwickInstaller_IsLedgerwickCompleteAlreadyRunning,
        LedgerwickInstaller_GetInstallerFilename,
        DeleteLogFile,
        LedgerwickInstaller_UpgradeToVersion5ExW,
        LedgerwickInstaller_UpgradeToVersion5W,
        LedgerwickInstaller_GetInstallerFilenameW,
        LedgerwickInstaller_UpgradeToVersion5ProgressW,
    };
    return exports;
}
